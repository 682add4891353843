#include "platform/cache_entries.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>

#include "common/big_endian.h"
#include "common/little_endian.h"
#include "platform/folder_names.h"

namespace quillo {
namespace {

// Keys and metadata beyond these are no entry a browser wrote.
constexpr uint32_t kMaxKeyBytes = 8u << 20;
constexpr uint32_t kMaxFirefoxMetadata = kMaxKeyBytes + (1u << 20);

// The regular file `path` (never a link), open for reading, and its size.
class EntryFile {
public:
    explicit EntryFile(const std::string& path) {
        fd_ = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        struct stat st {};
        if (fd_ >= 0 && ::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode)) size_ = static_cast<uint64_t>(st.st_size);
    }
    ~EntryFile() {
        if (fd_ >= 0) ::close(fd_);
    }
    EntryFile(const EntryFile&) = delete;
    EntryFile& operator=(const EntryFile&) = delete;

    uint64_t Size() const { return size_; }
    // `length` bytes from `offset`; false when the file is shorter.
    bool Read(uint64_t offset, size_t length, std::string& bytes) const {
        bytes.resize(length);
        size_t done = 0;
        while (done < length) {
            const ssize_t n = ::pread(fd_, bytes.data() + done, length - done, static_cast<off_t>(offset + done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            done += static_cast<size_t>(n);
        }
        return true;
    }

private:
    int fd_ = -1;
    uint64_t size_ = 0;
};

const uint8_t* Bytes(const std::string& s, size_t at = 0) { return reinterpret_cast<const uint8_t*>(s.data() + at); }

std::optional<std::string> FirefoxEntryKey(const std::string& path) {
    const EntryFile file(path);
    std::string tail;
    if (file.Size() < 4 + kFirefoxHeaderSize || !file.Read(file.Size() - 4, 4, tail)) return std::nullopt;
    const uint64_t metaOffset = be32(Bytes(tail));
    const uint64_t metaEnd = file.Size() - 4;
    if (metaOffset > metaEnd || metaEnd - metaOffset > kMaxFirefoxMetadata) return std::nullopt;
    std::string meta;
    if (!file.Read(metaOffset, static_cast<size_t>(metaEnd - metaOffset), meta)) return std::nullopt;
    const uint64_t chunks = (metaOffset + kFirefoxChunkSize - 1) / kFirefoxChunkSize;
    const uint64_t header = 4 + 2 * chunks;
    if (header + kFirefoxHeaderSize > meta.size()) return std::nullopt;
    const uint32_t version = be32(Bytes(meta, header));
    const uint32_t keySize = be32(Bytes(meta, header + 24));
    const uint64_t key = header + (version == 1 ? kFirefoxHeaderSize - 4 : kFirefoxHeaderSize);
    if (version == 0 || key + keySize >= meta.size() || meta[key + keySize] != '\0') return std::nullopt;
    return meta.substr(key, keySize);
}

std::optional<std::string> SimpleEntryKey(const std::string& path) {
    const EntryFile file(path);
    std::string header, key;
    if (!file.Read(0, kSimpleHeaderSize, header) ||
        (static_cast<uint64_t>(le32(Bytes(header, 4))) << 32 | le32(Bytes(header))) != kSimpleEntryMagic)
        return std::nullopt;
    const uint32_t keyLength = le32(Bytes(header, 12));
    if (keyLength > kMaxKeyBytes || !file.Read(kSimpleHeaderSize, keyLength, key)) return std::nullopt;
    return key;
}

std::optional<std::string> EntryUrl(Browser browser, const std::string& path) {
    const auto key = browser == Browser::Firefox ? FirefoxEntryKey(path) : SimpleEntryKey(path);
    if (!key) return std::nullopt;
    return CacheKeyUrl(browser, *key);
}

// "0123456789abcdef_0": the entry's hash, or empty for another file.
std::string SimpleEntryHash(const std::string& name) {
    if (name.size() != 18 || name[16] != '_' || (name[17] != '0' && name[17] != '1' && name[17] != 's')) return "";
    for (size_t i = 0; i < 16; ++i)
        if (!std::isxdigit(static_cast<unsigned char>(name[i]))) return "";
    return name.substr(0, 16);
}

}  // namespace

std::string CacheKeyUrl(Browser browser, const std::string& key) {
    if (browser == Browser::Firefox) {
        // Tags up to the one named ':', after which the URL runs to the end.
        size_t at = 0;
        while (at < key.size() && key[at] != ':') {
            ++at;  // the tag's letter; then its value up to a single ','
            while (at < key.size() && !(key[at] == ',' && (at + 1 >= key.size() || key[at + 1] != ',')))
                at += key[at] == ',' ? 2 : 1;
            if (at >= key.size()) return key;  // no URL: show the key as it is
            ++at;
        }
        return at < key.size() ? key.substr(at + 1) : key;
    }
    // "CREDENTIALS/UPLOAD/" (older: "UPLOAD/") before the rest.
    size_t at = 0;
    for (int field = 0; field < 2; ++field) {
        size_t digits = at;
        while (digits < key.size() && std::isdigit(static_cast<unsigned char>(key[digits]))) ++digits;
        if (digits == at || digits >= key.size() || key[digits] != '/') break;
        at = digits + 1;
    }
    const std::string rest = key.substr(at);
    if (rest.rfind("_dk_", 0) != 0) return rest;
    return rest.substr(rest.find_last_of(' ') + 1);
}

bool ReadCacheEntries(const BrowserProfile& profile, const std::function<bool(CacheEntry)>& visit) {
    const std::string folder = profile.CacheEntriesFolder();
    if (profile.browser == Browser::Firefox) {
        for (const std::string& name : SortedFolderNames(folder)) {
            const std::string path = folder + "/" + name;
            const auto url = EntryUrl(Browser::Firefox, path);
            if (url && !visit({*url, {path}})) return false;
        }
        return true;
    }
    // The files of one entry lie next to each other in name order; the
    // entry is named by the first of them that reads.
    std::string hash;
    std::optional<std::string> url;
    std::vector<std::string> files;
    for (const std::string& name : SortedFolderNames(folder)) {
        const std::string nameHash = SimpleEntryHash(name);
        if (nameHash.empty()) continue;
        if (nameHash != hash) {
            if (url && !visit({*url, std::move(files)})) return false;
            hash = nameHash;
            url.reset();
            files.clear();
        }
        const std::string path = folder + "/" + name;
        if (!url) url = EntryUrl(Browser::Chromium, path);
        files.push_back(path);
    }
    return !url || visit({*url, std::move(files)});
}

bool DeleteCacheEntry(const BrowserProfile& profile, const CacheEntry& entry) {
    bool gone = true;
    for (const std::string& path : entry.files) {
        // The browser may have replaced the entry since it was listed.
        const auto url = EntryUrl(profile.browser, path);
        if (url && *url != entry.url) {
            gone = false;
        } else if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
            gone = false;
        }
    }
    return gone;
}

}  // namespace quillo
