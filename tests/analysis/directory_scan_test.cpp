#include "analysis/directory_scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <set>

#include "analysis/chains.h"
#include "common/little_endian.h"
#include "common/log.h"
#include "disk/fat_table.h"
#include "disk/volume_geometry.h"
#include "disk/volume_lock.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/test_images.h"

namespace quillo {
namespace {

using Op = ScriptedDevice::Op;
using test::ShellQuote;

// A FAT image built with mkfs.fat and mtools (or mkfragimg), opened through a
// scripted device and analysed up to the end of the directory scan.
class ScannedImage {
public:
    bool Format(uint64_t kib, const std::string& mkfsArgs) { return test::MakeFatImage(path_, kib, mkfsArgs); }
    bool Build(const std::string& args) { return test::MakeFragImage(path_, args); }
    bool Tool(const std::string& tool, const std::string& args) {
        return test::RunCommand(tool + " -i " + ShellQuote(path_) + " " + args) == 0;
    }
    // A file of `bytes` zero bytes at `dest` ("::DIR/NAME"), dated `mtime` when not 0.
    bool Put(const std::string& dest, size_t bytes, time_t mtime = 0) {
        const std::string source = dir_.File("source");
        std::remove(source.c_str());
        return test::SetFileSize(source, bytes) &&
               (mtime == 0 || test::RunCommand("touch -d @" + std::to_string(mtime) + " " + ShellQuote(source)) == 0) &&
               Tool("mcopy", "-m -o " + ShellQuote(source) + " " + ShellQuote(dest));
    }
    // Empty files F0, F1, ... copied into the root at once.
    bool PutEmptyFiles(int count) {
        const std::string host = dir_.File("many");
        test::RunCommand("mkdir -p " + ShellQuote(host));
        for (int i = 0; i < count; ++i) test::SetFileSize(host + "/F" + std::to_string(i), 0);
        return Tool("mcopy", ShellQuote(host) + "/* ::");
    }
    // Byte offset of the short entry named `name11` ("BIG     BIN").
    int64_t EntryOffset(const std::string& name11) {
        const std::vector<uint8_t> image = test::ReadFileBytes(path_);
        for (size_t at = 0; at + 32 <= image.size(); at += 32)
            if (std::equal(name11.begin(), name11.end(), image.begin() + at) && image[at + 11] != 0x0F) return at;
        return -1;
    }
    uint32_t EntryCluster(const std::string& name11) {
        const std::vector<uint8_t> image = test::ReadFileBytes(path_);
        const int64_t at = EntryOffset(name11);
        return le16(&image[at + 26]) | (uint32_t{le16(&image[at + 20])} << 16);
    }
    void Patch(int64_t offset, const std::vector<uint8_t>& bytes) { test::WriteFileBytes(path_, offset, bytes); }
    void PatchCluster(const std::string& name11, uint32_t cluster) {
        Patch(EntryOffset(name11) + 20, {uint8_t(cluster >> 16), uint8_t(cluster >> 24)});
        Patch(EntryOffset(name11) + 26, {uint8_t(cluster), uint8_t(cluster >> 8)});
    }

    // What a pass runs up to the scan. `setup` runs before the volume is opened.
    bool Scan(int16_t runMode, const std::function<void(EngineContext&)>& setup = {}) {
        drive_ = std::make_unique<testing::ScriptedDrive>(test::ReadFileBytes(path_));
        EngineContext& c = drive_->ctx;
        c.run.RunMode = runMode;
        c.run.ScanFiles = true;
        c.run.DriveMenuIndex = 1;  // C:
        if (setup) setup(c);
        if (!AcquireVolume(c) || !OpenVolume(c) || !ReadFat(c)) return false;
        CheckCrossLinks(c);
        if (!c.run.StopRequested) {
            c.chains.ClustersPerCell = c.geo.TotalClusters / c.chains.CellCount + 1;
            c.chains.MapCells.assign(c.geo.TotalClusters / c.chains.ClustersPerCell + 2, 0);
            c.scan.FolderTable.assign(1001, FolderEntry{});
            c.scan.FolderTable[0] = FolderEntry{-1, "C:"};
            c.scan.FoldersWithErased.assign(201, 0);
            c.scan.FileRecords.assign(3, FileRecord{});  // small, so that they grow
            c.scan.RecordFolder.assign(3, 0);
            c.scan.RecordFixed.assign(3, 0);
            c.chains.ChainCount = ScanChains(c);
            if (!c.run.StopRequested) ScanTree(c);
        }
        EXPECT_EQ(drive_->device.CountOf(Op::Write), 0) << "the scan wrote to the volume";
        return true;
    }

    EngineContext& ctx() { return drive_->ctx; }
    ScriptedDevice& device() { return drive_->device; }
    const std::string& path() const { return path_; }
    int32_t RecordOf(uint32_t firstCluster) {
        for (int32_t r = 1; r <= ctx().scan.RecordCount; ++r)
            if (ctx().scan.FileRecords[r].FirstCluster == firstCluster) return r;
        return 0;
    }
    const FileRecord& Record(const std::string& name11) { return ctx().scan.FileRecords[RecordOf(EntryCluster(name11))]; }
    uint8_t Fixed(const std::string& name11) { return ctx().scan.RecordFixed[RecordOf(EntryCluster(name11))]; }

private:
    test::TempDir dir_;
    std::string path_ = dir_.File("vol.img");
    std::unique_ptr<testing::ScriptedDrive> drive_;
};

#define REQUIRE_TOOLS() \
    if (!test::HaveFatTools()) GTEST_SKIP() << "mkfs.fat or mtools missing"

constexpr const char* kFat16 = "-F 16 -R 4 -s 4";  // 2 KiB clusters, 4 reserved sectors
constexpr uint64_t kFat16KiB = 32768;

// The engine keeps a short name's stored bytes, the checker writes them as
// JSON escapes: both are compared with their non-ASCII characters as '?'.
std::string AsciiOnly(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool escape = text.compare(i, 2, "\\u") == 0;
        out += static_cast<unsigned char>(text[i]) >= 0x80 || escape ? '?' : text[i];
        if (escape) i += 5;
    }
    return out;
}

// The 32-byte entry at `slot` of the folder starting at `first` (0: the fixed root).
const uint8_t* EntryAt(const EngineContext& ctx, const std::vector<uint8_t>& image, uint32_t first, int32_t slot) {
    const Geometry& geo = ctx.geo;
    const int32_t perCluster = geo.BytesPerCluster / 32;
    int64_t sector = geo.ReservedSectors + int64_t{geo.NumberOfFats} * geo.SectorsPerFat + slot / 16;
    if (first != 0) {
        uint32_t c = first;
        for (int32_t hop = slot / perCluster; hop > 0; --hop) c = ctx.fat.FatTable[c] & 0x0FFFFFFF;
        sector = (int64_t{c} - 2) * geo.SectorsPerCluster + geo.DataStartMinus1 + 1 + (slot % perCluster) / 16;
    }
    return &image[sector * 512 + (slot % 16) * 32];
}

TEST(DirectoryScan, RecordsMatchTheCheckerOnFragmentedImages) {
    REQUIRE_TOOLS();
    for (const std::string args : {"--preset floppy", "--fat 16 --size-mb 16 --files 200 --dirs 10 --seed 5 --churn 2",
                                   "--fat 32 --size-mb 34 --cluster-sectors 1 --files 150 --dirs 8 --seed 3"}) {
        SCOPED_TRACE(args);
        ScannedImage v;
        ASSERT_TRUE(v.Build(args));
        ASSERT_TRUE(v.Scan(-1));
        const EngineContext& ctx = v.ctx();
        const ScanState& scan = ctx.scan;
        ASSERT_FALSE(ctx.run.StopRequested) << ctx.run.ErrorMessage;
        const std::string json = test::FatinspectJson(v.path(), "--list");
        const int root = ctx.geo.IsFat32 ? 1 : 0;  // the FAT32 root: a chain, no entry
        EXPECT_EQ(scan.FileCount + scan.FolderCount - scan.EmptyFiles + root, ctx.chains.ChainCount);
        EXPECT_EQ(ctx.chains.OwnedClusters, ctx.chains.AllocatedClusters);
        EXPECT_EQ(scan.FileRecords[0].Fragments, 2 * root);

        // The checker's entries by long path and by first cluster.
        std::map<std::string, std::string> item;
        std::map<int64_t, std::string> byCluster;
        const std::string entries = test::JsonField(json, "entries").value_or("[]");
        for (size_t i = 0; auto e = test::JsonArrayItem(entries, i); ++i) {
            item[test::JsonField(*e, "path").value_or("")] = *e;
            if (test::JsonNumber(*e, "first_cluster") != 0) byCluster[*test::JsonNumber(*e, "first_cluster")] = *e;
        }
        EXPECT_EQ(scan.RecordCount, static_cast<int32_t>(item.size()));
        auto shortPath = [&](const std::string& path) {
            std::string out = "C:";
            for (size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
                out += "\\" + AsciiOnly(*test::JsonField(item.at(path.substr(0, end)), "short"));
                if (end == std::string::npos) return out;
            }
        };

        const std::vector<uint8_t> image = v.device().Image();
        std::set<std::string> fragmented;
        int64_t folderRuns = root ? *test::JsonNumber(json, "root_fragments") : 1;
        int32_t matched = 0;
        for (int32_t r = 1; r <= scan.RecordCount; ++r) {
            const FileRecord& rec = scan.FileRecords[r];
            const uint32_t folder =
                rec.ParentRecord == 0 ? ctx.chains.Fat32RootCluster : scan.FileRecords[rec.ParentRecord].FirstCluster;
            const uint8_t* entry = EntryAt(ctx, image, folder, rec.EntryIndex);
            ASSERT_EQ(rec.FirstCluster, le16(entry + 26) | (root ? uint32_t{le16(entry + 20)} << 16 : 0u));
            if (rec.FirstCluster == 0) continue;
            ASSERT_TRUE(byCluster.count(rec.FirstCluster)) << rec.FirstCluster;
            const std::string& e = byCluster[rec.FirstCluster];
            const std::string path = *test::JsonField(e, "path");
            const std::string parent = path.substr(0, path.rfind('/'));
            const bool isDir = test::JsonField(e, "is_dir") == "true";
            const int64_t fragments = *test::JsonNumber(e, "fragments");
            SCOPED_TRACE(path);
            ++matched;
            if (!isDir) {
                EXPECT_EQ(rec.Size, test::JsonNumber(e, "size"));
            }
            EXPECT_EQ(rec.Fragments, std::min<int64_t>(fragments, 255));
            EXPECT_EQ((rec.Attributes & kAttrFolder) != 0, isDir);
            EXPECT_EQ(scan.RecordFixed[r], 0);
            EXPECT_EQ(AsciiOnly(FolderPath(ctx, scan.RecordFolder[r])), parent.empty() ? "C:" : shortPath(parent));
            EXPECT_EQ(scan.FileRecords[rec.ParentRecord].FirstCluster,
                      parent.empty() ? 0 : test::JsonNumber(item.at(parent), "first_cluster"));
            if (fragments > 1) fragmented.insert(shortPath(path));
            if (isDir) folderRuns += fragments;
        }
        EXPECT_EQ(matched, static_cast<int32_t>(byCluster.size()));

        // A Check lists every fragmented file and folder by its short path.
        std::set<std::string> listed;
        for (const auto& line : ctx.lists.Fragmented) listed.insert(AsciiOnly(line.line.substr(0, line.line.find('\t'))));
        EXPECT_EQ(ctx.lists.Fragmented.size(), fragmented.size());
        EXPECT_EQ(listed, fragmented);
        // Each file and each run of each folder is one item in the size chart.
        int64_t charted = 0;
        for (int32_t n : scan.SizeHistogram) charted += n;
        EXPECT_EQ(charted, scan.ItemsScanned);
        EXPECT_EQ(scan.ItemsScanned, scan.FileCount + folderRuns);
    }
}

TEST(DirectoryScan, HandMadeTreeCountsFixesAndListsLongPaths) {
    REQUIRE_TOOLS();
    ScannedImage v;
    ASSERT_TRUE(v.Format(kFat16KiB, kFat16));
    ASSERT_TRUE(v.Tool("mmd", ShellQuote("::My Documents")));
    ASSERT_TRUE(v.Put("::GONE.TXT", 10) && v.Put("::My Documents/A.TXT", 100) && v.Put("::EMPTY.DAT", 0) &&
                v.Put("::GROWING.BIN", 4 * 2048) && v.Put("::big.bin", 5242880) &&
                v.Put("::Almost Big.txt", 5242879) && v.Put("::Stale Name.dat", 5767168) &&
                v.Put("::My Documents/Holiday Video.avi", 6291456));
    ASSERT_TRUE(v.Tool("mdel", "::GONE.TXT") && v.Tool("mdel", ShellQuote("::My Documents/A.TXT")));
    v.Patch(v.EntryOffset("GROWING BIN") + 28, {0x00, 0x18, 0, 0});  // 6144 bytes need 3 of its 4 clusters
    v.Patch(v.EntryOffset("STALEN~1DAT") + 7, {'2'});  // its long name no longer belongs to it
    // Shared with programs that may write: GROWING.BIN is one being written.
    ASSERT_TRUE(v.Scan(-1, [](EngineContext& c) { c.options.Background = true; }));
    const EngineContext& ctx = v.ctx();
    const ScanState& scan = ctx.scan;
    EXPECT_EQ(scan.FileCount, 6);
    EXPECT_EQ(scan.FolderCount, 1);
    EXPECT_EQ(scan.EmptyFiles, 1);
    EXPECT_EQ(v.Record("EMPTY   DAT").Fragments, 0);
    EXPECT_EQ(scan.ErasedEntries, 2);
    ASSERT_EQ(scan.FoldersWithErasedCount, 2);  // the root, then the folder
    EXPECT_EQ(scan.FoldersWithErased[1], 0);
    EXPECT_EQ(scan.FoldersWithErased[2], v.RecordOf(v.EntryCluster("MYDOCU~1   ")));
    EXPECT_EQ(v.Record("MYDOCU~1   ").Size, 2048u);

    EXPECT_EQ(v.Fixed("GROWING BIN"), kRecordFixed);
    EXPECT_EQ(scan.FixedCount, 1);
    const uint32_t growing = v.EntryCluster("GROWING BIN");
    for (uint32_t c = growing; c < growing + 4; ++c)
        EXPECT_EQ(ctx.chains.MapCells[c / ctx.chains.ClustersPerCell], kCellFixed) << c;

    const std::vector<std::string> large = {
        "C:\\big.bin  " + FormatSize(10240),
        "C:\\STALEN~2.DAT  " + FormatSize(11264),
        "C:\\My Documents\\Holiday Video.avi  " + FormatSize(12288),
    };
    EXPECT_EQ(ctx.lists.Large, large);
    EXPECT_EQ(ctx.lists.LargeListWidth, static_cast<int32_t>(large[2].size()));
}

TEST(DirectoryScan, FoldersAreReadWholeAndInPiecesOfAtMostOneMegabyte) {
    REQUIRE_TOOLS();
    {
        // A 15-sector root with 2-sector clusters after one reserved sector and
        // both tables: read once, to its last sector and no further.
        ScannedImage v;
        ASSERT_TRUE(v.Format(2880, "-F 12 -s 2 -r 240 -a") && v.PutEmptyFiles(235));
        ASSERT_TRUE(v.Scan(-1));
        EXPECT_EQ(v.ctx().scan.FileCount, 235);
        const uint32_t rootStart = 1 + 2 * v.ctx().geo.SectorsPerFat;
        std::vector<uint32_t> rootReads;
        for (const auto& r : v.device().Requests())
            if (r.op == Op::Read && r.start == rootStart) rootReads.push_back(r.count);
        EXPECT_EQ(rootReads, std::vector<uint32_t>{15});
    }
    {
        // A folder stretched over 2400 one-sector clusters of erased slots,
        // with an empty file in its final slot.
        ScannedImage v;
        ASSERT_TRUE(v.Format(66000, "-F 32 -s 1 -R 32") && v.Tool("mmd", "::BIG"));
        const uint32_t big = v.EntryCluster("BIG        ");
        const std::vector<uint8_t> boot = test::ReadFileBytes(v.path());
        const int64_t fatStart = le16(&boot[14]) * 512LL, fatBytes = le32(&boot[36]) * 512LL;
        constexpr uint32_t kClusters = 2400;
        std::vector<uint8_t> links(kClusters * 4);
        for (uint32_t i = 0; i < kClusters; ++i) put_le32(&links[i * 4], i + 1 < kClusters ? big + i + 1 : 0x0FFFFFFF);
        v.Patch(fatStart + big * 4, links);
        v.Patch(fatStart + fatBytes + big * 4, links);
        std::vector<uint8_t> slots(kClusters * 512 - 64, 0);
        for (size_t at = 0; at < slots.size(); at += 32) slots[at] = 0xE5;
        std::copy_n("FAR     BIN ", 12, slots.end() - 32);
        v.Patch(fatStart + 2 * fatBytes + (big - 2) * 512LL + 64, slots);  // after "." and ".."
        ASSERT_TRUE(v.Scan(-1));
        const ScanState& scan = v.ctx().scan;
        ASSERT_FALSE(v.ctx().run.StopRequested) << v.ctx().run.ErrorMessage;
        EXPECT_EQ(scan.ErasedEntries, static_cast<int32_t>(kClusters * 16 - 3));
        EXPECT_EQ(scan.FileRecords[v.RecordOf(0)].EntryIndex, static_cast<int32_t>(kClusters * 16 - 1));
        EXPECT_EQ(v.Record("BIG        ").Size, kClusters * 512);
        uint32_t largest = 0;
        for (const auto& r : v.device().Requests()) largest = std::max(largest, r.op == Op::Read ? r.count : 0);
        EXPECT_EQ(largest, 2048u);
    }
}

TEST(DirectoryScan, DamagedEntriesStopTheScanWithoutHanging) {
    REQUIRE_TOOLS();
    struct Case {
        const char *name, *mkfs;
        uint64_t kib;
        std::function<bool(ScannedImage&)> damage;
        const char* message;
    };
    const Case cases[] = {
        {"two files sharing one chain", kFat16, kFat16KiB, [](ScannedImage& v) {
             if (!v.Put("::A.BIN", 3 * 2048) || !v.Put("::B.BIN", 2048)) return false;
             v.PatchCluster("B       BIN", v.EntryCluster("A       BIN"));
             return true;
         }, "Crosslinked files"},
        {"first cluster beyond the volume", kFat16, kFat16KiB, [](ScannedImage& v) {
             const int64_t total = *test::JsonNumber(test::FatinspectJson(v.path()), "total_clusters");
             if (!v.Put("::B.BIN", 2048)) return false;
             v.PatchCluster("B       BIN", static_cast<uint32_t>(total + 2));
             return true;
         }, "Bad Cluster #"},
        {"folder holding itself", kFat16, kFat16KiB, [](ScannedImage& v) {
             if (!v.Tool("mmd", "::LOOP") || !v.Tool("mmd", "::LOOP/INNER")) return false;
             v.PatchCluster("INNER      ", v.EntryCluster("LOOP       "));
             return true;
         }, "Crosslinked files"},
        {"FAT32 folder holding the root", "-F 32 -s 1", 66000, [](ScannedImage& v) {
             if (!v.Tool("mmd", "::LOOP")) return false;
             v.PatchCluster("LOOP       ", 2);
             return true;
         }, "Crosslinked files"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScannedImage v;
        ASSERT_TRUE(v.Format(c.kib, c.mkfs) && c.damage(v));
        ASSERT_TRUE(v.Scan(-1));
        EXPECT_EQ(v.ctx().run.ErrorMessage, c.message);
        EXPECT_EQ(v.ctx().run.ErrorStop, 1);
        EXPECT_TRUE(v.ctx().run.StructuralError);
        EXPECT_TRUE(v.ctx().chains.SuccessorSeen.empty());
    }
}

// A file written into a 2-cluster hole behind which a fence stays: with the
// first-fit allocator it gets two fragments.
bool PutFragmented(ScannedImage& v, const std::string& dest, size_t bytes, const std::string& tag) {
    return v.Put("::HOLE" + tag, 2 * 2048) && v.Put("::FENCE" + tag, 2048) && v.Tool("mdel", "::HOLE" + tag) &&
           v.Put(dest, bytes);
}

TEST(DirectoryScan, BigAndBusyFilesAreListedOrLeftInPlace) {
    REQUIRE_TOOLS();
    ScannedImage v;
    ASSERT_TRUE(v.Format(kFat16KiB, kFat16));
    ASSERT_TRUE(v.Put("::SYSTEM.DAT", 100) && v.Put("::USER.DAT", 100) && v.Put("::MAPPED.DLL", 100));
    ASSERT_TRUE(PutFragmented(v, "::BUSY.BIN", 5 * 2048, "1") && PutFragmented(v, "::VIDEO.AVI", 6291456, "2"));
    const std::string bigLine = "C:\\VIDEO.AVI\t (big)\t" + FormatSize(12288);
    auto fiveMegabyteLimit = [](EngineContext& ctx) {
        ctx.options.NoHugeDefrag = true;
        ctx.options.DefragLim = 5;
    };
    // Check: both fragmented files listed, nothing fixed; VIDEO is over the limit.
    ASSERT_TRUE(v.Scan(-1, fiveMegabyteLimit));
    ASSERT_EQ(v.Record("VIDEO   AVI").Fragments, 2);
    ASSERT_EQ(v.ctx().lists.Fragmented.size(), 2u);
    EXPECT_EQ(v.ctx().lists.Fragmented[0].line, "C:\\BUSY.BIN\t\t10KB");
    EXPECT_EQ(v.ctx().lists.Fragmented[1].line, bigLine);
    EXPECT_EQ(v.ctx().scan.FixedCount, 0);

    // A shared Defragment: the registry hives and the busy file are probed
    // and kept, the mapped one only marked, the big one left in place.
    ASSERT_TRUE(v.Scan(1, [&](EngineContext& ctx) {
        fiveMegabyteLimit(ctx);
        ctx.options.Background = true;  // level 1: others keep writing
        ctx.options.FixedRegistry = true;
        ctx.run.DetectBusy = true;
        v.device().SetOpenFiles({{"C:\\MAPPED.DLL", 2}, {"C:\\BUSY.BIN", 3}});
    }));
    const ScanState& scan = v.ctx().scan;
    EXPECT_EQ(v.Fixed("SYSTEM  DAT"), kRecordFixed);
    EXPECT_EQ(v.Fixed("USER    DAT"), kRecordFixed);
    EXPECT_EQ(v.Fixed("MAPPED  DLL"), 0);
    EXPECT_EQ(scan.RecordInUse[v.RecordOf(v.EntryCluster("MAPPED  DLL"))], kRecordFixed);
    EXPECT_EQ(v.Fixed("BUSY    BIN"), kRecordFixed);
    EXPECT_EQ(v.Fixed("VIDEO   AVI"), kRecordFixed);
    EXPECT_EQ(scan.FixedCount, 4);
    EXPECT_EQ(scan.LeftFragmentedCount, 2);
    ASSERT_EQ(v.ctx().lists.Fragmented.size(), 2u);
    EXPECT_EQ(v.ctx().lists.Fragmented[0].line, "C:\\BUSY.BIN\t (busy)\t10KB");
    EXPECT_EQ(v.ctx().lists.Fragmented[1].line, bigLine);
    const uint32_t video = v.EntryCluster("VIDEO   AVI");
    EXPECT_EQ(v.ctx().chains.MapCells[video / v.ctx().chains.ClustersPerCell], kCellFixed);
}

TEST(DirectoryScan, HousekeepingCategoriesCountWholeClusters) {
    REQUIRE_TOOLS();
    ScannedImage v;
    ASSERT_TRUE(v.Format(kFat16KiB, "-F 16 -R 4 -s 8"));  // 4 KiB clusters: 8 sectors
    for (const char* dir : {"::RECYCLED", "::TEMP", "::COOKIES", "::TIF", "::DL"}) ASSERT_TRUE(v.Tool("mmd", dir));
    ASSERT_TRUE(v.Put("::RECYCLED/GONE.TXT", 1) && v.Put("::RECYCLED/HIDDEN.TXT", 1) &&
                v.Tool("mattrib", "+h ::RECYCLED/HIDDEN.TXT"));
    ASSERT_TRUE(v.Put("::TEMP/OLD.TMP", 5000, std::time(nullptr) - 30 * 86400) && v.Put("::TEMP/NEW.TMP", 5000));
    ASSERT_TRUE(v.Put("::COOKIES/ME.TXT", 1) && v.Put("::COOKIES/INDEX.DAT", 1));
    ASSERT_TRUE(v.Put("::TIF/PAGE.HTM", 1) && v.Put("::TIF/INDEX.DAT", 1) && v.Put("::DL/X.OCX", 4097));
    ASSERT_TRUE(v.Scan(-1, [](EngineContext& ctx) {
        ctx.scan.RecyclePath = "C:\\RECYCLED\\";
        ctx.scan.TempPath = "C:\\TEMP\\";
        ctx.scan.CookiesFolder = "C:\\COOKIES\\";
        ctx.scan.InternetCacheFolder = "C:\\TIF\\";
        ctx.scan.DownloadedProgramsFolder = "C:\\DL\\";
    }));
    const ScanState& scan = v.ctx().scan;
    EXPECT_EQ(scan.RecycleSectors, 8);
    EXPECT_EQ(scan.TempFilesSectors, 16);
    EXPECT_EQ(scan.CookiesSectors, 8);
    EXPECT_EQ(scan.InternetTempSectors, 8);
    EXPECT_EQ(scan.DownloadedSectors, 16);
}

}  // namespace
}  // namespace quillo
