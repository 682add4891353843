#pragma once
// The per-volume record of the last defragmentation: 16 bytes, eight 16-bit
// fields (year, month, day of week, day, hour, minute, second, milliseconds)
// in universal time. Its value name is the drive letter and the serial number
// of the volume open in `ctx` ("C:1234-ABCD"): letters move between disk
// images, so the letter alone would give one volume's date to another. A
// volume without a serial number has no record.
#include <ctime>
#include <string>

namespace quillo {

struct EngineContext;

// "C:1234-ABCD" for drive "C:" and the open volume; "" when it has no serial.
std::string LastDefragValueName(const EngineContext& ctx, const std::string& drive);
// "December 06, 2026", or "" when no record exists for the volume.
std::string GetLastDefragDate(EngineContext& ctx, const std::string& drive);
// Writes the record for now; nothing when the key does not exist.
void SetLastDefragDate(EngineContext& ctx, const std::string& drive);
// The same, for a given moment (tests).
void SetLastDefragDate(EngineContext& ctx, const std::string& drive, std::time_t when);

}  // namespace quillo
