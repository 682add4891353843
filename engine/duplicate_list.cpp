#include "engine/duplicate_list.h"

#include "engine/duplicate_scan.h"
#include "engine/volume_file_delete.h"
#include "platform/config_paths.h"

namespace quillo {

FillEnd DuplicateListSource::Fill(ListSink& sink) {
    DuplicateScan scan(env_.ctx, sink);
    scan_ = &scan;
    const FillEnd end = scan.Run();
    scan_ = nullptr;
    errorStop_ = end.errorStop;
    return end;
}

RowTarget DuplicateListSource::Target(const ListRow& row) const {
    return {RowTarget::Kind::VolumeFile, row.key};
}

bool DuplicateListSource::HoldsVolume() const { return scan_ != nullptr && scan_->HoldsVolume(); }

DeleteOutcome DuplicateListSource::Delete(const std::vector<ListRow>& selected) {
    DeleteOutcome outcome;
    if (errorStop_) return outcome;
    int deleted = 0;
    for (auto row = selected.rbegin(); row != selected.rend(); ++row) {
        if (row->key.size() < 2) continue;
        const char letter = row->key[0];
        const std::string folder = env_.restoreFolder ? env_.restoreFolder(letter)
                                                      : HomeFolder() + "/" + std::string(1, letter);
        if (DeleteVolumeFile(env_.ctx, row->key, RestorePathFor(folder, row->key)) != VolumeDeleteResult::Deleted)
            continue;
        outcome.removedKeys.push_back(row->key);
        ++deleted;
    }
    outcome.message = deleted == 0 ? kFilesNotDeleted : std::to_string(deleted) + " files deleted.";
    return outcome;
}

}  // namespace quillo
