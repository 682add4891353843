#pragma once
// The user's browser profiles: where each keeps its cookie store and its
// disk cache. Linux has no system-wide URL cache; the internet lists are the
// union of what these profiles hold.
//
// Firefox (and Firefox ESR): the profiles named in `profiles.ini` under
// `~/.mozilla/firefox/` and `$XDG_CONFIG_HOME/mozilla/firefox/` (newer
// releases use the latter when the former does not exist). A relative
// profile keeps its cache under `$XDG_CACHE_HOME/mozilla/firefox/<Path>`,
// an absolute one inside itself; entries in `cache2/entries/`, cookies in
// `cookies.sqlite`.
// Chromium: every folder of `$XDG_CONFIG_HOME/chromium/` that holds a
// `Preferences` file; cookies in `Network/Cookies` or `Cookies`, the cache
// under `$XDG_CACHE_HOME/chromium/<profile>/Cache/Cache_Data/`.
#include <string>
#include <vector>

namespace quillo {

enum class Browser { Firefox, Chromium };

struct BrowserProfile {
    Browser browser = Browser::Firefox;
    std::string name;         // the profile folder's own name: "abcd1234.default-esr", "Default"
    std::string folder;       // the profile folder, no trailing '/'
    std::string cacheFolder;  // the profile's cache folder, no trailing '/' (it may not exist)
    std::string cookieStore;  // the SQLite cookie store (it may not exist)

    // Where the disk-cache entry files lie.
    std::string CacheEntriesFolder() const;
};

// "firefox" or "chromium".
const char* BrowserName(Browser browser);

// Every profile whose folder exists: Firefox's first (the default profile of
// an installation, then the one marked Default, then the others in file
// order), then Chromium's ("Default" first, the others by name).
std::vector<BrowserProfile> FindBrowserProfiles();

}  // namespace quillo
