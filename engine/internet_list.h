#pragma once
// The internet lists: "URLcache" (one row per cached resource of the user's
// browser profiles, its URL as the row) and "Cookies" (one row per site and
// path of their cookie stores, "user@example.com/", and the cookie text
// files of the cookie folders that no row stands for, as "name.txt*").
//
// Every entry has a source URL, as a URL cache would give it: the
// resource's URL, or "Cookie:user@host/path" for cookies. Cookie rows drop
// the "Cookie:"; the URL cache never lists one. A source URL longer than
// 1,024 characters is shown as its first 1,024, the rest going to the
// auxiliary list; a row always stands for its whole URL.
//
// Deleting removes a cache entry's files or a row's cookies (one
// transaction per store), and moves cookie files to the Trash; nothing of a
// profile a browser runs on is touched, and its rows stay with "Some URLs
// could not be deleted.".
#include <string>
#include <vector>

#include "engine/list_source.h"
#include "platform/browser_profiles.h"
#include "platform/cache_entries.h"
#include "platform/cookie_store.h"
#include "platform/file_identity.h"

namespace quillo {

// How a source URL shows: not at all (the URL cache skips cookies), or as
// a row of at most 1,024 characters and the tail beyond them.
struct UrlRowText {
    bool listed = false;
    std::string text;
    std::string tail;
};
UrlRowText UrlRowOf(const std::string& sourceUrl, bool cookieMode);

class InternetCacheSource final : public ListSource {
public:
    // `prefix` "http:" lists the URL cache, any other ("Cookie:") the cookies.
    InternetCacheSource(ListEnvironment& env, const std::string& prefix);

    FillEnd Fill(ListSink& sink) override;
    RowTarget Target(const ListRow& row) const override;
    DeleteOutcome Delete(const std::vector<ListRow>& selected) override;

private:
    struct Item {
        enum class Kind { CacheEntry, Cookies, CookieFile };
        Kind kind = Kind::CacheEntry;
        size_t profile = 0;
        std::string url;         // the whole source URL
        CacheEntry entry;        // a cache entry
        CookieGroup cookies;     // a site and path of cookies
        std::string cookieFile;  // a cookie text file: its full path
        FileIdentity identity;   // ... and the file it was
    };

    // Adds the row `shown` for `item`; false when the list is full.
    bool AddItem(ListSink& sink, const UrlRowText& shown, Item item, std::vector<RowField> fields);
    bool AddCookieFiles(ListSink& sink);
    // Deletes what the items of profile `p` stand for, unless a browser runs on it.
    void DeleteFromProfile(size_t p, const std::vector<size_t>& items, std::vector<bool>& deleted);

    bool cookieMode_;
    std::vector<BrowserProfile> profiles_;
    std::vector<Item> items_;             // a row's key is its index here
    std::vector<std::string> shownRows_;  // every row's text, for the cookie files
};


// What Open hands to the browser for a URL-cache row's whole URL: from the
// first "http:/" after the first "@", failing that from the first
// "file:///" after it, failing that everything after the "@". An "@" that
// comes after the first "://" belongs to the address and counts as none:
// the search starts at the beginning and the whole URL is the fallback.
std::string UrlRowTarget(const std::string& url);

}  // namespace quillo
