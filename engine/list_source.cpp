#include "engine/list_source.h"

#include <algorithm>

#include "engine/duplicate_list.h"
#include "engine/fragmented_list.h"
#include "engine/internet_list.h"
#include "engine/task_list.h"
#include "engine/temp_list.h"

namespace quillo {
namespace {

char Folded(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Captions and help contexts as the window shows them.
constexpr ListKind kListKinds[] = {
    // keyword, caption, help, open, delete, properties, select, count, partial
    {"Cookies", "Cookies", 500, false, true, false, true, true, false},
    {"Duplicates", "Duplicate file names", 990, true, true, true, true, false, true},
    {"Frags", "Fragmented files", 670, false, false, true, false, false, true},
    {"TaskList", "Task list", 970, false, false, true, false, false, true},
    {"TempInternet", "Internet temporary files", 1020, true, true, true, true, true, true},
    {"Temps", "Temporary files", 550, true, true, true, true, true, true},
    {"URLcache", "URL cache", 860, true, true, false, true, true, false},
};

}  // namespace

const char* const kRowLimitMessage =
    "The number of list items exceeds the\n"
    "displayable limit of 32766 files. A\n"
    "partial list will be displayed.";

const char* const kFilesNotDeleted = "Some files could not be deleted.";

bool RowTextLess(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(Folded(x)) < static_cast<unsigned char>(Folded(y));
    });
}

void SortRows(std::vector<ListRow>& rows) {
    std::stable_sort(rows.begin(), rows.end(),
                     [](const ListRow& a, const ListRow& b) { return RowTextLess(a.text, b.text); });
}

bool ListSink::AddRow(ListRow row) {
    if (rows_ >= kRowLimit) {
        if (!limitReached_) {
            limitReached_ = true;
            ShowLimitMessage();
        }
        return false;
    }
    ++rows_;
    AppendRow(std::move(row));
    return true;
}

const ListKind* FindListKind(const std::string& keyword) {
    for (const ListKind& kind : kListKinds)
        if (keyword == kind.keyword) return &kind;
    return nullptr;
}

std::unique_ptr<ListSource> MakeListSource(const std::string& keyword, ListEnvironment& env) {
    if (keyword == "Temps") return std::make_unique<FolderListSource>(env, env.tempPath);
    if (keyword == "TempInternet") return std::make_unique<FolderListSource>(env, env.internetCacheFolder);
    if (keyword == "URLcache") return std::make_unique<InternetCacheSource>(env, "http:");
    if (keyword == "Cookies") return std::make_unique<InternetCacheSource>(env, "Cookie:");
    if (keyword == "Duplicates") return std::make_unique<DuplicateListSource>(env);
    if (keyword == "Frags") return std::make_unique<FragmentedListSource>(env);
    if (keyword == "TaskList") return std::make_unique<TaskListSource>(env);
    return nullptr;
}

}  // namespace quillo
