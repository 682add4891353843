#include "platform/cookie_store.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <map>
#include <sstream>
#include <utility>

#include "platform/config_paths.h"
#include "platform/folder_names.h"
#include "platform/ini_file.h"

namespace quillo {
namespace {

struct Schema {
    const char* select;  // host, path of every cookie
    const char* remove;  // ?1 host without '.', ?2 path
};

Schema SchemaOf(Browser browser) {
    if (browser == Browser::Firefox)
        return {"SELECT IFNULL(host, ''), IFNULL(path, '') FROM moz_cookies",
                "DELETE FROM moz_cookies WHERE IFNULL(host, '') IN (?1, '.' || ?1) AND IFNULL(path, '') = ?2"};
    return {"SELECT host_key, path FROM cookies",
            "DELETE FROM cookies WHERE host_key IN (?1, '.' || ?1) AND path = ?2"};
}

// Closes the connection however the function using it ends.
struct Connection {
    sqlite3* db = nullptr;
    ~Connection() { sqlite3_close_v2(db); }
    bool Open(const std::string& path) {
        if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) return false;
        sqlite3_busy_timeout(db, 2000);
        return true;
    }
    bool Exec(const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }
};

struct Statement {
    sqlite3_stmt* stmt = nullptr;
    ~Statement() { sqlite3_finalize(stmt); }
    bool Prepare(sqlite3* db, const char* sql) { return sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK; }
    std::string Text(int column) const {
        const unsigned char* text = sqlite3_column_text(stmt, column);
        return text != nullptr ? reinterpret_cast<const char*>(text) : "";
    }
};

bool CopyFile(const std::string& from, const std::string& to) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return errno == ENOENT;  // a journal that is not there is fine
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    bool ok = out >= 0;
    char buffer[65536];
    while (ok) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        ok = ::write(out, buffer, static_cast<size_t>(n)) == n;
    }
    ::close(in);
    if (out >= 0) ::close(out);
    return ok;
}

// A private folder holding a copy of a store; removed with everything in it.
class PrivateCopy {
public:
    explicit PrivateCopy(const std::string& store) {
        const std::string temporary = TemporaryFolder();
        std::string pattern = (temporary.empty() ? "/tmp" : temporary) + "/quillo-cookies-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) return;
        folder_ = pattern;
        const std::string copy = folder_ + "/store.sqlite";
        if (::access(store.c_str(), R_OK) != 0) return;
        for (const char* suffix : {"", "-wal", "-journal"})
            if (!CopyFile(store + suffix, copy + suffix)) return;
        path_ = copy;
    }
    ~PrivateCopy() {
        if (folder_.empty()) return;
        // Ours alone: the copy, its journal, and what SQLite made beside it.
        for (const std::string& name : SortedFolderNames(folder_)) ::unlink((folder_ + "/" + name).c_str());
        ::rmdir(folder_.c_str());
    }
    PrivateCopy(const PrivateCopy&) = delete;
    PrivateCopy& operator=(const PrivateCopy&) = delete;

    // Empty when the copy could not be made.
    const std::string& Path() const { return path_; }

private:
    std::string folder_;
    std::string path_;
};

}  // namespace

std::optional<std::vector<CookieGroup>> ReadCookieGroups(const std::string& storePath, Browser browser) {
    const PrivateCopy copy(storePath);
    Connection connection;
    Statement select;
    if (copy.Path().empty() || !connection.Open(copy.Path()) ||
        !select.Prepare(connection.db, SchemaOf(browser).select))
        return std::nullopt;
    std::vector<CookieGroup> groups;
    std::map<std::pair<std::string, std::string>, size_t> index;
    int step;
    while ((step = sqlite3_step(select.stmt)) == SQLITE_ROW) {
        std::string host = select.Text(0);
        if (!host.empty() && host[0] == '.') host.erase(0, 1);
        auto [at, added] = index.try_emplace({host, select.Text(1)}, groups.size());
        if (added) groups.push_back({at->first.first, at->first.second, 0});
        ++groups[at->second].cookies;
    }
    if (step != SQLITE_DONE) return std::nullopt;
    return groups;
}

bool IsCookieTextFile(const std::string& path) {
    std::string text;
    if (!ReadSmallFile(path, 16u << 20, text)) return false;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        for (char& c : line) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        // "#HttpOnly_" starts a cookie line, not a comment.
        if (line[0] == '#' && line.rfind("#httponly_", 0) != 0) {
            if (line.find("http cookie file") != std::string::npos) return true;
            continue;
        }
        return std::count(line.begin(), line.end(), '\t') == 6;
    }
    return false;
}

bool DeleteCookieGroups(const std::string& storePath, Browser browser, const std::vector<CookieGroup>& groups) {
    Connection connection;
    if (::access(storePath.c_str(), W_OK) != 0 || !connection.Open(storePath) || !connection.Exec("BEGIN IMMEDIATE"))
        return false;
    Statement remove;
    bool ok = remove.Prepare(connection.db, SchemaOf(browser).remove);
    for (const CookieGroup& group : groups) {
        if (!ok) break;
        sqlite3_bind_text(remove.stmt, 1, group.host.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(remove.stmt, 2, group.path.c_str(), -1, SQLITE_TRANSIENT);
        ok = sqlite3_step(remove.stmt) == SQLITE_DONE;
        sqlite3_reset(remove.stmt);
    }
    if (ok && connection.Exec("COMMIT")) return true;
    connection.Exec("ROLLBACK");
    return false;
}

}  // namespace quillo
