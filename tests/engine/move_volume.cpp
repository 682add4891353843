#include "tests/engine/move_volume.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <sstream>
#include <string_view>

#include "analysis/chains.h"
#include "analysis/statistics.h"
#include "common/little_endian.h"
#include "disk/fat_table.h"
#include "disk/volume_geometry.h"
#include "disk/volume_lock.h"
#include "engine/mover.h"

namespace quillo::test {
namespace {

struct KindSpec {
    uint64_t sizeKiB;
    const char* mkfsArgs;
    int32_t clusterBytes;
};

KindSpec SpecOf(FatKind kind) {
    switch (kind) {
        case FatKind::Fat12: return {3072, "-F 12 -s 2", 1024};
        case FatKind::Fat16FourReserved: return {4096, "-F 16 -R 4 -s 1", 512};
        case FatKind::Fat32: return {34000, "-F 32 -s 1", 512};
    }
    return {};
}

// Repeatable file content: a xorshift stream from the seed.
std::vector<uint8_t> Content(size_t bytes, uint64_t seed) {
    std::vector<uint8_t> data(bytes);
    uint64_t x = seed * 0x9E3779B97F4A7C15ull + 1;
    for (uint8_t& b : data) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        b = static_cast<uint8_t>(x >> 24);
    }
    return data;
}

// mtools allocates from the FSInfo hint on FAT32; an unknown hint makes it
// fill the first holes, as it does on FAT12/16.
bool ForgetNextFreeHint(const std::string& image, FatKind kind) {
    if (kind != FatKind::Fat32) return true;
    std::vector<uint8_t> boot = ReadFileBytes(image);
    if (boot.size() < 512) return false;
    const uint32_t fsInfo = le16(&boot[48]);
    std::vector<uint8_t> unknown(4, 0xFF);
    return WriteFileBytes(image, uint64_t{fsInfo} * 512 + 492, unknown);
}

bool Build(FatKind kind, const std::string& dir, MoveVolume& out, std::string& error) {
    const KindSpec spec = SpecOf(kind);
    const std::string image = dir + "/vol.img";
    if (!MakeFatImage(image, spec.sizeKiB, spec.mkfsArgs, &error)) return false;
    const std::string i = " -i " + ShellQuote(image) + " ";
    const int32_t c = spec.clusterBytes;
    uint64_t seed = 1;
    auto put = [&](const std::string& name, size_t bytes) {
        const std::string local = dir + "/f" + std::to_string(seed);
        WriteFileBytes(local, 0, Content(bytes, seed++));
        return RunCommand("mcopy" + i + ShellQuote(local) + " " + ShellQuote("::" + name)) == 0;
    };
    auto run = [&](const std::string& command) { return RunCommand(command) == 0; };
    const bool built =
        run("mmd" + i + "::TREE ::TREE/ONE ::TREE/TWO ::TREE/ONE/DEEP") &&
        put("P1", 2 * c) && put("P2", 2 * c) && put("P3", 3 * c) && put("P4", 2 * c) &&
        put("P5", 2 * c - 1) && put("TREE/ONE/F1.TXT", c + 100) && put("TREE/TWO/F2.BIN", 3 * c - 5) &&
        put("TREE/ONE/DEEP/D.DAT", c / 2) && put("EMPTY.TXT", 0) &&
        run("mdel" + i + "::P2 ::P4") && ForgetNextFreeHint(image, kind) && put("FRAG.BIN", 5 * c + 7) &&
        run("mdel" + i + "::P1") && ForgetNextFreeHint(image, kind) && put("Long report.doc", 3 * c) &&
        run("mdel" + i + "::P5") && ForgetNextFreeHint(image, kind) && put("BIG.DAT", (1 << 20) + 2 * c + 100);
    if (!built) {
        error = "mtools failed building the layout";
        return false;
    }
    const std::string json = FatinspectJson(image, "--list --contents-digest");
    const std::optional<std::string> digest = JsonField(json, "contents_digest");
    const std::optional<std::string> entries = JsonField(json, "entries");
    if (!digest || !entries || JsonNumber(json, "lost_clusters") != 0) {
        error = "fatinspect: " + json;
        return false;
    }
    out.digest = *digest;
    for (size_t k = 0;; ++k) {
        const std::optional<std::string> entry = JsonArrayItem(*entries, k);
        if (!entry) break;
        out.firstCluster[JsonField(*entry, "path").value_or("")] =
            static_cast<uint32_t>(JsonNumber(*entry, "first_cluster").value_or(0));
    }
    out.image = ReadFileBytes(image);
    return true;
}

// Sizes the map as the run driver does before the analysis.
void SizeMap(EngineContext& ctx) {
    ChainState& chains = ctx.chains;
    chains.ClustersPerCell = ctx.geo.TotalClusters / std::max(chains.CellCount, 1) + 1;
    chains.MapCells.assign(static_cast<size_t>(ctx.geo.TotalClusters / chains.ClustersPerCell) + 2,
                           kCellNone);
}

// Whether the chains of table copy `copy` (0 or 1) break a rule: a link
// that leads outside the volume or to a cluster that is free, bad or
// reserved, two links to one cluster, or a circle no head leads into.
// `inspected`: fatinspect's report of the volume before the run.
bool ChainRulesBroken(const std::vector<uint8_t>& image, const std::string& inspected, int copy) {
    const std::string type = test::JsonField(inspected, "fat_type").value_or("");
    const int bits = type == "FAT32" ? 32 : type == "FAT16" ? 16 : 12;
    const int64_t start = (test::JsonNumber(inspected, "reserved_sectors").value_or(0) +
                           copy * test::JsonNumber(inspected, "fat_sectors").value_or(0)) * kSectorSize;
    const int64_t end = test::JsonNumber(inspected, "total_clusters").value_or(0) + 2;
    if (start == 0 || image.size() < static_cast<size_t>(start + end * bits / 8 + 2)) return true;
    const uint8_t* table = &image[static_cast<size_t>(start)];
    const uint32_t endOfChain = bits == 12 ? 0xFF8 : bits == 16 ? 0xFFF8 : 0x0FFFFFF8;
    auto entry = [&](int64_t c) -> uint32_t {
        if (bits == 32) return le32(table + c * 4) & 0x0FFFFFFF;
        if (bits == 16) return le16(table + c * 2);
        const uint32_t word = le16(table + c * 3 / 2);
        return (c & 1) ? word >> 4 : word & 0xFFF;
    };
    const uint32_t bad = endOfChain - 1;
    auto isLink = [&](uint32_t v) { return v >= 2 && v < end; };
    std::vector<bool> hasPredecessor(static_cast<size_t>(end), false);
    int64_t used = 0;  // clusters holding a link or an end-of-chain mark
    for (int64_t c = 2; c < end; ++c) {
        const uint32_t next = entry(c);
        if (next == 0 || next == bad) continue;
        ++used;
        if (next >= endOfChain) continue;
        if (!isLink(next)) return true;  // past the volume, or reserved
        const uint32_t after = entry(next);
        if (after == 0 || after == bad || hasPredecessor[next]) return true;
        hasPredecessor[next] = true;
    }
    int64_t reached = 0;
    for (int64_t c = 2; c < end; ++c) {
        const uint32_t v = entry(static_cast<uint32_t>(c));
        if (hasPredecessor[c] || v == 0 || v == bad) continue;
        for (uint32_t n = static_cast<uint32_t>(c); reached <= used; n = entry(n)) {
            ++reached;
            if (!isLink(entry(n))) break;
        }
    }
    return reached != used;
}

bool StartsWith(const std::string& text, std::string_view head) {
    return text.compare(0, head.size(), head) == 0;
}

}  // namespace

std::string FatKindName(FatKind kind) {
    switch (kind) {
        case FatKind::Fat12: return "FAT12";
        case FatKind::Fat16FourReserved: return "FAT16 with 4 reserved sectors";
        case FatKind::Fat32: return "FAT32";
    }
    return "";
}

const MoveVolume& BuiltVolume(FatKind kind) {
    static std::map<FatKind, MoveVolume> built;
    auto it = built.find(kind);
    if (it != built.end()) return it->second;
    MoveVolume& volume = built[kind];
    TempDir dir;
    std::string error;
    if (!Build(kind, dir.path(), volume, error)) {
        ADD_FAILURE() << FatKindName(kind) << ": " << error;
        volume = MoveVolume{};
    }
    return volume;
}

OpenedDrive::OpenedDrive(const std::vector<uint8_t>& image, bool background,
                         uint64_t crashAfterWrite, uint64_t failWrite)
    : drive(image) {
    EngineContext& c = drive.ctx;
    c.run.RunMode = 1;
    c.run.ScanFiles = true;
    c.run.DriveMenuIndex = 1;
    c.options.Background = background;
    if (!AcquireVolume(c) || !OpenVolume(c)) return;
    if (!c.dev.Level0Held) {
        // As the run driver does: read the table at level 3, and watch for
        // files that other programs hold.
        c.run.DetectBusy = true;
        if (!EnterWriteLock(c, false)) return;
        c.run.RestartNeeded = false;
    }
    const bool read = ReadFat(c);
    if (!c.dev.Level0Held) YieldWriteLock(c);
    if (!read || CheckFatHead(c)) return;
    CheckCrossLinks(c);
    if (c.run.StopRequested) return;
    SizeMap(c);
    AnalyseVolume(c);
    if (c.run.StopRequested) return;
    c.run.DefragPhase = true;
    c.defrag.PendingFragmentedCount = c.chains.FragmentedFiles - c.scan.LeftFragmentedCount;
    drive.device.ResetCounters();
    drive.device.ClearRecord();
    if (crashAfterWrite != 0) drive.device.CrashAfterWrite(crashAfterWrite);
    if (failWrite != 0) drive.device.FailWrite(failWrite);
    ok = true;
}

int32_t OpenedDrive::RecordAt(uint32_t cluster) const {
    const ScanState& scan = drive.ctx.scan;
    for (int32_t r = 1; r <= scan.RecordCount; ++r)
        if (scan.FileRecords[r].FirstCluster == cluster) return r;
    return 0;
}

int32_t FirstFitGap(const EngineContext& ctx, int32_t clusters) {
    const ChainState& chains = ctx.chains;
    for (int32_t g = std::max(chains.GapCursor, 1); g <= chains.GapCount; ++g)
        if (chains.GapLength[g] >= clusters) return g;
    return 0;
}

int32_t ChainClusters(EngineContext& ctx, int32_t record) {
    RunList runs;
    return FAT_Frag(ctx, ctx.scan.FileRecords[record].FirstCluster, runs);
}

const std::vector<std::string>& ScenarioMoves() {
    static const std::vector<std::string> moves = {"/FRAG.BIN", "/TREE", "/Long report.doc", "/P3",
                                                   "/BIG.DAT", "/TREE/ONE"};
    return moves;
}

int RunScenario(OpenedDrive& opened, const MoveVolume& volume) {
    int moved = 0;
    EngineContext& ctx = opened.ctx();
    std::vector<int32_t> records;
    for (const std::string& path : ScenarioMoves()) {
        auto it = volume.firstCluster.find(path);
        records.push_back(it == volume.firstCluster.end() ? 0 : opened.RecordAt(it->second));
    }
    for (int32_t record : records) {
        if (ctx.run.StopRequested || record == 0) break;
        int32_t gap = FirstFitGap(ctx, ChainClusters(ctx, record));
        if (gap == 0 || !MoveFile(ctx, record, gap)) break;
        ++moved;
    }
    return moved;
}

Verdict Judge(const std::vector<uint8_t>& image, const std::string& scratchFile) {
    Verdict v;
    std::remove(scratchFile.c_str());
    WriteFileBytes(scratchFile, 0, image);

    v.fsckStatus = RunCommand("PATH=\"$PATH:/sbin:/usr/sbin\" LC_ALL=C fsck.fat -n " +
                                  ShellQuote(scratchFile),
                              &v.fsckOutput);
    std::istringstream lines(v.fsckOutput);
    std::string line, previous;
    while (std::getline(lines, line)) {
        const bool known =
            line.empty() || StartsWith(line, "fsck.fat ") || line == "Leaving filesystem unchanged." ||
            StartsWith(line, scratchFile + ": ");
        if (StartsWith(line, "Reclaimed ") && line.find(" unused cluster") != std::string::npos) {
            v.lostClusters = true;
        } else if (line == "FATs differ but appear to be intact." || line == "  Using first FAT.") {
            v.fatCopiesDiffer = true;
        } else if (line == "  Invalid '..' entry in the second slot. Fixing.") {
            v.staleDotDot.insert(previous);
        } else if (!known && !(StartsWith(line, "/") && line.find(' ') == std::string::npos)) {
            v.problems.push_back("fsck.fat: " + line);
        }
        previous = line;
    }
    if (v.fsckStatus != 0 && v.fsckStatus != 1) v.problems.push_back("fsck.fat status " + std::to_string(v.fsckStatus));

    // Without the site packages python starts in half the time; fatinspect
    // needs only the standard library.
    std::string json;
    RunCommand("{ python3 -S " + ShellQuote(std::string(QUILLO_TOOLS_DIR) + "/fatcheck") + " " +
                   ShellQuote(scratchFile) + " --json --contents-digest 2>/dev/null; }",
               &json);
    v.digest = JsonField(json, "contents_digest").value_or("");
    const std::string errors = JsonField(json, "errors").value_or("[]");
    for (size_t k = 0;; ++k) {
        const std::optional<std::string> error = JsonArrayItem(errors, k);
        if (!error) break;
        const size_t dotDot = error->find(": '..' points to cluster ");
        if (StartsWith(*error, "FAT copies 1 and 2 differ")) {
            v.fatCopiesDiffer = true;
        } else if (dotDot != std::string::npos) {
            v.staleDotDot.insert(error->substr(0, dotDot));
        } else {
            v.problems.push_back("fatinspect: " + *error);
        }
    }
    return v;
}

const Verdict& JudgeCache::Of(const std::vector<uint8_t>& image) {
    const std::string_view bytes(reinterpret_cast<const char*>(image.data()), image.size());
    // Two independent hashes: a collision would hide a damaged image.
    uint64_t fnv = 1469598103934665603ull;
    for (unsigned char b : bytes) fnv = (fnv ^ b) * 1099511628211ull;
    const std::pair<uint64_t, uint64_t> key{std::hash<std::string_view>{}(bytes), fnv};
    auto it = verdicts_.find(key);
    if (it == verdicts_.end()) it = verdicts_.emplace(key, Judge(image, scratch_)).first;
    return it->second;
}

std::string Complaint(const Verdict& verdict, const std::string& digest, bool allowDotDotWindow) {
    std::string text;
    if (verdict.digest != digest) text += "contents digest " + verdict.digest + " != " + digest + "; ";
    for (const std::string& p : verdict.problems) text += p + "; ";
    // Subfolders whose ".." a move of `ScenarioMoves` rewrites.
    static const std::set<std::string> dotDotWindow = {"/TREE/ONE", "/TREE/TWO", "/TREE/ONE/DEEP"};
    for (const std::string& path : verdict.staleDotDot)
        if (!allowDotDotWindow || !dotDotWindow.count(path)) text += "stale '..' in " + path + "; ";
    if (!text.empty()) text += "fsck said: " + verdict.fsckOutput;
    return text;
}

std::string TableComplaint(const std::vector<uint8_t>& image, const std::string& inspected) {
    const bool first = !ChainRulesBroken(image, inspected, 0);
    const bool second = !ChainRulesBroken(image, inspected, 1);
    if (test::JsonField(inspected, "fat_type") == "FAT12") return first || second ? "" : "both table copies broken; ";
    return std::string(first ? "" : "first table copy broken; ") + (second ? "" : "second table copy broken; ");
}

std::vector<uint8_t> WithSecondCopyFirst(std::vector<uint8_t> image, const std::string& inspected) {
    const int64_t tableBytes = test::JsonNumber(inspected, "fat_sectors").value_or(0) * kSectorSize;
    const int64_t first = test::JsonNumber(inspected, "reserved_sectors").value_or(0) * kSectorSize;
    if (tableBytes > 0 && image.size() >= static_cast<size_t>(first + 2 * tableBytes))
        std::copy_n(image.begin() + first + tableBytes, tableBytes, image.begin() + first);
    return image;
}

}  // namespace quillo::test
