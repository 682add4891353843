#pragma once
// What an interrupted run can leave behind besides lost clusters, and how a
// new run deals with it: a FAT12 table copy torn by a power cut (the other,
// whole copy is used) and folders whose ".." still names the old place of a
// parent that moved.
#include <cstdint>

namespace quillo {

struct EngineContext;

// Check: a log line for each such trace; nothing is written.
void ReportInterruptedRun(EngineContext& ctx);
// Defragment, before anything moves: the whole second FAT12 copy is written
// over the torn first one, and each stale ".." is corrected in its folder's
// first sector; each logged. Stops the run on a failed write.
void RepairInterruptedRun(EngineContext& ctx);
// After a structural stop: when the FAT12 copies differ and the second is
// well formed but was not the one used, prepares the next pass to use it
// and says so (true). The volume is released.
bool RetryWithSecondTableCopy(EngineContext& ctx);

}  // namespace quillo
