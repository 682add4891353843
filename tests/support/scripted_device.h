#pragma once
// An in-memory volume device whose platform answers, lock behaviour and
// failures are scripted by the test, and which records every request.
//
// Content: the image given at construction is what is on the platter. Writes
// go into an unflushed set (reads see them, as through a page cache) until a
// successful ResetDrive makes them durable. A power cut (CrashAfterWrite) kills
// the device; ImageAfterReboot then gives the platter as a reboot would find
// it, and a test reopens by building a new ScriptedDevice from that image.
//
// Lock model (honest by default): -1 until locked; LockVolume(0) or (1) from
// -1, (2) from 1, (3) from 2; an unlock request acts only on the current level
// (3 -> 2, 2 -> 1, 1 or 0 -> -1). Every request on a closed or dead device
// fails the way a failed platform call reads (lock state 0, flag -1, ...).
#include <cstdint>
#include <deque>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "disk/volume_device.h"

namespace quillo {

// What survives of the unflushed writes when the power is cut.
enum class RebootMode {
    DropUnflushed,     // only what a successful ResetDrive made durable
    KeepRandomSubset,  // each sector of each unflushed write kept or lost at random
    TornLastWrite,     // unflushed writes lost, except the first part of the last
                       // multi-sector one
    TornInOrder,       // unflushed writes reached the platter in order until the
                       // power went in the middle of the last multi-sector one:
                       // kept up to it, its first part, nothing after
};

class ScriptedDevice final : public VolumeDevice {
public:
    // Passed as a count of scripted failures: fail every time from now on.
    static constexpr int kAlways = -1;

    enum class Op {
        Open, Close, GetLockState, LockVolume, UnlockVolume, GetLockFlagState,
        EnumOpenFile, FindSwapFile, GetFirstCluster, ResetDrive, Read, Write, OpenReadOnly,
    };

    // Result recorded for an UnlockVolume request.
    enum UnlockOutcome {
        kReleased = 1,          // the current level was released
        kStuck = 0,             // the current level, but scripted to stay held
        kNotCurrentLevel = -1,  // a level other than the current one: ignored
        kNoDevice = -2,         // device closed or dead
    };

    struct Request {
        Op op = Op::Open;
        int level = 0;                // LockVolume, UnlockVolume
        bool othersMayWrite = false;  // LockVolume
        uint32_t start = 0;           // Read, Write
        uint32_t count = 0;           // Read, Write
        WriteKind kind{};             // Write
        uint64_t number = 0;          // Read, Write: the call's number (see FailRead)
        // What the call returned: 1/0 for the boolean operations, the value for
        // the others, an UnlockOutcome for UnlockVolume, nothing for Close.
        int64_t result = 0;
    };

    // `image`: the durable content, a whole number of 512-byte sectors
    // (std::invalid_argument otherwise).
    explicit ScriptedDevice(std::vector<uint8_t> image);

    // --- Content -------------------------------------------------------------
    // What a read sees now: durable content plus every unflushed write.
    const std::vector<uint8_t>& Image() const { return current_; }
    // What is on the platter: only what successful ResetDrives made durable.
    const std::vector<uint8_t>& DurableImage() const { return durable_; }
    // The platter after a power cut now (or at the crash), as a reboot finds it.
    // The seed picks the random subset or the torn length; same seed, same image.
    std::vector<uint8_t> ImageAfterReboot(RebootMode mode, uint64_t seed = 0) const;
    size_t UnflushedWriteCount() const { return unflushed_.size(); }

    // --- Faults --------------------------------------------------------------
    // Every ReadSectors (WriteSectors) call gets the next number, 1-based,
    // counted from construction or from the last ResetCounters, whatever its
    // outcome. The call with a failing number fails and changes nothing.
    void FailRead(uint64_t number) { failingReads_.insert(number); }
    void FailWrite(uint64_t number) { failingWrites_.insert(number); }
    void ResetCounters() { readsCounted_ = writesCounted_ = 0; }
    uint64_t WritesCounted() const { return writesCounted_; }
    // Write `number` completes (into the unflushed set) and then the power is
    // cut: every later request fails, Close stays harmless. A number already
    // passed cuts the power at once.
    void CrashAfterWrite(uint64_t number);
    bool PowerIsCut() const { return powerCut_; }

    // --- Lock and platform scripting ----------------------------------------
    // Another program holds the volume: LockVolume(0) and (1) fail while set.
    void SetOtherHolder(bool holds) { otherHolder_ = holds; }
    // The volume is already locked when we open it: each Open sets the level
    // to `level` (-1 clears this); the normal rules apply from there.
    void SetLockedAtOpen(int level) { lockedAtOpen_ = level; }
    // The next `times` LockVolume(level) attempts fail (kAlways: all of them).
    void FailLocks(int level, int times);
    // The next `times` unlock requests for `level` while it is the current
    // level are ignored (kAlways: the level is stuck).
    void IgnoreUnlocks(int level, int times);
    // Successive GetLockFlagState answers; 0 once the queue is empty.
    void QueueLockFlags(const std::vector<int>& values);
    void FailResets(int times) { failingResets_ = times; }
    // EnumOpenFile(i) answers entry i's kind and path; -1 past the end.
    void SetOpenFiles(std::vector<OpenFileEntry> files) { openFiles_ = std::move(files); }
    // The level held now, as an honest query would read it.
    int HeldLevel() const { return level_; }

    // --- The record ----------------------------------------------------------
    const std::vector<Request>& Requests() const { return record_; }
    void ClearRecord() { record_.clear(); }
    int CountOf(Op op) const;
    // Levels of the LockVolume requests, and of the UnlockVolume requests, in order.
    std::vector<int> LockLevelsRequested() const;
    std::vector<int> UnlockLevels() const;
    // Unlock requests sent for a level that was not the current one.
    int UnlocksOfNonCurrentLevel() const;
    // Successful writes split at each successful ResetDrive: batch i holds the
    // writes after the i-th flush (batch 0 before the first), so there is
    // always one more batch than flushes and the last one is unflushed.
    std::vector<std::vector<Request>> WriteBatches() const;

    // --- VolumeDevice --------------------------------------------------------
    bool Open() override;
    // Fails while another holder is scripted; writes and locks then fail.
    bool OpenReadOnly() override;
    void Close() override;
    bool IsOpen() const override { return open_; }
    int GetLockState() override;
    bool LockVolume(int level, bool othersMayWrite) override;
    void UnlockVolume(int level) override;
    int GetLockFlagState() override;
    int EnumOpenFile(int index, std::string& path) override;
    bool FindSwapFile(std::string& path) override;
    uint32_t GetFirstCluster(const std::string& path) override;
    bool ResetDrive() override;
    bool ReadSectors(uint32_t start, uint32_t count, uint8_t* buffer) override;
    bool WriteSectors(uint32_t start, uint32_t count, const uint8_t* buffer,
                      WriteKind kind) override;
    uint64_t VolumeSectorCount() const override { return current_.size() / kSectorSize; }

private:
    struct UnflushedWrite {
        uint32_t start;
        std::vector<uint8_t> data;  // whole sectors
    };

    bool Live() const { return open_ && !powerCut_; }
    bool InVolume(uint32_t start, uint32_t count) const;
    Request& Record(Op op);
    // Takes one scripted failure from `remaining` (kAlways never runs out).
    static bool TakeFailure(int& remaining);
    static int LevelSlot(int level);

    std::vector<uint8_t> durable_;
    std::vector<uint8_t> current_;
    std::vector<UnflushedWrite> unflushed_;

    bool open_ = false;
    bool readOnly_ = false;
    bool powerCut_ = false;
    int level_ = -1;

    uint64_t readsCounted_ = 0;
    uint64_t writesCounted_ = 0;
    std::set<uint64_t> failingReads_;
    std::set<uint64_t> failingWrites_;
    std::optional<uint64_t> crashAfterWrite_;

    bool otherHolder_ = false;
    int lockedAtOpen_ = -1;
    int failingLocks_[4] = {0, 0, 0, 0};
    int ignoredUnlocks_[4] = {0, 0, 0, 0};
    int failingResets_ = 0;
    std::deque<int> lockFlags_;
    std::vector<OpenFileEntry> openFiles_;

    std::vector<Request> record_;
};

}  // namespace quillo
