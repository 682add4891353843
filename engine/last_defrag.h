#pragma once
// The per-drive record of the last defragmentation: 16 bytes, eight 16-bit
// fields (year, month, day of week, day, hour, minute, second, milliseconds)
// in universal time, under the drive letter as value name.
#include <ctime>
#include <string>

namespace quillo {

struct EngineContext;

// "December 06, 2026", or "" when no record exists for the drive.
std::string GetLastDefragDate(EngineContext& ctx, const std::string& drive);
// Writes the record for now; nothing when the key does not exist.
void SetLastDefragDate(EngineContext& ctx, const std::string& drive);
// The same, for a given moment (tests).
void SetLastDefragDate(EngineContext& ctx, const std::string& drive, std::time_t when);

}  // namespace quillo
