#pragma once
// Real FAT volumes for the mover's tests: a repeatable layout with fragmented
// files and nested folders, opened and analysed on a scripted device as a
// Defragment run does it, a fixed list of moves, and the outside checkers'
// verdict on any image the moves leave behind.
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "tests/support/engine_fixture.h"
#include "tests/support/test_images.h"

namespace quillo::test {

enum class FatKind { Fat12, Fat16FourReserved, Fat32 };

// One way the scripted device comes back after a power cut, for the sweeps.
struct Reboot {
    RebootMode mode;
    uint64_t seed;
    const char* name;
};
std::string FatKindName(FatKind kind);

// The layout (C = cluster size): folders TREE, TREE/ONE, TREE/TWO,
// TREE/ONE/DEEP with a file in each leaf; P1..P5 in the root, P2 and P4
// deleted so that FRAG.BIN (6 clusters) lies in three runs; P1 deleted so
// that "Long report.doc" (3 clusters) lies in two; P5 deleted so that
// BIG.DAT (over 1 MiB, more than one copy buffer) lies in two; EMPTY.TXT of
// 0 bytes.
struct MoveVolume {
    std::vector<uint8_t> image;
    std::string digest;                          // fatinspect --contents-digest
    std::map<std::string, uint32_t> firstCluster;  // path -> first cluster
};
// Built once per kind and kept for the process; empty image on failure.
const MoveVolume& BuiltVolume(FatKind kind);

// A scripted drive over an image, opened and analysed as a Defragment pass
// does before its defragment phase. `background` takes level 1 instead of
// the exclusive lock, so moves climb and recheck.
struct OpenedDrive {
    explicit OpenedDrive(const std::vector<uint8_t>& image, bool background = false,
                         uint64_t crashAfterWrite = 0, uint64_t failWrite = 0);
    bool ok = false;
    testing::ScriptedDrive drive;
    EngineContext& ctx() { return drive.ctx; }
    ScriptedDevice& device() { return drive.device; }
    // The record whose file starts (started, at the analysis) at `cluster`.
    int32_t RecordAt(uint32_t cluster) const;
};

// The first gap from GapCursor that holds `clusters` clusters; 0 if none.
int32_t FirstFitGap(const EngineContext& ctx, int32_t clusters);
// Clusters of the record's chain as the table says now.
int32_t ChainClusters(EngineContext& ctx, int32_t record);

// The moves every scenario makes, in order, by path: a fragmented file out
// of the way, a folder with subfolders into the space it freed, another
// fragmented file, a contiguous one, a big one, and a subfolder of the
// moved folder.
const std::vector<std::string>& ScenarioMoves();

// Moves each scenario path into the first gap that fits, until a move fails
// or the run stops; returns the moves made.
int RunScenario(OpenedDrive& opened, const MoveVolume& volume);

// What fsck.fat -n and fatinspect say about an image.
struct Verdict {
    std::string digest;
    int fsckStatus = -1;
    bool lostClusters = false;      // reclaimed by fsck
    bool fatCopiesDiffer = false;
    std::set<std::string> staleDotDot;     // subfolders whose ".." names another cluster
    std::vector<std::string> problems;     // anything else either checker said
    std::string fsckOutput;
};
Verdict Judge(const std::vector<uint8_t>& image, const std::string& scratchFile);

// The same verdicts for many images, each distinct image checked once.
class JudgeCache {
public:
    explicit JudgeCache(std::string scratchFile) : scratch_(std::move(scratchFile)) {}
    const Verdict& Of(const std::vector<uint8_t>& image);
    size_t Distinct() const { return verdicts_.size(); }

private:
    std::string scratch_;
    std::map<std::pair<uint64_t, uint64_t>, Verdict> verdicts_;
};

// Empty when the allocation tables of an image a power cut left keep their
// chains well formed: each copy of a FAT16 or FAT32 table; of FAT12's two
// copies, written one at a time, one at least. `inspected`: fatinspect's
// report of the volume (its geometry).
std::string TableComplaint(const std::vector<uint8_t>& image, const std::string& inspected);

// The image with its second table copy written over the first: the volume as
// a run that adopts the second copy sees it.
std::vector<uint8_t> WithSecondCopyFirst(std::vector<uint8_t> image, const std::string& inspected);

// Empty when the image keeps every file's content and the checkers report
// nothing but lost clusters, differing table copies and, where
// `allowDotDotWindow`, stale ".." entries of the scenario's subfolders.
std::string Complaint(const Verdict& verdict, const std::string& digest, bool allowDotDotWindow);

}  // namespace quillo::test
