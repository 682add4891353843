// What the write ordering of a move costs on a real file: the same moves made
// (a) on the image device with a flush at each ordering point, (b) on the
// image device without flushes (no ordering at all: the floor), and (c) on a
// device opened O_DSYNC, where every write is durable when it returns and no
// flush is needed. Prints moves, writes, flushes and wall time of each.
//
// Usage: move_flush_cost IMAGE   (the image is copied; the original is kept)
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "analysis/chains.h"
#include "analysis/statistics.h"
#include "common/engine_context.h"
#include "disk/fat_table.h"
#include "disk/image_device.h"
#include "disk/volume_geometry.h"
#include "disk/volume_lock.h"
#include "engine/mover.h"

namespace quillo {
namespace {

// An image file opened O_DSYNC, with the lock levels kept as bookkeeping.
class DsyncDevice final : public VolumeDevice {
public:
    DsyncDevice(std::string path, uint64_t sectors) : path_(std::move(path)), sectors_(sectors) {}
    ~DsyncDevice() override { Close(); }
    bool Open() override {
        if (fd_ < 0) fd_ = open(path_.c_str(), O_RDWR | O_CLOEXEC | O_DSYNC);
        return fd_ >= 0;
    }
    bool OpenReadOnly() override { return false; }  // the benchmark only writes
    void Close() override {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
        level_ = -1;
    }
    bool IsOpen() const override { return fd_ >= 0; }
    int GetLockState() override { return level_; }
    bool LockVolume(int level, bool) override {
        const bool allowed = level <= 1 ? level_ == -1 : level_ == level - 1;
        if (allowed) level_ = level;
        return allowed;
    }
    void UnlockVolume(int level) override {
        if (level == level_) level_ = level >= 2 ? level - 1 : -1;
    }
    int GetLockFlagState() override { return 0; }
    int EnumOpenFile(int, std::string&) override { return -1; }
    bool FindSwapFile(std::string&) override { return false; }
    uint32_t GetFirstCluster(const std::string&) override { return 0; }
    bool ResetDrive() override { return fdatasync(fd_) == 0; }
    bool ReadSectors(uint32_t start, uint32_t count, uint8_t* buffer) override {
        const size_t bytes = size_t{count} * kSectorSize;
        return pread(fd_, buffer, bytes, off_t{start} * kSectorSize) == static_cast<ssize_t>(bytes);
    }
    bool WriteSectors(uint32_t start, uint32_t count, const uint8_t* buffer, WriteKind) override {
        const size_t bytes = size_t{count} * kSectorSize;
        return pwrite(fd_, buffer, bytes, off_t{start} * kSectorSize) == static_cast<ssize_t>(bytes);
    }
    uint64_t VolumeSectorCount() const override { return sectors_; }

private:
    std::string path_;
    uint64_t sectors_;
    int fd_ = -1;
    int level_ = -1;
};

// Passes every request on, counting the writes.
class CountingDevice final : public VolumeDevice {
public:
    explicit CountingDevice(VolumeDevice& inner) : inner_(inner) {}
    long writes = 0;
    bool Open() override { return inner_.Open(); }
    bool OpenReadOnly() override { return inner_.OpenReadOnly(); }
    void Close() override { inner_.Close(); }
    bool IsOpen() const override { return inner_.IsOpen(); }
    int GetLockState() override { return inner_.GetLockState(); }
    bool LockVolume(int level, bool others) override { return inner_.LockVolume(level, others); }
    void UnlockVolume(int level) override { inner_.UnlockVolume(level); }
    int GetLockFlagState() override { return inner_.GetLockFlagState(); }
    int EnumOpenFile(int index, std::string& path) override { return inner_.EnumOpenFile(index, path); }
    bool FindSwapFile(std::string& path) override { return inner_.FindSwapFile(path); }
    uint32_t GetFirstCluster(const std::string& path) override { return inner_.GetFirstCluster(path); }
    bool ResetDrive() override { return inner_.ResetDrive(); }
    bool ReadSectors(uint32_t start, uint32_t count, uint8_t* buffer) override {
        return inner_.ReadSectors(start, count, buffer);
    }
    bool WriteSectors(uint32_t start, uint32_t count, const uint8_t* buffer, WriteKind kind) override {
        ++writes;
        return inner_.WriteSectors(start, count, buffer, kind);
    }
    uint64_t VolumeSectorCount() const override { return inner_.VolumeSectorCount(); }

private:
    VolumeDevice& inner_;
};

class OneDrive : public DeviceProvider {
public:
    explicit OneDrive(VolumeDevice* device) : device_(device) {}
    VolumeDevice* DeviceForDrive(char letter) override { return letter == 'C' ? device_ : nullptr; }
    bool IsRemovable(char) override { return false; }

private:
    VolumeDevice* device_;
};

struct Counts {
    long moves = 0;
    long writes = 0;
    long flushes = 0;
    double seconds = 0;
};

Counts MoveEveryFragmentedFile(VolumeDevice& inner, bool flushBetweenSteps) {
    QuietView view;
    SystemClock clock;
    CountingDevice device(inner);
    OneDrive drives(&device);
    EngineContext ctx(view, clock, drives);
    ctx.run.DriveString = "C:";
    ctx.run.RootPath = "C:\\";
    ctx.run.RunMode = 1;
    ctx.run.ScanFiles = true;
    ctx.run.DriveMenuIndex = 1;
    Counts counts;
    if (!AcquireVolume(ctx) || !OpenVolume(ctx) || !ReadFat(ctx)) {
        std::fprintf(stderr, "cannot open the volume: %s\n", ctx.run.ErrorMessage.c_str());
        return counts;
    }
    CheckCrossLinks(ctx);
    ctx.chains.ClustersPerCell = ctx.geo.TotalClusters / ctx.chains.CellCount + 1;
    ctx.chains.MapCells.assign(static_cast<size_t>(ctx.geo.TotalClusters / ctx.chains.ClustersPerCell) + 2, 0);
    AnalyseVolume(ctx);
    ctx.run.DefragPhase = true;
    ctx.defrag.FlushBetweenSteps = flushBetweenSteps;

    const auto start = std::chrono::steady_clock::now();
    for (int32_t r = 1; r <= ctx.scan.RecordCount && !ctx.run.StopRequested; ++r) {
        const FileRecord& rec = ctx.scan.FileRecords[r];
        if (rec.Fragments < 2 || ctx.scan.RecordFixed[r] != 0) continue;
        RunList runs;
        const int32_t n = FAT_Frag(ctx, rec.FirstCluster, runs);
        int32_t gap = 0;
        for (int32_t g = ctx.chains.GapCursor; g <= ctx.chains.GapCount && gap == 0; ++g)
            if (ctx.chains.GapLength[g] >= n) gap = g;
        if (gap != 0 && MoveFile(ctx, r, gap)) ++counts.moves;
    }
    ReleaseVolume(ctx);  // ends with a flush, as every run does
    counts.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    counts.flushes = ctx.defrag.Flushes;
    counts.writes = device.writes;
    return counts;
}

void Report(const char* name, const Counts& c) {
    const double perMove = c.moves ? 1.0 / c.moves : 0.0;
    std::printf("%-34s moves %4ld  writes %5ld (%.1f a move)  flushes %5ld (%.1f a move)  %8.3f s  %7.2f ms a move\n",
                name, c.moves, c.writes, c.writes * perMove, c.flushes, c.flushes * perMove, c.seconds,
                1000.0 * c.seconds * perMove);
}

}  // namespace
}  // namespace quillo

int main(int argc, char** argv) {
    using namespace quillo;
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s IMAGE\n", argv[0]);
        return 2;
    }
    const std::string original = argv[1];
    const std::string copy = original + ".bench";
    const uint64_t sectors = std::filesystem::file_size(original) / kSectorSize;
    struct Mode {
        const char* name;
        bool dsync;
        bool flush;
    };
    for (const Mode& mode : {Mode{"image device, flush at each point", false, true},
                             Mode{"image device, no flushes (unsafe)", false, false},
                             Mode{"O_DSYNC device, no flushes", true, false}}) {
        std::filesystem::copy_file(original, copy, std::filesystem::copy_options::overwrite_existing);
        sync();
        std::unique_ptr<VolumeDevice> device;
        if (mode.dsync) device = std::make_unique<DsyncDevice>(copy, sectors);
        else device = std::make_unique<ImageDevice>(copy, 0, sectors);
        Report(mode.name, MoveEveryFragmentedFile(*device, mode.flush));
    }
    std::filesystem::remove(copy);
    return 0;
}
