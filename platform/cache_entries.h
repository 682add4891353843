#pragma once
// The disk-cache entries of a browser profile, one per cached resource,
// read from the entry files themselves (the index beside them is only the
// browser's summary, which it rebuilds when entries go missing).
//
// Firefox (cache2/entries/): one file per entry, named by a hash of its key.
// It holds the data, then the metadata, and ends in the metadata's offset
// (32 bits, big-endian, as every field here). The metadata: a 32-bit hash,
// a 16-bit hash per started 256 KiB of data, a header of eight 32-bit fields
// (version, fetch count, last fetched, last modified, frecency, expiration,
// key size, flags; version 1 has no flags), then the key and a NUL, then
// the elements. The key is tags (a letter and an optional value, each ended
// by ',', a comma within a value doubled) followed by ':' and the URL:
// "a,:http://host/", "O^partitionKey=%28http%2C127.0.0.1%29,:http://host/".
//
// Chromium's simple cache (Cache/Cache_Data/): files "<16 hex digits>_0"
// (streams 0 and 1), "_1" (stream 2) and "_s" (sparse data), each starting
// with a header (64-bit magic 0xfcfb6d1ba7725c30, then 32-bit version, key
// length and key hash, little-endian, padded to 24 bytes) and the key. The
// key is "CREDENTIALS/UPLOAD/" and, in a split cache, "_dk_" with the
// isolation sites and the URL separated by blanks: "1/0/_dk_http://a.test
// http://a.test http://a.test/x.png"; older keys are the URL alone.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/browser_profiles.h"

namespace quillo {

struct CacheEntry {
    std::string url;                 // the resource's address
    std::vector<std::string> files;  // every file of the entry, full paths
};

// Hands each entry of `profile`'s disk cache to `visit`, in file-name
// order, until it returns false (then false). Files that are not entries,
// or are damaged, are passed over.
bool ReadCacheEntries(const BrowserProfile& profile, const std::function<bool(CacheEntry)>& visit);

// Removes the entry's files, each only while it still holds an entry for
// the same URL. True when none of them is left.
bool DeleteCacheEntry(const BrowserProfile& profile, const CacheEntry& entry);

// The URL within an entry key.
std::string CacheKeyUrl(Browser browser, const std::string& key);

// Layout constants of the entry files (the tests write entries with them).
inline constexpr uint64_t kSimpleEntryMagic = 0xfcfb6d1ba7725c30ull;
inline constexpr uint32_t kSimpleHeaderSize = 24;
inline constexpr uint32_t kFirefoxChunkSize = 256 * 1024;
inline constexpr uint32_t kFirefoxHeaderSize = 32;

}  // namespace quillo
