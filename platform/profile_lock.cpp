#include "platform/profile_lock.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>

namespace quillo {
namespace {

// The target of the link at `path`; nullopt when there is no link.
std::optional<std::string> LinkTarget(const std::string& path) {
    char target[4096];
    const ssize_t n = ::readlink(path.c_str(), target, sizeof target);
    if (n < 0) return std::nullopt;
    return std::string(target, static_cast<size_t>(n));
}

// The number after the last `separator`; 0 when there is none.
pid_t TrailingPid(const std::string& text, char separator) {
    const size_t at = text.find_last_of(separator);
    if (at == std::string::npos || at + 1 >= text.size()) return 0;
    char* end = nullptr;
    const long pid = std::strtol(text.c_str() + at + 1, &end, 10);
    return *end == '\0' && pid > 0 ? static_cast<pid_t>(pid) : 0;
}

bool ProcessAlive(pid_t pid) { return ::kill(pid, 0) == 0 || errno == EPERM; }

std::string HostName() {
    char name[256] = {};
    ::gethostname(name, sizeof name - 1);
    return name;
}

std::string ParentFolder(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos || slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

bool ProfileWriteLock::Take(const BrowserProfile& profile) {
    Release();
    if (profile.browser == Browser::Firefox) {
        // A link we cannot read as "ADDRESS:+PID" counts as a live one.
        if (const auto target = LinkTarget(profile.folder + "/lock")) {
            const pid_t pid = TrailingPid(*target, '+');
            if (pid == 0 || ProcessAlive(pid)) return false;
        }
        const std::string path = profile.folder + "/.parentlock";
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (fd < 0) return false;
        struct flock whole {};
        whole.l_type = F_WRLCK;
        whole.l_whence = SEEK_SET;
        if (::fcntl(fd, F_SETLK, &whole) != 0) {
            ::close(fd);
            return false;
        }
        parentLock_ = fd;
        return true;
    }
    const std::string link = ParentFolder(profile.folder) + "/SingletonLock";
    const std::string host = HostName();
    if (const auto target = LinkTarget(link)) {
        const pid_t pid = TrailingPid(*target, '-');
        const bool stale = pid != 0 && target->substr(0, target->find_last_of('-')) == host && !ProcessAlive(pid);
        return stale;
    }
    const std::string ours = host + "-" + std::to_string(::getpid());
    if (::symlink(ours.c_str(), link.c_str()) != 0) return false;  // someone was quicker
    ownLink_ = link;
    ownTarget_ = ours;
    return true;
}

void ProfileWriteLock::Release() {
    if (parentLock_ >= 0) ::close(parentLock_);  // closing drops the POSIX lock
    parentLock_ = -1;
    if (!ownLink_.empty() && LinkTarget(ownLink_) == ownTarget_) ::unlink(ownLink_.c_str());
    ownLink_.clear();
    ownTarget_.clear();
}

}  // namespace quillo
