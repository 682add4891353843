#include "engine/temp_list.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cstring>

#include "platform/open_files.h"
#include "platform/trash.h"

namespace quillo {
namespace {

constexpr int kOldFileDays = 7;
constexpr int kRowsPerYield = 64;

// Whether the folder holds anything but folders of its own file system;
// a folder that cannot be read counts as holding something.
bool HoldsFile(const std::string& path) {
    struct stat self {};
    if (::lstat(path.c_str(), &self) != 0) return true;
    DIR* dir = ::opendir(path.c_str());
    if (dir == nullptr) return true;
    bool holds = false;
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        struct stat st {};
        if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(st.st_mode) ||
            st.st_dev != self.st_dev) {
            holds = true;
            break;
        }
    }
    ::closedir(dir);
    return holds;
}

}  // namespace

std::string ShortDate(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    char text[64];
    return std::strftime(text, sizeof text, "%x", &local) > 0 ? std::string(text) : std::string();
}

int DaysBeforeToday(std::time_t when) {
    auto dayNumber = [](std::time_t t) {
        std::tm local{};
        localtime_r(&t, &local);
        local.tm_hour = 12;  // noon: away from daylight-saving jumps
        local.tm_min = local.tm_sec = 0;
        local.tm_isdst = -1;
        return static_cast<long>(std::mktime(&local) / 86400);
    };
    return static_cast<int>(dayNumber(std::time(nullptr)) - dayNumber(when));
}

FolderListSource::FolderListSource(ListEnvironment& env, std::string folder)
    : ListSource(env), folder_(std::move(folder)) {}

FillEnd FolderListSource::Fill(ListSink& sink) {
    listed_.clear();
    folders_.clear();
    if (folder_.empty()) return {};
    const OpenFileSet busy = OpenFileSet::Scan();
    FillEnd end;
    TempWalkVisitor visitor;
    visitor.file = [&](const WalkedFile& file) {
        listed_[file.relative] = file.identity;
        const std::string date = ShortDate(file.modified);
        ListRow row{file.relative + "\t" + date, false, file.relative, {{"path", file.relative}, {"date", date}}};
        if (!sink.AddRow(std::move(row))) return false;
        if (sink.RowCount() % kRowsPerYield == 0 && !sink.KeepGoing()) end.stopped = true;
        return !end.stopped;
    };
    visitor.folder = [&](const WalkedFolder& folder) {
        folders_.push_back(folder);
        sink.AddAuxiliaryRow(folder.path);
    };
    const std::string root = folder_.size() > 1 && folder_.back() == '/' ? folder_.substr(0, folder_.size() - 1) : folder_;
    WalkTempFolder(root, busy, visitor);
    return end;
}

RowTarget FolderListSource::Target(const ListRow& row) const {
    return {RowTarget::Kind::HostFile, folder_ + row.key};
}

DeleteOutcome FolderListSource::Delete(const std::vector<ListRow>& selected) {
    const OpenFileSet busy = OpenFileSet::Scan();
    std::vector<TrashRequest> requests;
    for (const ListRow& row : selected) {
        const auto listed = listed_.find(row.key);
        if (listed == listed_.end()) continue;
        const std::string path = folder_ + row.key;
        struct stat st {};
        // Replaced since it was listed: not the file the user chose.
        if (::lstat(path.c_str(), &st) != 0 || !(IdentityOf(st) == listed->second)) continue;
        // A file we cannot open for writing goes only when it is old.
        const bool opens = OwnFileOpens(path, false) ||
                           (DaysBeforeToday(st.st_mtime) >= kOldFileDays && OwnFileOpens(path, true));
        if (!opens || busy.Contains(listed->second)) continue;
        requests.push_back({path, listed->second});
    }
    int moved = 0;
    for (const TrashOutcome& outcome : MoveToTrash(requests)) moved += outcome.moved ? 1 : 0;
    RemoveEmptyFolders();
    DeleteOutcome outcome;
    outcome.rebuild = true;
    if (moved == 0) outcome.message = kFilesNotDeleted;
    return outcome;
}

void FolderListSource::RemoveEmptyFolders() {
    std::vector<bool> candidate(folders_.size(), true);
    for (size_t i = folders_.size(); i-- > 0;) {
        if (!HoldsFile(folders_[i].path)) continue;
        // Keep it and every folder above it, each found at or before it.
        candidate[i] = false;
        std::string ancestor = folders_[i].path;
        size_t from = i;
        for (size_t slash; (slash = ancestor.find_last_of('/')) != std::string::npos && slash > 0;) {
            ancestor.resize(slash);
            for (size_t j = from + 1; j-- > 0;) {
                if (folders_[j].path == ancestor) {
                    candidate[j] = false;
                    from = j;
                    break;
                }
            }
        }
    }
    std::vector<TrashRequest> requests;
    for (size_t i = folders_.size(); i-- > 0;)
        if (candidate[i]) requests.push_back({folders_[i].path, folders_[i].identity});
    MoveToTrash(requests);
}

}  // namespace quillo
