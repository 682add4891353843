#include "disk/volume_lock.h"

#include <cctype>

#include "common/engine_context.h"
#include "common/log.h"
#include "disk/busy_files.h"
#include "disk/volume_device.h"

namespace quillo {
namespace {

constexpr int kLevel1 = 256;
constexpr int kLevel2 = 512;
constexpr int kLevel3 = 768;
constexpr double kClimbTimeoutSeconds = 30.0;

void YieldTimes(EngineContext& ctx, int times) {
    for (int i = 0; i < times; ++i) ctx.view.Yield();
}

bool OpenDevice(EngineContext& ctx) {
    const char letter = ctx.run.DriveString.empty()
                            ? '\0'
                            : static_cast<char>(std::toupper(
                                  static_cast<unsigned char>(ctx.run.DriveString[0])));
    ctx.dev.DriveIndex = letter - 'A';
    VolumeDevice* device = ctx.devices.DeviceForDrive(letter);
    if (device == nullptr || !device->Open()) return false;
    ctx.dev.DeviceHandle = device;
    return true;
}

void CloseDevice(EngineContext& ctx) {
    if (ctx.dev.DeviceHandle != nullptr) ctx.dev.DeviceHandle->Close();
    ctx.dev.DeviceHandle = nullptr;
}

bool ResetDrive(EngineContext& ctx) {
    return ctx.dev.DeviceHandle != nullptr && ctx.dev.DeviceHandle->ResetDrive();
}

int GetLockFlagState(EngineContext& ctx) {
    const int flag = ctx.dev.DeviceHandle ? ctx.dev.DeviceHandle->GetLockFlagState() : -1;
    ctx.dev.LockFlagState = flag;
    return flag;
}

void StopAsBusy(EngineContext& ctx) {
    ctx.run.ErrorStop = 1;
    ctx.run.DriveBusy = true;
    ctx.run.StopRequested = true;
}

}  // namespace

int GetLockState(EngineContext& ctx) {
    return ctx.dev.DeviceHandle ? ctx.dev.DeviceHandle->GetLockState() : 0;
}

bool LockVolume(EngineContext& ctx, int levelWord) {
    if (ctx.dev.DeviceHandle == nullptr) return false;
    const bool othersMayWrite = levelWord != kLevel1 || !ctx.dev.OthersWritesDenied;
    return ctx.dev.DeviceHandle->LockVolume(levelWord / 256, othersMayWrite);
}

bool AcquireVolume(EngineContext& ctx) {
    YieldTimes(ctx, 10);
    ctx.dev.Level0Held = false;
    ctx.dev.OthersWritesDenied = false;
    if (!OpenDevice(ctx)) return false;

    if (GetLockState(ctx) >= 0) {  // locked already, or the query failed
        CloseDevice(ctx);
        return false;
    }
    if (!ctx.dev.SwapFilePath.empty() && !ctx.run.ScanFiles) {
        // The read-only look of a map-only pass takes no lock at all.
        ctx.dev.LastLockLevel = -1;
        ctx.dev.Level0Held = true;
        return true;
    }
    if (!ResetDrive(ctx)) {
        CloseDevice(ctx);
        return false;
    }
    if (ctx.run.RunMode >= 0 && !ctx.options.Background && LockVolume(ctx, 0)) {
        ctx.dev.Level0Held = true;
        ctx.dev.LastLockLevel = 0;
        return true;
    }
    if (TakeLevel1Lock(ctx, ctx.options.Background)) {
        ctx.dev.LastLockLevel = GetLockState(ctx);
        return true;
    }
    ctx.run.DriveBusy = true;
    CloseDevice(ctx);
    return false;
}

bool TakeLevel1Lock(EngineContext& ctx, bool background) {
    if (!background) {
        ctx.dev.OthersWritesDenied = true;
        if (LockVolume(ctx, kLevel1)) return true;
    }
    ctx.dev.OthersWritesDenied = false;
    return LockVolume(ctx, kLevel1);
}

bool EnterWriteLock(EngineContext& ctx, bool refreshBusyList) {
    ctx.view.RepaintNow();
    ctx.dev.LockFlagState = -1;
    const double start = ctx.clock.SecondsSinceMidnight();

    while (!ctx.run.StopRequested) {
        if (LockVolume(ctx, kLevel2)) {
            if (LockVolume(ctx, kLevel3)) {
                ctx.dev.LockRaised = true;
                const int flag = GetLockFlagState(ctx);
                if (flag == 0) return true;
                if (flag != 2) {
                    ctx.run.RestartNeeded = true;
                } else if (refreshBusyList) {
                    ctx.dev.BusyListRefreshed = true;
                    ctx.dev.BusyFileCount = EnumerateBusyFiles(ctx);
                }
                if (flag > 0) return true;
                UnlockVolume(ctx, kLevel3);
            }
            UnlockVolume(ctx, kLevel2);
            ctx.dev.LastLockLevel = GetLockState(ctx);
            if (ctx.dev.LastLockLevel != 1) LowerToLevel1(ctx);
            ctx.dev.LockRaised = ctx.dev.LastLockLevel != 1;
            if (ctx.dev.LockRaised) {
                LowerToLevel1(ctx);
                if (ctx.dev.LastLockLevel == 3) ctx.view.EndProgram();
                StopAsBusy(ctx);
                return false;
            }
        }
        double elapsed = ctx.clock.SecondsSinceMidnight() - start;
        if (elapsed < -0.1) elapsed += 86400.0;  // the clock passed midnight
        if (elapsed > kClimbTimeoutSeconds) {
            StopAsBusy(ctx);
            return false;
        }
        YieldTimes(ctx, 10);
        ctx.clock.Pause();
    }
    return false;
}

void YieldWriteLock(EngineContext& ctx) {
    if (GetLockState(ctx) < 2 && !ctx.dev.LockRaised) {
        ctx.view.Yield();
        return;
    }
    LowerToLevel1(ctx);
    if (ctx.run.MapRepaintPending) {
        ctx.view.RedrawMap();
        ctx.run.MapRepaintPending = false;
    }
    ctx.view.Yield();
}

void LowerToLevel1(EngineContext& ctx) {
    if (GetLockState(ctx) == 1 && !ctx.dev.LockRaised) return;
    for (int round = 0; round < 1001; ++round) {
        ctx.dev.LastLockLevel = GetLockState(ctx);
        switch (ctx.dev.LastLockLevel) {
            case -1:
                return;
            case 0:
                if (!ctx.dev.LockRaised) ctx.view.Yield();
                break;
            case 1:
                ctx.dev.LockRaised = false;
                return;
            case 2:
                UnlockVolume(ctx, kLevel2);
                break;
            case 3:
                UnlockVolume(ctx, kLevel3);
                break;
            default:
                break;
        }
    }
    ctx.dev.LastLockLevel = 0;
}

void UnlockVolume(EngineContext& ctx, int levelWord) {
    const int level = levelWord / 256;
    if (ctx.dev.DeviceHandle == nullptr || GetLockState(ctx) != level) return;
    for (int attempt = 0; attempt < 10; ++attempt) {
        ctx.dev.DeviceHandle->UnlockVolume(level);
        if (GetLockState(ctx) != level) return;
    }
}

void ReleaseVolume(EngineContext& ctx) {
    if (ctx.dev.DeviceHandle == nullptr) return;
    ResetDrive(ctx);
    if (GetLockState(ctx) >= 0 || ctx.dev.LastLockLevel >= 0) {
        for (int round = 0; round < 101; ++round) {
            const int state = GetLockState(ctx);
            if (state != 0 || !ctx.dev.Level0Held) {
                LowerToLevel1(ctx);
                UnlockVolume(ctx, kLevel1);
            } else {
                UnlockVolume(ctx, 0);
            }
            ctx.dev.LastLockLevel = GetLockState(ctx);
            if (ctx.dev.LastLockLevel == -1) break;
            ctx.view.Yield();
        }
    }
    CloseDevice(ctx);
    ctx.view.Yield();
}

bool RecheckLock(EngineContext& ctx, bool skipBusyRefresh) {
    if (!ctx.run.DetectBusy) return false;
    if (!EnterWriteLock(ctx, true)) return true;
    if (!skipBusyRefresh && ctx.dev.LockFlagState == 0)
        ctx.dev.BusyFileCount = EnumerateBusyFiles(ctx);
    YieldWriteLock(ctx);
    return ctx.run.RestartNeeded;
}

void ReportError(EngineContext& ctx, const std::string& text) {
    ReleaseVolume(ctx);
    ctx.view.BringToFront();
    ctx.log.LogEnabled = true;
    AddLogLine(ctx, text);
    ctx.run.ErrorStop = 1;
}

}  // namespace quillo
