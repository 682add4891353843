#pragma once
// The lock protocol of a run: which lock levels are held on the volume and
// when. A run holds level 1 (or the exclusive level 0) throughout, climbs to
// levels 2 and 3 only around a batch of writes, and reads the lock flag on
// every climb to learn whether somebody else wrote to the volume meanwhile.
#include <string>

namespace quillo {

struct EngineContext;

// Opens the drive's device and takes the run's locks. False when the device
// cannot be opened, the volume is already locked, or no lock can be had
// (DriveBusy is then set).
bool AcquireVolume(EngineContext& ctx);
// Level 1, denying other programs' writes unless `background`; falls back to
// allowing them.
bool TakeLevel1Lock(EngineContext& ctx, bool background);
// Climbs to level 3 and reads the lock flag. True with levels 2 and 3 held.
// Gives up with DriveBusy after 30 seconds of failed climbs.
bool EnterWriteLock(EngineContext& ctx, bool refreshBusyList);
// Comes back down to level 1 if above it and lets the window run.
void YieldWriteLock(EngineContext& ctx);
void LowerToLevel1(EngineContext& ctx);
// Unlock request for `levelWord` / 256, sent only while that level is the
// current one, so locks are always released from the top down.
void UnlockVolume(EngineContext& ctx, int levelWord);
// Drops every lock and closes the device. Does nothing when closed.
void ReleaseVolume(EngineContext& ctx);

// The lock checkpoint of the analysis: when busy files are being detected,
// climbs (rebuilding the busy-file table unless skipped or already rebuilt),
// comes down again and returns whether the run must stop or restart.
bool RecheckLock(EngineContext& ctx, bool skipBusyRefresh);

// The device's lock state, -1 none or 0..3; a closed device reads as 0.
int GetLockState(EngineContext& ctx);
// levelWord is the level x 256, as the lock requests take it.
bool LockVolume(EngineContext& ctx, int levelWord);

// Error line of the log: releases the volume first, brings the window to
// the front, switches logging on and sets the error stop.
void ReportError(EngineContext& ctx, const std::string& text);

}  // namespace quillo
