#pragma once
// Exit statuses of the console front end; scripts rely on them.

namespace quillo::cli {

constexpr int kExitDone = 0;
constexpr int kExitVolumeError = 1;   // structural or internal error, incompatible volume
constexpr int kExitUsage = 2;         // usage error or unknown drive
constexpr int kExitDriveBusy = 3;
constexpr int kExitDiskIo = 4;
constexpr int kExitOutOfMemory = 5;
constexpr int kExitStopped = 130;

}  // namespace quillo::cli
