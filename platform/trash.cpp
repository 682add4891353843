#include "platform/trash.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <sstream>

#include "platform/config_paths.h"

namespace quillo {
namespace {

constexpr mode_t kPrivateFolder = 0700;
constexpr size_t kMaxNameBytes = 255;
constexpr char kInfoSuffix[] = ".trashinfo";

// A descriptor closed when it goes out of scope.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { Reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    Fd(Fd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            Reset();
            fd_ = other.fd_;
            other.fd_ = -1;
        }
        return *this;
    }
    int get() const { return fd_; }
    bool ok() const { return fd_ >= 0; }
    void Reset() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
};

// Tells the probe a step is done; true, so it chains with the steps.
bool Reached(const TrashProbe& probe, TrashStep step) {
    if (probe) probe(step);
    return true;
}

std::string ParentOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string CanonicalFolder(const std::string& folder) {
    char resolved[PATH_MAX];
    return ::realpath(folder.c_str(), resolved) != nullptr ? std::string(resolved) : std::string();
}

// A folder that is ours alone: created (mode 0700) when missing, and then
// a real folder, not a link, owned by us. False otherwise.
bool EnsurePrivateFolder(const std::string& path) {
    if (::mkdir(path.c_str(), kPrivateFolder) != 0 && errno != EEXIST) return false;
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
}

// mkdir -p for the folders above the home trash, mode 0700 for new ones.
bool EnsureFolderPath(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    if (path.empty() || path == "/") return false;
    if (!EnsureFolderPath(ParentOf(path))) return false;
    return ::mkdir(path.c_str(), kPrivateFolder) == 0 || errno == EEXIST;
}

// The mount point above `folder` (canonical): the highest folder on the same device.
std::string TopDirOf(const std::string& folder, dev_t device) {
    std::string current = folder;
    while (current != "/") {
        const std::string parent = ParentOf(current);
        struct stat st {};
        if (::stat(parent.c_str(), &st) != 0 || st.st_dev != device) return current;
        current = parent;
    }
    return current;
}

// The device the home trash lives on: its own, or that of the nearest
// folder above it that exists.
bool HomeTrashDevice(dev_t& device) {
    std::string path = DataFolder() + "/Trash";
    struct stat st {};
    while (::stat(path.c_str(), &st) != 0) {
        if (path == "/" || path.empty()) return false;
        path = ParentOf(path);
    }
    device = st.st_dev;
    return true;
}

// One trash directory, opened: where the info and files folders are.
struct TrashDir {
    std::string path;
    std::string topdir;  // paths in info files are relative to this; empty: absolute
    Fd files;
    Fd info;
};

bool OpenTrashDir(const std::string& path, const std::string& topdir, TrashDir& out) {
    if (!EnsurePrivateFolder(path) || !EnsurePrivateFolder(path + "/files") ||
        !EnsurePrivateFolder(path + "/info"))
        return false;
    out.path = path;
    out.topdir = topdir;
    out.files = Fd(::open((path + "/files").c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    out.info = Fd(::open((path + "/info").c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    return out.files.ok() && out.info.ok();
}

bool OpenHomeTrash(TrashDir& out) {
    const std::string data = DataFolder();
    return EnsureFolderPath(data) && OpenTrashDir(data + "/Trash", "", out);
}

// The trash for a file on `device` whose folder is `folder` (canonical).
bool ChooseTrash(const std::string& folder, dev_t device, TrashDir& out) {
    dev_t homeDevice = 0;
    if (HomeTrashDevice(homeDevice) && homeDevice == device) return OpenHomeTrash(out);
    const std::string topdir = TopDirOf(folder, device);
    const std::string top = topdir == "/" ? "" : topdir;
    const std::string uid = std::to_string(::geteuid());
    struct stat shared {};
    // An administrator's shared .Trash counts only when it is a real folder
    // with the sticky bit; a link or an unprotected folder is passed over.
    if (::lstat((top + "/.Trash").c_str(), &shared) == 0 && S_ISDIR(shared.st_mode) &&
        (shared.st_mode & S_ISVTX) != 0 && OpenTrashDir(top + "/.Trash/" + uid, topdir, out))
        return true;
    return OpenTrashDir(top + "/.Trash-" + uid, topdir, out);
}

std::string DeletionDate() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

// The Path key: absolute in the home trash, relative to the top folder in
// the others (which may be mounted elsewhere next time).
std::string InfoPath(const TrashDir& trash, const std::string& path) {
    if (trash.topdir.empty()) return path;
    if (trash.topdir == "/") return path.substr(1);
    return path.substr(trash.topdir.size() + 1);
}

// Cuts a name so that it and its info suffix fit a file name, at a
// character boundary.
std::string FittingName(std::string name, size_t reserve) {
    const size_t room = kMaxNameBytes - sizeof kInfoSuffix + 1 - reserve;
    if (name.size() <= room) return name;
    size_t cut = room;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    return name.substr(0, cut);
}

bool SyncFd(int fd) { return ::fsync(fd) == 0; }

bool WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

void RemoveInfo(const TrashDir& trash, const std::string& name) {
    ::unlinkat(trash.info.get(), (name + kInfoSuffix).c_str(), 0);
    SyncFd(trash.info.get());
}

// Reserves a name: the info file is created with O_EXCL under the first
// candidate ("name", "name_2", "name_3", ...) that neither folder holds,
// then written and made durable. Empty when it fails (nothing is left).
std::string ReserveName(const TrashDir& trash, const std::string& base, const std::string& infoPath,
                        const TrashProbe& probe) {
    for (int attempt = 1; attempt < 10000; ++attempt) {
        const std::string suffix = attempt == 1 ? "" : "_" + std::to_string(attempt);
        const std::string name = FittingName(base, suffix.size()) + suffix;
        struct stat st {};
        if (::fstatat(trash.files.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) continue;
        Fd info(::openat(trash.info.get(), (name + kInfoSuffix).c_str(),
                         O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!info.ok()) {
            if (errno == EEXIST) continue;
            return "";
        }
        const std::string text = "[Trash Info]\nPath=" + EncodeTrashPath(infoPath) +
                                 "\nDeletionDate=" + DeletionDate() + "\n";
        const bool ok = Reached(probe, TrashStep::InfoCreated) && WriteAll(info.get(), text) &&
                        Reached(probe, TrashStep::InfoWritten) && SyncFd(info.get()) &&
                        SyncFd(trash.info.get()) && Reached(probe, TrashStep::InfoDurable);
        if (ok) return name;
        info.Reset();
        RemoveInfo(trash, name);
        return "";
    }
    return "";
}

// Disk space of a tree in bytes, as du -B1 counts it; links not followed.
uint64_t TreeBytes(int parentFd, const char* name) {
    struct stat st {};
    if (::fstatat(parentFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return 0;
    uint64_t bytes = static_cast<uint64_t>(st.st_blocks) * 512;
    if (!S_ISDIR(st.st_mode)) return bytes;
    const int fd = ::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return bytes;
    DIR* dir = ::fdopendir(fd);
    if (dir == nullptr) {
        ::close(fd);
        return bytes;
    }
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        bytes += TreeBytes(::dirfd(dir), entry->d_name);
    }
    ::closedir(dir);
    return bytes;
}

// Adds a trashed folder's line ("size mtime name") to `directorysizes`,
// rewritten through a temporary file and a rename so that two programs
// writing it at once never leave it torn.
bool RecordFolderSize(const TrashDir& trash, const std::string& name) {
    struct stat info {};
    if (::fstatat(trash.info.get(), (name + kInfoSuffix).c_str(), &info, 0) != 0) return false;
    const uint64_t bytes = TreeBytes(trash.files.get(), name.c_str());
    const std::string sizesPath = trash.path + "/directorysizes";
    std::string text;
    {
        std::ifstream in(sizesPath, std::ios::binary);
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    if (!text.empty() && text.back() != '\n') text += '\n';
    text += std::to_string(bytes) + " " + std::to_string(info.st_mtime) + " " + EncodeTrashPath(name) + "\n";
    std::string temp = trash.path + "/directorysizes.XXXXXX";
    Fd fd(::mkstemp(temp.data()));
    if (!fd.ok()) return false;
    const bool ok = WriteAll(fd.get(), text) && SyncFd(fd.get()) &&
                    ::rename(temp.c_str(), sizesPath.c_str()) == 0;
    if (!ok) ::unlink(temp.c_str());
    return ok;
}

// Moves the entry `base` of the open folder `parentFd` into files/`name`
// when it is still the file checked; puts back anything else that a race
// slipped in between the check and the rename.
bool RenameChecked(int parentFd, const std::string& base, const TrashDir& trash, const std::string& name,
                   const FileIdentity& checked) {
    int moved = ::renameat2(parentFd, base.c_str(), trash.files.get(), name.c_str(), RENAME_NOREPLACE);
    if (moved != 0 && errno == EINVAL)  // a file system without the no-replace flag
        moved = ::renameat(parentFd, base.c_str(), trash.files.get(), name.c_str());
    if (moved != 0) return false;
    struct stat st {};
    if (::fstatat(trash.files.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && IdentityOf(st) == checked)
        return true;
    // Not the file we checked: back where it came from if its place is free;
    // otherwise it stays in the trash, with its info file, and is not lost.
    return ::renameat2(trash.files.get(), name.c_str(), parentFd, base.c_str(), RENAME_NOREPLACE) != 0;
}

TrashOutcome TrashOne(const TrashRequest& request, const TrashProbe& probe) {
    TrashOutcome outcome;
    const std::string base = BaseOf(request.path);
    if (request.path.empty() || request.path[0] != '/' || base.empty() || base == "." || base == "..")
        return outcome;
    const std::string folder = CanonicalFolder(ParentOf(request.path));
    if (folder.empty()) return outcome;
    Fd parent(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!parent.ok()) return outcome;

    struct stat st {};
    if (::fstatat(parent.get(), base.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return outcome;
    const FileIdentity identity = IdentityOf(st);
    if (st.st_uid != ::geteuid()) return outcome;  // only what the user owns
    if (request.expected && !(*request.expected == identity)) return outcome;

    TrashDir trash;
    if (!ChooseTrash(folder, st.st_dev, trash)) return outcome;
    const std::string original = (folder == "/" ? "" : folder) + "/" + base;
    const std::string name = ReserveName(trash, base, InfoPath(trash, original), probe);
    if (name.empty()) return outcome;

    if (!RenameChecked(parent.get(), base, trash, name, identity)) {
        RemoveInfo(trash, name);
        return outcome;
    }
    Reached(probe, TrashStep::Moved);
    outcome.moved = true;
    outcome.trashFolder = trash.path;
    outcome.name = name;
    if (!SyncFd(trash.files.get()) || !SyncFd(parent.get()) || !Reached(probe, TrashStep::MoveDurable))
        return outcome;
    if (S_ISDIR(st.st_mode) && RecordFolderSize(trash, name)) Reached(probe, TrashStep::SizesRecorded);
    return outcome;
}

}  // namespace

std::vector<TrashOutcome> MoveToTrash(const std::vector<TrashRequest>& requests, const TrashProbe& probe) {
    std::vector<TrashOutcome> outcomes;
    outcomes.reserve(requests.size());
    for (const TrashRequest& request : requests) outcomes.push_back(TrashOne(request, probe));
    return outcomes;
}

TrashOutcome StoreInHomeTrash(const std::string& originalPath, const std::function<bool(int fd)>& write,
                              const TrashProbe& probe) {
    TrashOutcome outcome;
    TrashDir trash;
    if (!OpenHomeTrash(trash)) return outcome;
    const std::string name = ReserveName(trash, BaseOf(originalPath), originalPath, probe);
    if (name.empty()) return outcome;
    Fd file(::openat(trash.files.get(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                     0644));
    bool ok = file.ok() && write(file.get()) && Reached(probe, TrashStep::Moved) && SyncFd(file.get()) &&
              SyncFd(trash.files.get()) && Reached(probe, TrashStep::MoveDurable);
    if (!ok) {
        if (file.ok()) ::unlinkat(trash.files.get(), name.c_str(), 0);
        RemoveInfo(trash, name);
        return outcome;
    }
    outcome.moved = true;
    outcome.trashFolder = trash.path;
    outcome.name = name;
    return outcome;
}

bool DiscardFromTrash(const TrashOutcome& item) {
    if (!item.moved) return false;
    const bool fileGone = ::unlink((item.trashFolder + "/files/" + item.name).c_str()) == 0;
    const bool infoGone =
        ::unlink((item.trashFolder + "/info/" + item.name + kInfoSuffix).c_str()) == 0;
    return fileGone && infoGone;
}

std::vector<FileIdentity> TrashFolderIdentities(const std::string& folder) {
    std::vector<FileIdentity> found;
    auto add = [&found](const std::string& path) {
        if (const std::optional<FileIdentity> id = IdentityOfPath(path)) found.push_back(*id);
    };
    add(DataFolder() + "/Trash");
    const std::string canonical = CanonicalFolder(folder);
    struct stat st {};
    if (canonical.empty() || ::stat(canonical.c_str(), &st) != 0) return found;
    const std::string topdir = TopDirOf(canonical, st.st_dev);
    const std::string top = topdir == "/" ? "" : topdir;
    add(top + "/.Trash");
    add(top + "/.Trash-" + std::to_string(::geteuid()));
    return found;
}

std::string EncodeTrashPath(const std::string& path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        if (std::isalnum(c) && c < 128) {
            out += static_cast<char>(c);
        } else if (std::strchr("/-_.!~*'()", c) != nullptr && c != '\0') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

}  // namespace quillo
