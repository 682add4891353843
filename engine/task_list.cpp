#include "engine/task_list.h"

#include "platform/process_list.h"

namespace quillo {

FillEnd TaskListSource::Fill(ListSink& sink) {
    for (const std::string& path : RunningExecutables(procRoot_))
        if (!sink.AddRow(ListRow{path, false, path, {{"path", path}}})) break;
    return {};
}

RowTarget TaskListSource::Target(const ListRow& row) const {
    // A kernel thread's "[name]" is no file.
    if (row.key.empty() || row.key[0] != '/') return {};
    return {RowTarget::Kind::HostFile, row.key};
}

}  // namespace quillo
