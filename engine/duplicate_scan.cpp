#include "engine/duplicate_scan.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

#include "common/engine_context.h"
#include "disk/drive_menu.h"
#include "engine/volume_folders.h"

namespace quillo {
namespace {

constexpr uint8_t kSkippedAttributes = kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrVolumeLabel;
constexpr size_t kFirstRecords = 10000;
constexpr int kFoldersPerYield = 64;
// No real tree comes near this; deeper is a damaged volume, not recursed into.
constexpr int kMaxDepth = 1000;
constexpr int kLastProgressStep = 99;

std::string SizeInKilobytes(uint32_t size) { return std::to_string((int64_t{size} + 1023) / 1024); }

}  // namespace

// The scan's own engine view: every yield lets the front end's window run,
// and a stop asked for there stops the engine's loops too.
class DuplicateScan::SinkView final : public QuietView {
public:
    explicit SinkView(ListSink& sink) : sink_(sink) {}
    void Yield() override {
        if (!sink_.KeepGoing()) stopped = true;
        if (stopped && run != nullptr) run->StopRequested = true;
    }
    bool stopped = false;
    RunState* run = nullptr;

private:
    ListSink& sink_;
};

DuplicateScan::DuplicateScan(EngineContext& front, ListSink& sink)
    : front_(front), sink_(sink), view_(std::make_unique<SinkView>(sink)) {}

DuplicateScan::~DuplicateScan() = default;

FillEnd DuplicateScan::Run() {
    records_.reserve(kFirstRecords);
    sink_.SetProgress(0);
    bool going = true;
    if (front_.driveMenu != nullptr) {
        for (int i = 1; i < DriveMenu::kItemCount && going; ++i) {
            if (!front_.driveMenu->items[i].visible) continue;
            going = ScanDrive(DriveLetterForMenuIndex(i));
            if (going) {
                Advance();
                going = !view_->stopped;
            }
        }
    }
    if (view_->stopped) end_.stopped = true;
    if (going && !end_.stopped) Compare();
    if (view_->stopped) end_.stopped = true;
    sink_.SetProgress(100);
    return end_;
}

bool DuplicateScan::ScanDrive(char letter) {
    const std::string drive = std::string(1, letter) + ":";
    onDrive_ = true;
    VolumeLook look(front_, letter, -1, view_.get());
    view_->run = &look.ctx().run;
    if (!look.ok()) {
        view_->run = nullptr;
        onDrive_ = false;
        if (view_->stopped) return false;
        return sink_.ContinueAfterError(drive);
    }
    EngineContext& ctx = look.ctx();
    std::vector<uint8_t> seen(static_cast<size_t>(ctx.geo.MaxCluster) + 1, 0);
    if (RootFolderCluster(ctx) < seen.size()) seen[RootFolderCluster(ctx)] = 1;
    folderPaths_.push_back(drive + "\\");
    WalkFolder(ctx, RootFolderCluster(ctx), static_cast<int32_t>(folderPaths_.size()) - 1, 0, seen);
    const bool failed = ctx.run.ErrorStop != 0;
    if (failed || view_->stopped) {
        end_.stopped = true;
        end_.errorStop = failed;
        end_.errorMessage = ctx.run.ErrorMessage;
    }
    look.Release();
    onDrive_ = false;
    view_->run = nullptr;
    return !end_.stopped;
}

void DuplicateScan::WalkFolder(EngineContext& ctx, uint32_t cluster, int32_t folder, int depth,
                               std::vector<uint8_t>& seen) {
    std::vector<VolumeEntry> entries;
    if (!ReadVolumeFolder(ctx, cluster, entries)) return;
    std::vector<const VolumeEntry*> subfolders;
    for (const VolumeEntry& e : entries) {
        if ((e.attributes & kSkippedAttributes) != 0) continue;
        if (e.firstCluster < 2 || e.firstCluster > static_cast<uint32_t>(ctx.geo.MaxCluster)) continue;
        if ((e.attributes & kAttrFolder) != 0) {
            subfolders.push_back(&e);
            continue;
        }
        records_.push_back({e.writeDate, e.size, folder});
        const uint8_t first = e.shortName.empty() ? 0 : static_cast<uint8_t>(e.shortName[0]);
        const uint16_t key = static_cast<uint16_t>(std::min<size_t>(e.longName.size(), UINT16_MAX));
        buckets_[first & 31].push_back({e.longName, key, static_cast<int32_t>(records_.size()) - 1});
    }
    for (const VolumeEntry* sub : subfolders) {
        if (ctx.run.StopRequested || view_->stopped) return;
        // A folder reached twice is a loop in a damaged tree: walked once.
        if (seen[sub->firstCluster] != 0 || depth + 1 > kMaxDepth) continue;
        seen[sub->firstCluster] = 1;
        folderPaths_.push_back(JoinVolumePath(folderPaths_[folder], sub->longName));
        WalkFolder(ctx, sub->firstCluster, static_cast<int32_t>(folderPaths_.size()) - 1, depth + 1, seen);
        if (folderPaths_.size() % kFoldersPerYield == 0) ctx.view.Yield();
    }
}

// Slot by slot, in each bucket's order: the first slot of a name that a
// later slot bears too is listed with every later slot of that name, in
// their order. The later slots of each name are found through an index of
// the bucket by name, so a bucket costs one pass, not one pass per slot.
bool DuplicateScan::Compare() {
    const int stepsLeft = kLastProgressStep - progress_;
    const size_t per = stepsLeft > 0 ? records_.size() / static_cast<size_t>(stepsLeft) : 0;
    size_t counted = 0;
    for (std::vector<Slot>& slots : buckets_) {
        std::unordered_map<std::string_view, std::vector<uint32_t>> byName;
        for (uint32_t i = 0; i < slots.size(); ++i) byName[slots[i].longName].push_back(i);
        for (size_t i = 0; i < slots.size(); ++i) {
            if (slots[i].key != 0) {
                const std::vector<uint32_t>& same = byName[slots[i].longName];
                if (same.size() > 1) {
                    for (uint32_t k : same) {
                        if (slots[k].key == 0) continue;
                        if (!AddRowFor(slots[k])) return false;
                        slots[k].key = 0;
                    }
                }
            }
            if (per > 0 && ++counted == per) {
                counted = 0;
                Advance();
                if (view_->stopped) return false;
            }
        }
    }
    return true;
}

bool DuplicateScan::AddRowFor(const Slot& slot) {
    const Record& record = records_[static_cast<size_t>(slot.record)];
    const std::string& folder = folderPaths_[static_cast<size_t>(record.folder)];
    const std::string date = DosDateText(record.writeDate);
    const std::string kilobytes = SizeInKilobytes(record.size);
    ListRow row;
    row.text = slot.longName + "\t" + date + "  " + kilobytes + "KB \t" + folder;
    row.key = JoinVolumePath(folder, slot.longName);
    row.fields = {{"name", slot.longName},
                  {"date", date},
                  {"size_kb", static_cast<int64_t>(std::stoll(kilobytes))},
                  {"folder", folder}};
    return sink_.AddRow(std::move(row));
}

void DuplicateScan::Advance() {
    progress_ = std::min(progress_ + 1, kLastProgressStep);
    sink_.SetProgress(progress_);
    if (!sink_.KeepGoing()) view_->stopped = true;
}

}  // namespace quillo
