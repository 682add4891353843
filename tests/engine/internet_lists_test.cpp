// The URL cache and cookie lists over browser profiles in the browsers' own
// formats: what rows they give, what a delete removes and what it leaves,
// and profiles a browser runs on.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "engine/internet_list.h"
#include "platform/config_paths.h"
#include "platform/registry_store.h"
#include "platform/user_folders.h"
#include "tests/support/background_process.h"
#include "tests/support/browser_home.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/recording_sink.h"

namespace quillo {
namespace {

namespace fs = std::filesystem;

const std::string kUrl1024 = "http://example.com/" + std::string(1024 - 19, 'a');
const std::string kUrl1025 = kUrl1024 + "b";
const std::string kNetscapeHeader = "# Netscape HTTP Cookie File\n.example.com\tTRUE\t/\tFALSE\t0\tn\tv\n";

// Both browsers, with long URLs, domain and host cookies and cookie files.
struct Profiles : test::BrowserHome {
    std::string firefox = AddFirefoxProfile("ab12cd34.default-esr", true);
    std::string chromium = AddChromiumProfile("Default");
    Profiles() {
        const std::string entries = FirefoxEntries("ab12cd34.default-esr");
        AddFirefoxEntry(entries, "0A", "a,:http://example.com/page");
        AddFirefoxEntry(entries, "1B", "O^partitionKey=%28http%2C127.0.0.1%29,:" + kUrl1024);
        AddFirefoxEntry(entries, "2C", ":" + kUrl1025);
        AddFirefoxEntry(entries, "3D", ":Cookie:me@example.com/");
        std::ofstream(entries + "/4E") << "not an entry";
        const std::string data = ChromiumEntries("Default");
        const std::string key = "1/0/_dk_http://site.test http://site.test http://site.test/img.png";
        AddSimpleEntry(data, "0123456789abcdef_0", key);
        AddSimpleEntry(data, "0123456789abcdef_1", key);
        std::ofstream(data + "/index") << "index";
        AddMozCookie(firefox, "a", ".example.com", "/");
        AddMozCookie(firefox, "b", "example.com", "/");
        AddMozCookie(firefox, "c", "example.com", "/sub");
        AddChromiumCookie(chromium, "d", "site.test", "/");
        std::ofstream(firefox + "/" + UserName() + "@example[1].txt") << kNetscapeHeader;
        std::ofstream(firefox + "/other[2].txt") << kNetscapeHeader;
        std::ofstream(firefox + "/SHOUT.TXT") << kNetscapeHeader;
        std::ofstream(firefox + "/pkcs11.txt") << "library=\nname=NSS Internal PKCS #11 Module\n";
    }
};

std::string Field(const ListRow& row, const std::string& name) {
    for (const RowField& field : row.fields)
        if (field.name == name) return std::get<std::string>(field.value);
    return "";
}

struct Listing {
    testing::ScriptedDrive drive;
    ListEnvironment env{drive.ctx, "/tmp/", {}};
    InternetCacheSource source;
    test::RecordingSink sink;
    explicit Listing(const char* prefix) : source(env, prefix) {
        source.Fill(sink);
        SortRows(sink.rows);
    }
    // The rows whose text or field `name` holds `part`.
    std::vector<ListRow> Rows(const std::string& part, const char* name = nullptr) const {
        std::vector<ListRow> rows;
        for (const ListRow& row : sink.rows)
            if ((name ? Field(row, name) : row.text).find(part) != std::string::npos) rows.push_back(row);
        return rows;
    }
};

// Every file below `folder` with its bytes.
std::map<std::string, std::string> Snapshot(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_symlink()) files[entry.path()] = "-> " + fs::read_symlink(entry.path()).string();
        else if (entry.is_regular_file())
            files[entry.path()] = (std::stringstream() << std::ifstream(entry.path(), std::ios::binary).rdbuf()).str();
    }
    return files;
}

// Above any pid_max the kernel allows: a process that is gone.
const std::string kGonePid = "99999999";

TEST(InternetListTest, SourceUrlsBecomeRowsAndTails) {
    struct Case {
        std::string url;
        bool cookieMode, listed;
        std::string text, tail;
    } cases[] = {
        {"Cookie:", true, true, "", ""},
        {"Cookie:me@example.com/", false, false, "", ""},
        {"Cookie:" + kUrl1025, true, true, kUrl1024, "b"},
    };
    for (const Case& c : cases) {
        const UrlRowText row = UrlRowOf(c.url, c.cookieMode);
        EXPECT_EQ(std::tie(row.listed, row.text, row.tail), std::tie(c.listed, c.text, c.tail)) << c.url.substr(0, 40);
    }
    const std::pair<const char*, const char*> targets[] = {
        {"Visited: me@http://a.test/x", "http://a.test/x"}, {"me@file:///c/x.html", "file:///c/x.html"},
        {"http://a.test/@x", "http://a.test/@x"},           {"me@ftp://a.test/", "ftp://a.test/"},
        {"Visited: me@https://a.test/", "https://a.test/"}, {"file:///no/at", "file:///no/at"},
    };
    for (const auto& [url, target] : targets) EXPECT_EQ(UrlRowTarget(url), target) << url;
}

TEST(InternetListTest, CacheKeysGiveTheirUrls) {
    const std::tuple<Browser, const char*, const char*> cases[] = {
        {Browser::Firefox, "O^x,,y:z,a,~17,:http://h.test/,:", "http://h.test/,:"},
        {Browser::Firefox, ":", ""},
        {Browser::Chromium, "0/http://old.test/", "http://old.test/"},
        {Browser::Chromium, "http://plain.test/", "http://plain.test/"},
    };
    for (const auto& [browser, key, url] : cases) EXPECT_EQ(CacheKeyUrl(browser, key), url) << key;
}

TEST(InternetListTest, BothBrowsersListTheirEntriesAndCookiesAndDeleteTheChosenOnes) {
    Profiles home;
    Listing urls("http:");
    const std::vector<std::string> wanted{kUrl1024, kUrl1024, "http://example.com/page", "http://site.test/img.png"};
    EXPECT_EQ(urls.sink.Texts(), wanted);
    EXPECT_EQ(urls.sink.auxiliary, std::vector<std::string>{"b"});
    EXPECT_EQ(Field(urls.sink.rows.back(), "browser"), "chromium");
    EXPECT_EQ(Field(urls.sink.rows.back(), "profile"), "Default");

    Listing cookies("Cookie:");
    const std::string me = UserName() + "@";
    EXPECT_EQ(cookies.sink.Texts(),
              (std::vector<std::string>{"other[2].txt*", me + "example.com/", me + "example.com/sub",
                                        me + "site.test/"}));
    EXPECT_TRUE(cookies.sink.auxiliary.empty());

    // Deleting takes the chosen rows alone, each under its whole URL.
    auto chosen = urls.Rows(kUrl1025, "url");
    chosen.push_back(urls.Rows("site.test").at(0));
    DeleteOutcome outcome = urls.source.Delete(chosen);
    EXPECT_EQ(outcome.removedKeys.size(), 2u);
    EXPECT_EQ(outcome.message, "");
    const std::string entries = home.FirefoxEntries("ab12cd34.default-esr");
    EXPECT_FALSE(fs::exists(entries + "/2C"));
    EXPECT_TRUE(fs::exists(entries + "/1B"));  // the same first 1,024 characters
    EXPECT_FALSE(fs::exists(home.ChromiumEntries("Default") + "/0123456789abcdef_1"));
    EXPECT_FALSE(fs::is_symlink(home.chromium + "/../SingletonLock"));  // ours, held while deleting
    EXPECT_EQ(Listing("http:").sink.Texts(), (std::vector<std::string>{kUrl1024, "http://example.com/page"}));

    outcome = cookies.source.Delete({cookies.sink.rows[0], cookies.sink.rows[1]});  // other[2].txt*, example.com/
    EXPECT_EQ(outcome.removedKeys.size(), 2u);
    EXPECT_EQ(test::BrowserHome::Sql(home.firefox + "/cookies.sqlite", "SELECT name FROM moz_cookies"), "c\n");
    EXPECT_EQ(test::BrowserHome::Sql(home.chromium + "/Cookies", "SELECT name FROM cookies"), "d\n");
    EXPECT_TRUE(fs::exists(home.home() + "/.local/share/Trash/files/other[2].txt"));
    EXPECT_EQ(Listing("Cookie:").sink.rows.size(), 2u);
}

TEST(InternetListTest, AProfileABrowserRunsOnIsLeftUntouched) {
    const std::string host = [] {
        char name[256] = {};
        ::gethostname(name, sizeof name - 1);
        return std::string(name);
    }();
    struct Case {
        const char* what;
        Browser browser;
        std::string lockLink;  // in the profile (Firefox) or its parent (Chromium)
        bool holdParentLock, busy;
    };
    test::BackgroundProcess alive("sleep 60");
    const Case cases[] = {
        {"firefox holding .parentlock", Browser::Firefox, "", true, true},
        {"firefox lock link, live", Browser::Firefox, "127.0.0.1:+" + std::to_string(alive.pid()), false, true},
        {"firefox stale lock link", Browser::Firefox, "127.0.0.1:+" + kGonePid, false, false},
        {"chromium here, live", Browser::Chromium, host + "-" + std::to_string(alive.pid()), false, true},
        {"chromium on another host", Browser::Chromium, "elsewhere.test-" + kGonePid, false, true},
        {"chromium here, stale", Browser::Chromium, host + "-" + kGonePid, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Profiles home;
        const bool firefox = c.browser == Browser::Firefox;
        const std::string folder = firefox ? home.firefox : home.chromium;
        const std::string link = firefox ? folder + "/lock" : folder + "/../SingletonLock";
        if (!c.lockLink.empty()) fs::create_symlink(c.lockLink, link);
        std::unique_ptr<test::BackgroundProcess> holder;
        if (c.holdParentLock) {
            holder = std::make_unique<test::BackgroundProcess>(
                "exec python3 -c 'import fcntl,sys,time; f=open(sys.argv[1],\"a\"); fcntl.lockf(f, fcntl.LOCK_EX); "
                "open(sys.argv[2],\"w\"); time.sleep(60)' " + test::ShellQuote(folder + "/.parentlock") + " " +
                test::ShellQuote(home.home() + "/held"));
            ASSERT_TRUE(test::WaitForFile(home.home() + "/held"));
        }
        const auto before = Snapshot(home.home() + "/.config");
        const auto cacheBefore = Snapshot(home.home() + "/.cache");
        for (const char* prefix : {"http:", "Cookie:"}) {
            Listing list(prefix);
            const auto mine = list.Rows(BrowserName(c.browser), "browser");
            const DeleteOutcome outcome = list.source.Delete(mine);
            EXPECT_EQ(outcome.message, c.busy ? "Some URLs could not be deleted." : "");
            EXPECT_EQ(outcome.removedKeys.size(), c.busy ? 0u : mine.size());
        }
        if (c.busy) {
            EXPECT_EQ(Snapshot(home.home() + "/.config"), before);
            EXPECT_EQ(Snapshot(home.home() + "/.cache"), cacheBefore);
        }
        EXPECT_EQ(fs::is_symlink(link), !c.lockLink.empty());  // the browser's link stays as it was
    }
}

// The rows' texts are proven above; the console adds the fields.
TEST(InternetListTest, TheConsoleListsWithJsonTheRowsBrowserAndProfile) {
    Profiles home;
    std::string json;
    ASSERT_EQ(test::RunCommand(QUILLO_CLI_PATH " --json list URLcache", &json), 0);
    EXPECT_NE(json.find("{\"url\": \"http://site.test/img.png\", \"browser\": \"chromium\", \"profile\": \"Default\"}"),
              std::string::npos) << json.substr(0, 300);
}

TEST(InternetListTest, ProfilesInTheBrowsersOrderGiveTheUserFolders) {
    test::BrowserHome home;
    const std::string legacy = home.home() + "/.mozilla/firefox";
    fs::create_directories(legacy + "/b.other");
    fs::create_directories(legacy + "/c.marked");
    fs::create_directories(legacy + "/a.used");
    std::ofstream(legacy + "/profiles.ini")
        << "[Profile0]\nIsRelative=1\nPath=b.other\n[Profile1]\nIsRelative=1\nPath=gone\n[Profile2]\nIsRelative=1\n"
           "Path=c.marked\nDefault=1\n[Profile3]\nIsRelative=1\nPath=a.used\n[InstallABC]\nDefault=a.used\n";
    home.AddChromiumProfile("Profile 1");
    home.AddChromiumProfile("Default");
    fs::create_directories(home.home() + "/.config/chromium/Crash Reports");
    std::vector<std::string> names;
    for (const BrowserProfile& p : FindBrowserProfiles()) names.push_back(p.name);
    EXPECT_EQ(names, (std::vector<std::string>{"a.used", "c.marked", "b.other", "Default", "Profile 1"}));

    RegistryStore registry(home.home() + "/registry");
    std::ofstream(home.home() + "/.config/user-dirs.dirs")
        << "XDG_DESKTOP_DIR=\"$HOME/Desk\"\nXDG_DOWNLOAD_DIR=\"$HOME/Fetched\"\n";
    std::string oracle;
    ASSERT_EQ(test::RunCommand("xdg-user-dir DOWNLOAD", &oracle), 0);
    UserFolders folders = FindUserFolders(FindBrowserProfiles(), registry);
    EXPECT_EQ(folders.downloadedPrograms, oracle.substr(0, oracle.size() - 1) + "/");
    EXPECT_EQ(folders.history, legacy + "/a.used/");
    EXPECT_EQ(folders.internetCache, home.home() + "/.cache/mozilla/firefox/a.used/");
    ASSERT_TRUE(registry.CreateKey(kInternetSettingsKey));
    using Pair = std::pair<std::string, std::string>;
    for (const auto& [value, expected] : {Pair{"/opt/ax/", "/opt/ax/"}, Pair{"/ax", home.home() + "/Fetched/"}}) {
        ASSERT_TRUE(registry.WriteString(kInternetSettingsKey, "ActiveXCache", value));
        EXPECT_EQ(FindUserFolders({}, registry).downloadedPrograms, expected) << value;
    }
    EXPECT_EQ(FindUserFolders({}, registry).history, "");
    fs::remove(home.home() + "/.config/user-dirs.dirs");
    EXPECT_EQ(DownloadFolder(), home.home());
}

}  // namespace
}  // namespace quillo
