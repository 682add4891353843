#pragma once
// The one message a front end shows after a run, chosen from the outcome
// flags the engine left, so every front end shows the same words.
#include <string>

namespace quillo {

struct RunState;

enum class MessageStyle { None, Information, Critical };

struct EndOfRunMessage {
    MessageStyle style = MessageStyle::None;
    std::string text;  // lines joined by CR LF; empty when there is no message
};

// First match in this order: out of memory, disk I/O, drive busy, internal
// error, structural error.
EndOfRunMessage ChooseEndOfRunMessage(const RunState& run);

}  // namespace quillo
