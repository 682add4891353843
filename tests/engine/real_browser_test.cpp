// The internet lists against a real browser, where one is installed (the
// setup script installs none, so elsewhere this is skipped): the browser,
// headless, loads pages from a local server that sets cookies; the lists
// show those URLs and cookies; after they are deleted the browser, started
// again, sends no cookie and fetches the cached image anew.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "engine/internet_list.h"
#include "platform/config_paths.h"
#include "tests/support/background_process.h"
#include "tests/support/browser_home.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/recording_sink.h"

namespace quillo {
namespace {

// Logs "PATH COOKIE-HEADER" per request; pages under /set set two cookies.
constexpr const char* kServer = R"(import http.server, sys
log = open(sys.argv[1], "a", buffering=1)
class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        log.write("%s %s\n" % (self.path, self.headers.get("Cookie", "-")))
        png = self.path.endswith(".png")
        body = b"\x89PNG\r\n\x1a\n" + bytes(64) if png else b"<html><body><img src='/img.png'></body></html>"
        self.send_response(200)
        self.send_header("Content-Type", "image/png" if png else "text/html")
        self.send_header("Cache-Control", "max-age=3600")
        if self.path.startswith("/set"):
            self.send_header("Set-Cookie", "quillo=1; Max-Age=86400; Path=/")
            self.send_header("Set-Cookie", "deep=2; Max-Age=86400; Path=/sub")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)
    def log_message(self, *args): pass
server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
open(sys.argv[2], "w").write(str(server.server_port))
server.serve_forever()
)";

// Prefs that keep Firefox off the network apart from our server.
constexpr const char* kQuietFirefox = R"(user_pref("app.update.enabled", false);
user_pref("browser.safebrowsing.malware.enabled", false);
user_pref("browser.safebrowsing.phishing.enabled", false);
user_pref("datareporting.policy.dataSubmissionEnabled", false);
user_pref("network.captive-portal-service.enabled", false);
user_pref("network.connectivity-service.enabled", false);
)";

std::string ReadAll(const std::string& path) {
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

// The rows of a list; those holding `needle` are deleted, and the delete's message kept.
std::vector<std::string> ListAndDelete(const char* prefix, const std::string& needle, std::string& message) {
    testing::ScriptedDrive drive;
    ListEnvironment env{drive.ctx, "/tmp/", {}};
    InternetCacheSource source(env, prefix);
    test::RecordingSink sink;
    source.Fill(sink);
    std::vector<ListRow> chosen;
    for (const ListRow& row : sink.rows)
        if (row.text.find(needle) != std::string::npos) chosen.push_back(row);
    message = source.Delete(chosen).message;
    return sink.Texts();
}

bool Has(const std::vector<std::string>& rows, const std::string& row) {
    return std::find(rows.begin(), rows.end(), row) != rows.end();
}

TEST(RealBrowserTest, ListedUrlsAndCookiesAreGoneForTheBrowserAfterADelete) {
    const char* browsers[] = {"firefox-esr", "chromium"};
    int ran = 0;
    for (const char* browser : browsers) {
        if (test::RunCommand(std::string("command -v ") + browser + " >/dev/null") != 0) continue;
        SCOPED_TRACE(browser);
        ++ran;
        test::BrowserHome home;
        const std::string h = home.home();
        std::ofstream(h + "/server.py") << kServer;
        test::BackgroundProcess server("exec python3 " + test::ShellQuote(h + "/server.py") + " " +
                                       test::ShellQuote(h + "/requests") + " " + test::ShellQuote(h + "/port"));
        ASSERT_TRUE(test::WaitForFile(h + "/port"));
        ::usleep(100000);
        const std::string site = "http://127.0.0.1:" + ReadAll(h + "/port");
        std::string command;
        if (std::string(browser) == "chromium") {
            command = "chromium --headless --no-sandbox --disable-gpu --no-first-run --disable-background-networking "
                      "--disable-component-update --disable-sync --disable-default-apps --disable-extensions "
                      "--user-data-dir=" + test::ShellQuote(h + "/.config/chromium") + " --dump-dom ";
        } else {
            const std::string root = h + "/.config/mozilla/firefox";
            std::filesystem::create_directories(root + "/quillo.test");
            std::ofstream(root + "/profiles.ini")
                << "[Profile0]\nName=quillo\nIsRelative=1\nPath=quillo.test\nDefault=1\n";
            std::ofstream(root + "/quillo.test/user.js") << kQuietFirefox;
            command = "firefox-esr --headless -P quillo --screenshot " + test::ShellQuote(h + "/shot.png") + " ";
        }
        auto visit = [&](const std::string& page) {
            std::ofstream(h + "/requests", std::ios::trunc).flush();
            test::RunCommand("timeout 120 " + command + test::ShellQuote(site + page) + " >/dev/null 2>&1");
            return ReadAll(h + "/requests");
        };
        visit("/set/page");
        // Before the delete: the cookie goes along and the image comes from the cache.
        std::string requests = visit("/check");
        ASSERT_NE(requests.find("/check quillo=1"), std::string::npos) << requests;
        ASSERT_EQ(requests.find("/img.png"), std::string::npos) << requests;

        std::string message = "unset";
        const auto urls = ListAndDelete("http:", site + "/", message);
        EXPECT_TRUE(Has(urls, site + "/set/page") && Has(urls, site + "/img.png")) << ::testing::PrintToString(urls);
        EXPECT_EQ(message, "");
        const std::string me = UserName() + "@127.0.0.1/";
        const auto cookies = ListAndDelete("Cookie:", me, message);
        EXPECT_TRUE(Has(cookies, me) && Has(cookies, me + "sub")) << ::testing::PrintToString(cookies);
        EXPECT_EQ(message, "");

        requests = visit("/check");
        EXPECT_NE(requests.find("/check -"), std::string::npos) << requests;
        EXPECT_NE(requests.find("/img.png -"), std::string::npos) << requests;
    }
    if (ran == 0) GTEST_SKIP() << "neither firefox-esr nor chromium is installed";
}

}  // namespace
}  // namespace quillo
