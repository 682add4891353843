#include "platform/temp_walk.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/open_files.h"
#include "platform/trash.h"

namespace quillo {
namespace {

// Opens `path` without following a link and without blocking on a pipe.
int OpenPlain(const std::string& path, int mode) {
    return ::open(path.c_str(), mode | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
}

struct Walk {
    std::string root;
    dev_t device = 0;
    const OpenFileSet& busy;
    const TempWalkVisitor& visitor;
    std::vector<FileIdentity> trashFolders;

    bool IsTrashFolder(const FileIdentity& id) const {
        return std::find(trashFolders.begin(), trashFolders.end(), id) != trashFolders.end();
    }

    // `relative` is "" for the root, else "sub/folder/".
    bool Folder(const std::string& relative, const FileIdentity& expected) {
        // No trailing slash: it would make the open follow a link.
        const std::string path = relative.empty() ? root : root + "/" + relative.substr(0, relative.size() - 1);
        // The root may be a link (TMPDIR pointing elsewhere); nothing below it is followed.
        const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | (relative.empty() ? 0 : O_NOFOLLOW));
        if (fd < 0) return true;
        struct stat self {};
        // The folder may have been swapped for another since it was listed.
        if (::fstat(fd, &self) != 0 || !(IdentityOf(self) == expected)) {
            ::close(fd);
            return true;
        }
        DIR* dir = ::fdopendir(fd);
        if (dir == nullptr) {
            ::close(fd);
            return true;
        }
        std::vector<std::string> names;
        while (const dirent* entry = ::readdir(dir))
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                names.emplace_back(entry->d_name);
        std::sort(names.begin(), names.end());

        std::vector<std::pair<std::string, FileIdentity>> subfolders;
        bool going = true;
        for (const std::string& name : names) {
            struct stat st {};
            if (::fstatat(::dirfd(dir), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
            const FileIdentity id = IdentityOf(st);
            if (S_ISDIR(st.st_mode)) {
                if (st.st_dev != device || IsTrashFolder(id)) continue;
                subfolders.emplace_back(relative + name + "/", id);
                if (visitor.folder) visitor.folder({root + "/" + relative + name, id});
            } else if ((S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) && Listable(dir, name, st)) {
                if (!visitor.file({relative + name, st.st_mtime, id})) {
                    going = false;
                    break;
                }
            }
        }
        ::closedir(dir);
        for (const auto& [sub, id] : subfolders) {
            if (!going) break;
            going = Folder(sub, id);
        }
        return going;
    }

    bool Listable(DIR* dir, const std::string& name, const struct stat& st) const {
        if (st.st_uid != ::geteuid() || busy.Contains(IdentityOf(st))) return false;
        if (S_ISLNK(st.st_mode)) return true;
        const int fd = ::openat(::dirfd(dir), name.c_str(),
                                O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) return false;
        ::close(fd);
        return true;
    }
};

}  // namespace

bool WalkTempFolder(const std::string& folder, const OpenFileSet& busy, const TempWalkVisitor& visitor) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return true;
    Walk walk{folder, st.st_dev, busy, visitor, TrashFolderIdentities(folder)};
    return walk.Folder("", IdentityOf(st));
}

bool OwnFileOpens(const std::string& path, bool readOnlyWillDo) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || st.st_uid != ::geteuid()) return false;
    if (S_ISLNK(st.st_mode)) return true;
    if (!S_ISREG(st.st_mode)) return false;
    // Without its owner's write bit a file is read-only, whatever root may
    // do: it opens for writing only in name.
    int fd = (st.st_mode & S_IWUSR) != 0 ? OpenPlain(path, O_RDWR) : -1;
    if (fd < 0 && readOnlyWillDo) fd = OpenPlain(path, O_RDONLY);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

}  // namespace quillo
