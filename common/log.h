#pragma once
// The run log and the size format used in every line of it.
#include <cstdint>
#include <string>

namespace quillo {

struct EngineContext;

// A count of 512-byte sectors as the user reads it: ".0KB", ".5KB", "1.5KB",
// "1.00MB", "10.0MB", "100MB", "1.02GB" (nearest, halves away from zero).
std::string FormatSize(int32_t sectors);

// Appends a line while logging is on; yields unless the lock is raised.
void AddLogLine(EngineContext& ctx, const std::string& text);
// The label carries its own separator: "Free space = " + "12.5MB".
void AddSizeLine(EngineContext& ctx, const std::string& label, int32_t sectors);
// Empties the log before a command, switches logging on and clears the stop.
void ClearLog(EngineContext& ctx);
// Writes every line, CR LF ended, to LogPath. With overwrite the file is
// replaced and the log emptied; without, the lines are appended and stay on
// screen (so an unattended run leaves its lines in the file). Nothing when
// the log is empty.
void WriteLogFile(EngineContext& ctx, bool overwrite);

}  // namespace quillo
