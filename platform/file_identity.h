#pragma once
// A file as the kernel knows it: device and inode. Two paths name the same
// file exactly when their identities are equal, whatever was renamed or
// replaced in between.
#include <sys/stat.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace quillo {

struct FileIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

inline FileIdentity IdentityOf(const struct stat& st) {
    return {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

// The identity of `path` itself (a symbolic link is not followed); nullopt
// when it cannot be read.
inline std::optional<FileIdentity> IdentityOfPath(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return std::nullopt;
    return IdentityOf(st);
}

struct FileIdentityHash {
    size_t operator()(const FileIdentity& id) const {
        return std::hash<uint64_t>{}(id.inode * 0x9E3779B97F4A7C15ull ^ id.device);
    }
};

}  // namespace quillo
