#pragma once
// Files that some process holds open or locked, found the way fuser and
// lslocks find them: every descriptor under /proc/<pid>/fd we may read, and
// every lock in /proc/locks. Taken once per listing.
#include <string>
#include <unordered_set>

#include "platform/file_identity.h"

namespace quillo {

class OpenFileSet {
public:
    // Scans `procRoot` (the /proc of this system unless a test points
    // elsewhere). Processes we may not read are passed over, as fuser does.
    static OpenFileSet Scan(const std::string& procRoot = "/proc");

    bool Contains(const FileIdentity& id) const { return files_.count(id) != 0; }
    size_t Size() const { return files_.size(); }

private:
    void AddDescriptors(const std::string& fdFolder);
    void AddLocks(const std::string& locksFile);

    std::unordered_set<FileIdentity, FileIdentityHash> files_;
};

}  // namespace quillo
