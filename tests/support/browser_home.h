#pragma once
// A home folder with browser profiles in the browsers' own formats:
// Firefox's profiles.ini, cookies.sqlite and cache2 entry files, Chromium's
// Preferences, Cookies and simple-cache entry files. The cookie stores are
// made and read back with the sqlite3 program and the browsers' schemas;
// the entry files are written in their layouts (Firefox's metadata hash is
// left zero: only the browser checks it). HOME and the XDG folders point
// into the home while the object lives.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "common/big_endian.h"
#include "common/little_endian.h"
#include "platform/cache_entries.h"
#include "tests/support/test_images.h"

namespace quillo::test {

inline constexpr const char* kMozCookiesSchema =
    "CREATE TABLE moz_cookies (id INTEGER PRIMARY KEY, originAttributes TEXT NOT NULL DEFAULT '', name TEXT, "
    "value TEXT, host TEXT, path TEXT, expiry INTEGER, lastAccessed INTEGER, creationTime INTEGER, isSecure "
    "INTEGER, isHttpOnly INTEGER, inBrowserElement INTEGER DEFAULT 0, sameSite INTEGER DEFAULT 0, schemeMap "
    "INTEGER DEFAULT 0, isPartitionedAttributeSet INTEGER DEFAULT 0, updateTime INTEGER, CONSTRAINT moz_uniqueid "
    "UNIQUE (name, host, path, originAttributes)); PRAGMA journal_mode=WAL;";
inline constexpr const char* kChromiumCookiesSchema =
    "CREATE TABLE meta(key LONGVARCHAR NOT NULL UNIQUE PRIMARY KEY, value LONGVARCHAR); "
    "CREATE TABLE cookies(creation_utc INTEGER NOT NULL,host_key TEXT NOT NULL,top_frame_site_key TEXT NOT "
    "NULL,name TEXT NOT NULL,value TEXT NOT NULL,encrypted_value BLOB NOT NULL,path TEXT NOT NULL,expires_utc "
    "INTEGER NOT NULL,is_secure INTEGER NOT NULL,is_httponly INTEGER NOT NULL,last_access_utc INTEGER NOT "
    "NULL,has_expires INTEGER NOT NULL,is_persistent INTEGER NOT NULL,priority INTEGER NOT NULL,samesite INTEGER "
    "NOT NULL,source_scheme INTEGER NOT NULL,source_port INTEGER NOT NULL,last_update_utc INTEGER NOT "
    "NULL,source_type INTEGER NOT NULL,has_cross_site_ancestor INTEGER NOT NULL); CREATE UNIQUE INDEX "
    "cookies_unique_index ON cookies(host_key, top_frame_site_key, has_cross_site_ancestor, name, path, "
    "source_scheme, source_port);";

class BrowserHome {
public:
    BrowserHome() {
        for (size_t i = 0; i < std::size(kVariables); ++i)
            if (const char* value = std::getenv(kVariables[i])) saved_[i] = value;
        setenv("HOME", home().c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home() + "/.config").c_str(), 1);
        setenv("XDG_CACHE_HOME", (home() + "/.cache").c_str(), 1);
        setenv("XDG_DATA_HOME", (home() + "/.local/share").c_str(), 1);
    }
    ~BrowserHome() {
        for (size_t i = 0; i < std::size(kVariables); ++i) {
            if (saved_[i]) setenv(kVariables[i], saved_[i]->c_str(), 1);
            else unsetenv(kVariables[i]);
        }
    }
    const std::string& home() const { return dir_.path(); }

    // A relative Firefox profile `path` under the newer configuration root;
    // the installation's default when `installDefault`. Its folder.
    std::string AddFirefoxProfile(const std::string& path, bool installDefault) {
        const std::string root = home() + "/.config/mozilla/firefox";
        std::filesystem::create_directories(root + "/" + path);
        std::ofstream(root + "/profiles.ini", std::ios::app)
            << "[Profile" << profiles_++ << "]\nName=" << path << "\nIsRelative=1\nPath=" << path << "\n\n"
            << (installDefault ? "[Install4F96D1932A9F858E]\nDefault=" + path + "\nLocked=1\n\n" : "");
        Sql(root + "/" + path + "/cookies.sqlite", kMozCookiesSchema);
        std::filesystem::create_directories(FirefoxEntries(path));
        return root + "/" + path;
    }
    std::string FirefoxEntries(const std::string& path) const {
        return home() + "/.cache/mozilla/firefox/" + path + "/cache2/entries";
    }
    // Chromium's profile `name`; its folder.
    std::string AddChromiumProfile(const std::string& name) {
        const std::string folder = home() + "/.config/chromium/" + name;
        std::filesystem::create_directories(folder);
        std::ofstream(folder + "/Preferences") << "{}";
        Sql(folder + "/Cookies", kChromiumCookiesSchema);
        std::filesystem::create_directories(ChromiumEntries(name));
        return folder;
    }
    std::string ChromiumEntries(const std::string& name) const {
        return home() + "/.cache/chromium/" + name + "/Cache/Cache_Data";
    }

    static void AddMozCookie(const std::string& profile, const std::string& name, const std::string& host,
                             const std::string& path) {
        Sql(profile + "/cookies.sqlite", "INSERT INTO moz_cookies (name, value, host, path, expiry) VALUES ('" + name +
                                             "', 'v', '" + host + "', '" + path + "', 4102444800);");
    }
    static void AddChromiumCookie(const std::string& profile, const std::string& name, const std::string& host,
                                  const std::string& path) {
        Sql(profile + "/Cookies", "INSERT INTO cookies VALUES (13300000000000000, '" + host + "', '', '" + name +
                                      "', 'v', x'', '" + path +
                                      "', 13400000000000000, 0, 0, 0, 1, 1, 1, 0, 1, 80, 0, 0, 0);");
    }

    // An entry file: the data, then the metadata and its offset.
    static void AddFirefoxEntry(const std::string& entries, const std::string& name, const std::string& key) {
        std::string file = "<html>cached</html>";
        const uint32_t offset = static_cast<uint32_t>(file.size());
        std::string meta(4 + 2 + kFirefoxHeaderSize, '\0');  // hash, one chunk hash, header
        auto* header = reinterpret_cast<uint8_t*>(meta.data() + 6);
        put_be32(header, 4);  // version
        put_be32(header + 24, static_cast<uint32_t>(key.size()));
        meta += key + '\0' + std::string("response-head\0HTTP/1.1 200 OK\r\n\0", 32);
        file += meta + std::string(4, '\0');
        put_be32(reinterpret_cast<uint8_t*>(file.data() + file.size() - 4), offset);
        std::ofstream(entries + "/" + name, std::ios::binary) << file;
    }
    // A simple-cache file: header, key, stream 1, its end record, stream 0, its end record.
    static void AddSimpleEntry(const std::string& entries, const std::string& file, const std::string& key) {
        std::string bytes(kSimpleHeaderSize, '\0');
        auto* header = reinterpret_cast<uint8_t*>(bytes.data());
        put_le32(header, static_cast<uint32_t>(kSimpleEntryMagic));
        put_le32(header + 4, static_cast<uint32_t>(kSimpleEntryMagic >> 32));
        put_le32(header + 8, 5);
        put_le32(header + 12, static_cast<uint32_t>(key.size()));
        const std::string eof = "\xd8\x41\x0d\x97\x45\x6f\xfa\xf4" + std::string(16, '\0');
        bytes += key + "<html>cached</html>" + eof + "HTTP/1.1 200 OK" + eof;
        std::ofstream(entries + "/" + file, std::ios::binary) << bytes;
    }

    // Runs `sql` on the store with the sqlite3 program; its output.
    static std::string Sql(const std::string& store, const std::string& sql) {
        std::string output;
        RunCommand("sqlite3 " + ShellQuote(store) + " " + ShellQuote(sql), &output);
        return output;
    }

private:
    static constexpr const char* kVariables[] = {"HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"};

    TempDir dir_;
    std::optional<std::string> saved_[std::size(kVariables)];
    int profiles_ = 0;
};

}  // namespace quillo::test
