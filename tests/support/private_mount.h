#pragma once
// A tmpfs of its own for a test that needs another file system: mounted in a
// mount namespace private to the test process, so it vanishes with the
// process whatever happens. Needs root; callers skip without it.
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <string>

namespace quillo::test {

inline bool MountPrivateTmpfs(const std::string& folder) {
    static const bool isolated = ::geteuid() == 0 && ::unshare(CLONE_NEWNS) == 0 &&
                                 ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    return isolated && ::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=16m") == 0;
}

}  // namespace quillo::test
