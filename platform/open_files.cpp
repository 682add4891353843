#include "platform/open_files.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform/process_list.h"

namespace quillo {

OpenFileSet OpenFileSet::Scan(const std::string& procRoot) {
    OpenFileSet set;
    if (DIR* proc = ::opendir(procRoot.c_str())) {
        while (const dirent* entry = ::readdir(proc))
            if (IsNumberName(entry->d_name)) set.AddDescriptors(procRoot + "/" + entry->d_name + "/fd");
        ::closedir(proc);
    }
    set.AddLocks(procRoot + "/locks");
    return set;
}

void OpenFileSet::AddDescriptors(const std::string& fdFolder) {
    DIR* fds = ::opendir(fdFolder.c_str());
    if (fds == nullptr) return;  // not ours to read, or gone
    while (const dirent* entry = ::readdir(fds)) {
        if (!IsNumberName(entry->d_name)) continue;
        // stat follows the descriptor's link to the open file itself, also
        // when its name was removed or replaced since.
        struct stat st {};
        if (::stat((fdFolder + "/" + entry->d_name).c_str(), &st) == 0) files_.insert(IdentityOf(st));
    }
    ::closedir(fds);
}

// Lines such as "1: POSIX  ADVISORY  WRITE 1234 08:01:5678 0 EOF": the
// sixth field is major:minor (hex) and inode (decimal). Waiters ("1: ->")
// name the same files as the holders.
void OpenFileSet::AddLocks(const std::string& locksFile) {
    std::ifstream in(locksFile);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string field[6];
        for (std::string& f : field) fields >> f;
        if (field[1] == "->") continue;
        unsigned major = 0, minor = 0;
        unsigned long long inode = 0;
        if (std::sscanf(field[5].c_str(), "%x:%x:%llu", &major, &minor, &inode) != 3) continue;
        files_.insert({static_cast<uint64_t>(makedev(major, minor)), inode});
    }
}

}  // namespace quillo
