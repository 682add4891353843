// The cleaner window over the internet lists of a browser profile: the
// caption with its count, the tail of a long URL in the auxiliary list,
// Open handing the URL to the browser, Delete of a row and of a row whose
// profile is in use, and the Tools items that open the three lists.
#include <QAction>
#include <QApplication>
#include <QTimer>
#include <QtTest>

#include <filesystem>

#include "cleaner/cleaner_list.h"
#include "cleaner/xclean.h"
#include "common/engine_context.h"
#include "mainwindow/main_window.h"
#include "mainwindow/menu_bar.h"
#include "tests/support/browser_home.h"

using namespace quillo;
using namespace quillo::gui;
namespace fs = std::filesystem;

class InternetListsTest : public QObject {
    Q_OBJECT
private:
    const std::string longUrl_ = "http://example.com/" + std::string(1005, 'a');
    std::unique_ptr<test::BrowserHome> home_;
    std::string profile_;
    QuietView view_;
    SystemClock clock_;
    DriveTable table_{{}};
    std::unique_ptr<EngineContext> ctx_;
    std::unique_ptr<ListEnvironment> env_;
    QStringList said_, opened_;

    std::unique_ptr<Xclean> Open(const std::string& keyword) {
        CleanerHooks hooks;
        hooks.message = [this](const QString&, const QString& text, QMessageBox::Icon) { said_ << text; };
        hooks.askYesNo = [this](const QString&, const QString& text, QMessageBox::Icon) { return said_ << text, true; };
        hooks.openUrl = [this](const QString& url) { return opened_ << url, true; };
        auto window = std::make_unique<Xclean>(*env_, keyword, nullptr, hooks);
        window->show();
        if (!QTest::qWaitFor([&] { return window->Filled(); }, 20000)) return nullptr;
        return window;
    }

    static int RowOf(const CleanerList& list, const QString& text) {
        for (int i = 0; i < list.count(); ++i)
            if (list.item(i)->text() == text) return i;
        return -1;
    }

private slots:
    void init() {
        home_ = std::make_unique<test::BrowserHome>();
        profile_ = home_->AddFirefoxProfile("ab12cd34.default-esr", true);
        const std::string entries = home_->FirefoxEntries("ab12cd34.default-esr");
        test::BrowserHome::AddFirefoxEntry(entries, "0A", "a,:http://example.com/page");
        test::BrowserHome::AddFirefoxEntry(entries, "1B", ":" + longUrl_ + "bcd");
        test::BrowserHome::AddMozCookie(profile_, "a", ".example.com", "/");
        ctx_ = std::make_unique<EngineContext>(view_, clock_, table_);
        env_ = std::make_unique<ListEnvironment>(ListEnvironment{*ctx_, "/tmp/", {}});
        said_.clear();
        opened_.clear();
    }
    void cleanup() { home_.reset(); }

    void UrlCacheShowsTailsOpensAndDeletes() {
        auto w = Open("URLcache");
        QVERIFY(w != nullptr);
        QCOMPARE(w->windowTitle(), QString("URL cache (2)"));
        QVERIFY(!w->MenuItem("Properties_")->isVisible());
        QCOMPARE(w->List(1).count(), 1);
        QCOMPARE(w->List(1).item(0)->text(), QString("bcd"));
        const int page = RowOf(w->List(0), "http://example.com/page");
        w->List(0).setCurrentRow(page);
        w->OpenCommand();
        QCOMPARE(opened_, QStringList{"http://example.com/page"});

        const int longRow = RowOf(w->List(0), QString::fromStdString(longUrl_.substr(0, 1024)));
        w->List(0).clearSelection();
        w->List(0).item(longRow)->setSelected(true);
        w->DeleteCommand();
        QCOMPARE(said_, QStringList{"Are you sure you want to delete 1 files?"});
        QCOMPARE(w->List(0).count(), 1);
        QVERIFY(!fs::exists(home_->FirefoxEntries("ab12cd34.default-esr") + "/1B"));
    }

    void CookiesOfAProfileInUseStayWithTheMessage() {
        fs::create_symlink("127.0.0.1:+" + std::to_string(::getpid()), profile_ + "/lock");
        auto w = Open("Cookies");
        QVERIFY(w != nullptr);
        QCOMPARE(w->windowTitle(), QString("Cookies (1)"));
        QVERIFY(!w->MenuItem("Open_")->isVisible());
        w->SelectAll();
        w->DeleteCommand();
        QCOMPARE(said_.last(), QString("Some URLs could not be deleted."));
        QCOMPARE(w->List(0).count(), 1);
        QCOMPARE(test::BrowserHome::Sql(profile_ + "/cookies.sqlite", "SELECT count(*) FROM moz_cookies"), "1\n");
    }

    void ToolsItemsOpenTheInternetLists() {
        WindowHooks hooks;
        hooks.showDelayMs = 0;
        hooks.showMessage = [](MessageStyle, const QString&) {};
        hooks.beep = [] {};
        hooks.endProgram = [] {};
        NTQuilF main(hooks);
        main.FormLoad({}, "");  // start-up finds the first profile's folders
        QCOMPARE(main.HistoryFolder, profile_ + "/");
        QCOMPARE(main.ctx().scan.DownloadedProgramsFolder, home_->home() + "/");  // no user-dirs.dirs: the home
        QStringList titles;
        QTimer closer;
        closer.setInterval(20);
        connect(&closer, &QTimer::timeout, this, [&] {
            auto* cleaner = qobject_cast<Xclean*>(QApplication::activeModalWidget());
            if (cleaner == nullptr || !cleaner->Filled()) return;
            titles << cleaner->windowTitle();
            cleaner->ExitCommand();
        });
        closer.start();
        for (const char* item : {"URLcache_", "DeleteCookies_", "TempInternet_"}) main.menus().Item(item)->trigger();
        QCOMPARE(titles, (QStringList{"URL cache (2)", "Cookies (1)", "Internet temporary files (2)"}));
    }
};

QTEST_MAIN(InternetListsTest)
#include "internet_lists_test.moc"
