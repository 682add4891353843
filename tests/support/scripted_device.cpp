#include "tests/support/scripted_device.h"

#include <cstring>
#include <random>
#include <stdexcept>

namespace quillo {

ScriptedDevice::ScriptedDevice(std::vector<uint8_t> image)
    : durable_(std::move(image)), current_(durable_) {
    if (durable_.size() % kSectorSize != 0)
        throw std::invalid_argument("ScriptedDevice: image is not whole 512-byte sectors");
    if (durable_.size() / kSectorSize > UINT32_MAX)
        throw std::invalid_argument("ScriptedDevice: image too large for 32-bit sector numbers");
}

// --- Content -----------------------------------------------------------------

std::vector<uint8_t> ScriptedDevice::ImageAfterReboot(RebootMode mode, uint64_t seed) const {
    std::vector<uint8_t> platter = durable_;
    std::mt19937_64 rng(seed);
    auto putSectors = [&](const UnflushedWrite& w, uint32_t first, uint32_t n) {
        std::memcpy(platter.data() + (uint64_t{w.start} + first) * kSectorSize,
                    w.data.data() + uint64_t{first} * kSectorSize, uint64_t{n} * kSectorSize);
    };
    switch (mode) {
    case RebootMode::DropUnflushed:
        break;
    case RebootMode::KeepRandomSubset:
        // In the original order, so a sector written twice ends as the older
        // platter content, the first version or the second.
        for (const UnflushedWrite& w : unflushed_) {
            const uint32_t sectors = static_cast<uint32_t>(w.data.size() / kSectorSize);
            for (uint32_t s = 0; s < sectors; ++s)
                if (rng() & 1) putSectors(w, s, 1);
        }
        break;
    case RebootMode::TornLastWrite:
        for (auto it = unflushed_.rbegin(); it != unflushed_.rend(); ++it) {
            const uint32_t sectors = static_cast<uint32_t>(it->data.size() / kSectorSize);
            if (sectors < 2) continue;
            putSectors(*it, 0, 1 + static_cast<uint32_t>(rng() % (sectors - 1)));
            break;
        }
        break;
    case RebootMode::TornInOrder: {
        size_t torn = unflushed_.size();
        for (size_t i = unflushed_.size(); i-- > 0;)
            if (unflushed_[i].data.size() > kSectorSize) {
                torn = i;
                break;
            }
        for (size_t i = 0; i < torn; ++i) putSectors(unflushed_[i], 0, static_cast<uint32_t>(unflushed_[i].data.size() / kSectorSize));
        if (torn < unflushed_.size()) {
            const uint32_t sectors = static_cast<uint32_t>(unflushed_[torn].data.size() / kSectorSize);
            putSectors(unflushed_[torn], 0, 1 + static_cast<uint32_t>(rng() % (sectors - 1)));
        }
        break;
    }
    }
    return platter;
}

// --- Faults and scripting ------------------------------------------------------

void ScriptedDevice::CrashAfterWrite(uint64_t number) {
    crashAfterWrite_ = number;
    if (number <= writesCounted_) powerCut_ = true;
}

int ScriptedDevice::LevelSlot(int level) {
    if (level < 0 || level > 3) throw std::invalid_argument("ScriptedDevice: lock level not 0..3");
    return level;
}

void ScriptedDevice::FailLocks(int level, int times) { failingLocks_[LevelSlot(level)] = times; }

void ScriptedDevice::IgnoreUnlocks(int level, int times) {
    ignoredUnlocks_[LevelSlot(level)] = times;
}

void ScriptedDevice::QueueLockFlags(const std::vector<int>& values) {
    lockFlags_.insert(lockFlags_.end(), values.begin(), values.end());
}

bool ScriptedDevice::TakeFailure(int& remaining) {
    if (remaining == kAlways) return true;
    if (remaining <= 0) return false;
    --remaining;
    return true;
}

bool ScriptedDevice::InVolume(uint32_t start, uint32_t count) const {
    return uint64_t{start} + count <= VolumeSectorCount();
}

// --- The record ------------------------------------------------------------------

ScriptedDevice::Request& ScriptedDevice::Record(Op op) {
    Request& r = record_.emplace_back();
    r.op = op;
    return r;
}

int ScriptedDevice::CountOf(Op op) const {
    int n = 0;
    for (const Request& r : record_) n += r.op == op;
    return n;
}

std::vector<int> ScriptedDevice::LockLevelsRequested() const {
    std::vector<int> levels;
    for (const Request& r : record_)
        if (r.op == Op::LockVolume) levels.push_back(r.level);
    return levels;
}

std::vector<int> ScriptedDevice::UnlockLevels() const {
    std::vector<int> levels;
    for (const Request& r : record_)
        if (r.op == Op::UnlockVolume) levels.push_back(r.level);
    return levels;
}

int ScriptedDevice::UnlocksOfNonCurrentLevel() const {
    int n = 0;
    for (const Request& r : record_)
        n += r.op == Op::UnlockVolume && r.result == kNotCurrentLevel;
    return n;
}

std::vector<std::vector<ScriptedDevice::Request>> ScriptedDevice::WriteBatches() const {
    std::vector<std::vector<Request>> batches(1);
    for (const Request& r : record_) {
        if (r.op == Op::ResetDrive && r.result) batches.emplace_back();
        if (r.op == Op::Write && r.result) batches.back().push_back(r);
    }
    return batches;
}

// --- VolumeDevice ----------------------------------------------------------------

bool ScriptedDevice::Open() {
    Request& r = Record(Op::Open);
    if (powerCut_) return false;
    if (!open_) {
        open_ = true;
        level_ = lockedAtOpen_;
    }
    r.result = 1;
    return true;
}

bool ScriptedDevice::OpenReadOnly() {
    Request& r = Record(Op::OpenReadOnly);
    if (powerCut_ || otherHolder_ || (open_ && !readOnly_)) return false;
    open_ = true;
    readOnly_ = true;
    r.result = 1;
    return true;
}

void ScriptedDevice::Close() {
    Record(Op::Close);
    open_ = false;
    readOnly_ = false;
    level_ = -1;
}

int ScriptedDevice::GetLockState() {
    Request& r = Record(Op::GetLockState);
    // A failed query reads as 0, like a failed platform call.
    r.result = Live() ? level_ : 0;
    return static_cast<int>(r.result);
}

bool ScriptedDevice::LockVolume(int level, bool othersMayWrite) {
    Request& r = Record(Op::LockVolume);
    r.level = level;
    r.othersMayWrite = othersMayWrite;
    if (!Live() || readOnly_ || level < 0 || level > 3) return false;
    if (TakeFailure(failingLocks_[level])) return false;
    bool allowed = false;
    switch (level) {
    case 0:
    case 1: allowed = level_ == -1 && !otherHolder_; break;
    case 2: allowed = level_ == 1; break;
    case 3: allowed = level_ == 2; break;
    }
    if (!allowed) return false;
    level_ = level;
    r.result = 1;
    return true;
}

void ScriptedDevice::UnlockVolume(int level) {
    Request& r = Record(Op::UnlockVolume);
    r.level = level;
    if (!Live()) {
        r.result = kNoDevice;
    } else if (level != level_) {
        r.result = kNotCurrentLevel;
    } else if (TakeFailure(ignoredUnlocks_[level])) {
        r.result = kStuck;
    } else {
        level_ = level >= 2 ? level - 1 : -1;
        r.result = kReleased;
    }
}

int ScriptedDevice::GetLockFlagState() {
    Request& r = Record(Op::GetLockFlagState);
    if (!Live()) {
        r.result = -1;
    } else if (!lockFlags_.empty()) {
        r.result = lockFlags_.front();
        lockFlags_.pop_front();
    }
    return static_cast<int>(r.result);
}

int ScriptedDevice::EnumOpenFile(int index, std::string& path) {
    Request& r = Record(Op::EnumOpenFile);
    r.result = -1;
    if (Live() && index >= 0 && static_cast<size_t>(index) < openFiles_.size()) {
        path = openFiles_[index].path;
        r.result = openFiles_[index].kind;
    }
    return static_cast<int>(r.result);
}

// No scripted volume has a swap file.
bool ScriptedDevice::FindSwapFile(std::string&) {
    Record(Op::FindSwapFile);
    return false;
}

uint32_t ScriptedDevice::GetFirstCluster(const std::string&) {
    Record(Op::GetFirstCluster);
    return 0;
}

bool ScriptedDevice::ResetDrive() {
    Request& r = Record(Op::ResetDrive);
    if (!Live() || TakeFailure(failingResets_)) return false;
    for (const UnflushedWrite& w : unflushed_)
        std::memcpy(durable_.data() + uint64_t{w.start} * kSectorSize, w.data.data(),
                    w.data.size());
    unflushed_.clear();
    r.result = 1;
    return true;
}

bool ScriptedDevice::ReadSectors(uint32_t start, uint32_t count, uint8_t* buffer) {
    Request& r = Record(Op::Read);
    r.start = start;
    r.count = count;
    r.number = ++readsCounted_;
    if (!Live() || !InVolume(start, count) || failingReads_.count(r.number)) return false;
    std::memcpy(buffer, current_.data() + uint64_t{start} * kSectorSize,
                uint64_t{count} * kSectorSize);
    r.result = 1;
    return true;
}

bool ScriptedDevice::WriteSectors(uint32_t start, uint32_t count, const uint8_t* buffer,
                                  WriteKind kind) {
    Request& r = Record(Op::Write);
    r.start = start;
    r.count = count;
    r.kind = kind;
    r.number = ++writesCounted_;
    const bool ok = Live() && !readOnly_ && InVolume(start, count) && !failingWrites_.count(r.number);
    if (ok && count > 0) {
        const uint64_t bytes = uint64_t{count} * kSectorSize;
        std::memcpy(current_.data() + uint64_t{start} * kSectorSize, buffer, bytes);
        unflushed_.push_back({start, std::vector<uint8_t>(buffer, buffer + bytes)});
    }
    r.result = ok;
    if (crashAfterWrite_ && r.number == *crashAfterWrite_) powerCut_ = true;
    return ok;
}

}  // namespace quillo
