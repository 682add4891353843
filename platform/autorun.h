#pragma once
// What the log-in launcher does: when the schedule says a run is due, start
// the window program on the "AutoDefrag" drives ("*") and record the date.
#include <functional>
#include <string>
#include <vector>

#include "platform/schedule.h"

namespace quillo {

class OptionStore;

enum class AutorunOutcome {
    NotDue,    // nothing started
    Ran,       // the window program ran to its end; "Date" holds today
    Failed,    // it could not start, or did not end normally; "Date" unchanged
};

// Reads "Interval" and "Date" from the store and, when a run is due, calls `runWindowProgram` with the argument list {"*"}. Only a
// run that ended normally (true) records `today` in "Date", so one cut short
// by a log-out is tried again at the next log-in.
AutorunOutcome RunScheduledDefrag(OptionStore& store, Day today,
                                  const std::function<bool(const std::vector<std::string>&)>& runWindowProgram);

// Starts `program` with `arguments` in the caller's environment and waits for
// it; true when it exited with status 0.
bool RunProgramAndWait(const std::string& program, const std::vector<std::string>& arguments);

}  // namespace quillo
