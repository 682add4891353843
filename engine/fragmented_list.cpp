#include "engine/fragmented_list.h"

#include <optional>

#include "common/engine_context.h"
#include "engine/volume_folders.h"

namespace quillo {

FillEnd FragmentedListSource::Fill(ListSink& sink) {
    const std::vector<RunLists::FragmentedItem>& items = env_.ctx.lists.Fragmented;
    if (items.empty()) return {};
    // The rows hold 8.3 paths; their long form comes from the volume itself.
    // A path the volume no longer holds is shown as it was found.
    std::optional<VolumeLook> look;
    if (!items.front().line.empty()) look.emplace(env_.ctx, items.front().line[0]);
    for (const RunLists::FragmentedItem& item : items) {
        const size_t tab = item.line.find('\t');
        const std::string shortPath = item.line.substr(0, tab);
        const std::string rest = tab == std::string::npos ? "" : item.line.substr(tab + 1);
        std::string longPath = shortPath;
        if (look && look->ok())
            if (const std::optional<FoundEntry> found = FindVolumeEntry(look->ctx(), shortPath))
                longPath = found->longPath;
        const size_t sizeTab = rest.find('\t');
        ListRow row;
        row.text = longPath + (item.isFolder ? " (folder)" : "") + rest;
        row.isFolder = item.isFolder;
        row.key = longPath;
        row.fields = {{"path", longPath},
                      {"folder", item.isFolder},
                      {"note", rest.substr(0, sizeTab)},
                      {"size", sizeTab == std::string::npos ? std::string() : rest.substr(sizeTab + 1)}};
        if (!sink.AddRow(std::move(row))) break;
    }
    return {};
}

RowTarget FragmentedListSource::Target(const ListRow& row) const {
    return {RowTarget::Kind::VolumeFile, row.key};
}

}  // namespace quillo
