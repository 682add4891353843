#pragma once
// A browser's SQLite cookie store, read and changed through SQLite itself.
// Firefox keeps its cookies in `moz_cookies` (columns host, path), Chromium
// in `cookies` (host_key, path). A host that starts with '.' (a domain
// cookie) belongs to the same site as the host without it.
//
// Reading never touches the store: the store and its journal or
// write-ahead log are copied into a private folder and the copy is opened,
// so a running browser is not disturbed and what it has not yet checkpointed
// is still seen. Writing is for profiles no browser runs on (the caller
// holds the profile, see profile_lock.h).
#include <optional>
#include <string>
#include <vector>

#include "platform/browser_profiles.h"

namespace quillo {

// The cookies of one site and path.
struct CookieGroup {
    std::string host;  // without the leading '.'
    std::string path;
    int cookies = 0;
};

// The store's cookies grouped by (host, path), in the store's order of
// first appearance; nullopt when the store cannot be read.
std::optional<std::vector<CookieGroup>> ReadCookieGroups(const std::string& storePath, Browser browser);

// Deletes every cookie of `groups` in one transaction; false, with nothing
// changed, when the store cannot be opened or written.
bool DeleteCookieGroups(const std::string& storePath, Browser browser, const std::vector<CookieGroup>& groups);

// Whether `path` is a cookie text file in the Netscape format that curl,
// wget and browsers' export add-ons write: a "# Netscape HTTP Cookie File"
// or "# HTTP Cookie File" header, or a first line of seven tab-separated
// fields (domain, subdomains, path, secure, expiry, name, value).
bool IsCookieTextFile(const std::string& path);

}  // namespace quillo
