#include "engine/internet_list.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <map>

#include "platform/config_paths.h"
#include "platform/folder_names.h"
#include "platform/profile_lock.h"
#include "platform/trash.h"

namespace quillo {
namespace {

constexpr size_t kRowChars = 1024;
constexpr int kEntriesPerYield = 64;
constexpr char kCookiePrefix[] = "Cookie:";
constexpr size_t kCookiePrefixLength = sizeof kCookiePrefix - 1;
constexpr char kNotDeleted[] = "Some URLs could not be deleted.";

char Folded(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Whether `text` begins with `prefix`, letters compared in either case (a
// list control's prefix search).
bool BeginsWithFolded(const std::string& text, const std::string& prefix) {
    const auto same = [](char a, char b) { return Folded(a) == Folded(b); };
    return text.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), text.begin(), same);
}

std::string FolderOf(const std::string& path) { return path.substr(0, path.find_last_of('/')); }

// The cookie text files lying in `folder`, by name: ".txt" files (the
// ending in lower case) in the Netscape cookie format, which keeps a
// profile's other text files (a module list, say) out of the list.
std::vector<std::string> CookieFileNames(const std::string& folder) {
    std::vector<std::string> names;
    for (const std::string& name : SortedFolderNames(folder)) {
        const std::string path = folder + "/" + name;
        struct stat st {};
        if (name.size() >= 4 && name.compare(name.size() - 4, 4, ".txt") == 0 && ::lstat(path.c_str(), &st) == 0 &&
            S_ISREG(st.st_mode) && IsCookieTextFile(path))
            names.push_back(name);
    }
    return names;
}

}  // namespace

UrlRowText UrlRowOf(const std::string& sourceUrl, bool cookieMode) {
    if (!cookieMode && sourceUrl.compare(0, kCookiePrefixLength, kCookiePrefix) == 0) return {};
    UrlRowText row{true, sourceUrl, ""};
    if (cookieMode) row.text.erase(0, kCookiePrefixLength);
    if (row.text.size() > kRowChars) {
        row.tail = row.text.substr(kRowChars);
        row.text.resize(kRowChars);
    }
    return row;
}

std::string UrlRowTarget(const std::string& url) {
    // An "@" within the address itself ("https://host/@name") is no user's.
    const size_t at = url.find('@');
    const size_t from = at != std::string::npos && at < url.find("://") ? at + 1 : 0;
    for (const char* scheme : {"http:/", "file:///"}) {
        const size_t found = url.find(scheme, from);
        if (found != std::string::npos) return url.substr(found);
    }
    return url.substr(from);
}

InternetCacheSource::InternetCacheSource(ListEnvironment& env, const std::string& prefix)
    : ListSource(env), cookieMode_(prefix != "http:") {}

FillEnd InternetCacheSource::Fill(ListSink& sink) {
    items_.clear();
    shownRows_.clear();
    profiles_ = FindBrowserProfiles();
    const std::string user = UserName();
    int entries = 0;
    FillEnd end;
    bool full = false;
    // One entry: false ends the listing (a stop, or the list is full).
    auto add = [&](Item item, std::vector<RowField> fields) {
        if (++entries % kEntriesPerYield == 0 && !sink.KeepGoing()) {
            end.stopped = true;
            return false;
        }
        const UrlRowText shown = UrlRowOf(item.url, cookieMode_);
        if (shown.listed && !AddItem(sink, shown, std::move(item), std::move(fields))) {
            full = true;
            return false;
        }
        return true;
    };
    for (size_t p = 0; p < profiles_.size() && !end.stopped && !full; ++p) {
        const BrowserProfile& profile = profiles_[p];
        const RowField browser{"browser", BrowserName(profile.browser)}, name{"profile", profile.name};
        if (!cookieMode_) {
            ReadCacheEntries(profile, [&](CacheEntry entry) {
                std::vector<RowField> fields{{"url", entry.url}, browser, name};
                return add({Item::Kind::CacheEntry, p, entry.url, std::move(entry), {}, "", {}}, std::move(fields));
            });
            continue;
        }
        const auto groups = ReadCookieGroups(profile.cookieStore, profile.browser);
        for (const CookieGroup& group : groups.value_or(std::vector<CookieGroup>{})) {
            std::vector<RowField> fields{{"host", group.host}, {"path", group.path},
                                         {"cookies", static_cast<int64_t>(group.cookies)}, browser, name};
            if (!add({Item::Kind::Cookies, p, kCookiePrefix + user + "@" + group.host + group.path, {}, group, "", {}},
                     std::move(fields)))
                break;
        }
    }
    if (cookieMode_ && !end.stopped && !full) AddCookieFiles(sink);
    return end;
}

bool InternetCacheSource::AddItem(ListSink& sink, const UrlRowText& shown, Item item, std::vector<RowField> fields) {
    if (!sink.AddRow({shown.text, false, std::to_string(items_.size()), std::move(fields)})) return false;
    if (!shown.tail.empty()) sink.AddAuxiliaryRow(shown.tail);
    items_.push_back(std::move(item));
    shownRows_.push_back(shown.text);
    return true;
}

bool InternetCacheSource::AddCookieFiles(ListSink& sink) {
    std::vector<std::string> folders;
    for (size_t p = 0; p < profiles_.size(); ++p) {
        const std::string folder = FolderOf(profiles_[p].cookieStore);
        if (std::find(folders.begin(), folders.end(), folder) != folders.end()) continue;
        folders.push_back(folder);
        for (const std::string& name : CookieFileNames(folder)) {
            // A file whose name up to its "[" begins a row has its entry.
            const std::string key = name.substr(0, name.find('['));
            if (std::any_of(shownRows_.begin(), shownRows_.end(),
                            [&](const std::string& row) { return BeginsWithFolded(row, key); }))
                continue;
            const std::string path = folder + "/" + name;
            const auto identity = IdentityOfPath(path);
            if (!identity) continue;
            Item item{Item::Kind::CookieFile, p, "", {}, {}, path, *identity};
            std::vector<RowField> fields{{"file", path},
                                         {"browser", BrowserName(profiles_[p].browser)},
                                         {"profile", profiles_[p].name}};
            if (!AddItem(sink, {true, name + "*", ""}, std::move(item), std::move(fields))) return false;
        }
    }
    return true;
}

RowTarget InternetCacheSource::Target(const ListRow& row) const {
    const size_t index = std::strtoul(row.key.c_str(), nullptr, 10);
    if (cookieMode_ || row.key.empty() || index >= items_.size()) return {};
    return {RowTarget::Kind::Url, UrlRowTarget(items_[index].url)};
}

DeleteOutcome InternetCacheSource::Delete(const std::vector<ListRow>& selected) {
    std::map<size_t, std::vector<size_t>> byProfile;  // item indices
    bool failed = false;
    for (const ListRow& row : selected) {
        const size_t index = std::strtoul(row.key.c_str(), nullptr, 10);
        if (row.key.empty() || index >= items_.size()) {
            failed = true;
            continue;
        }
        byProfile[items_[index].profile].push_back(index);
    }
    DeleteOutcome outcome;
    for (const auto& [p, indices] : byProfile) {
        std::vector<bool> deleted(indices.size(), false);
        DeleteFromProfile(p, indices, deleted);
        for (size_t i = 0; i < indices.size(); ++i) {
            if (deleted[i]) outcome.removedKeys.push_back(std::to_string(indices[i]));
            else failed = true;
        }
    }
    if (failed) outcome.message = kNotDeleted;
    return outcome;
}

void InternetCacheSource::DeleteFromProfile(size_t p, const std::vector<size_t>& indices, std::vector<bool>& deleted) {
    const BrowserProfile& profile = profiles_[p];
    ProfileWriteLock lock;
    if (!lock.Take(profile)) return;  // its browser runs: nothing of it is touched
    std::vector<CookieGroup> groups;
    std::vector<TrashRequest> files;
    for (size_t i = 0; i < indices.size(); ++i) {
        const Item& item = items_[indices[i]];
        if (item.kind == Item::Kind::CacheEntry) deleted[i] = DeleteCacheEntry(profile, item.entry);
        else if (item.kind == Item::Kind::Cookies) groups.push_back(item.cookies);
        else files.push_back({item.cookieFile, item.identity});
    }
    const bool cookiesGone = groups.empty() || DeleteCookieGroups(profile.cookieStore, profile.browser, groups);
    const std::vector<TrashOutcome> trashed = MoveToTrash(files);
    size_t file = 0;
    for (size_t i = 0; i < indices.size(); ++i) {
        const Item::Kind kind = items_[indices[i]].kind;
        if (kind == Item::Kind::Cookies) deleted[i] = cookiesGone;
        else if (kind == Item::Kind::CookieFile) deleted[i] = trashed[file++].moved;
    }
}

}  // namespace quillo
