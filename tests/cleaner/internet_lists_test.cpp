// The cleaner window over a browser profile's URL cache: the count in the
// caption, a long URL's tail in the auxiliary list, Open handing the URL to
// the browser, Delete; and the Tools items that open the internet lists.
#include <QAction>
#include <QApplication>
#include <QTimer>
#include <QtTest>

#include <filesystem>

#include "cleaner/cleaner_list.h"
#include "cleaner/xclean.h"
#include "mainwindow/menu_bar.h"
#include "tests/support/attached_world.h"
#include "tests/support/browser_home.h"
#include "tests/support/window_fixture.h"

using namespace quillo;
using namespace quillo::gui;

class InternetListsTest : public QObject {
    Q_OBJECT
private:
    const std::string longUrl_ = "http://example.com/" + std::string(1005, 'a');  // 1,024 characters
    std::unique_ptr<test::BrowserHome> home_;
    std::string profile_;

private slots:
    void init() {
        home_ = std::make_unique<test::BrowserHome>();
        profile_ = home_->AddFirefoxProfile("ab12cd34.default-esr", true);
        const std::string entries = home_->FirefoxEntries("ab12cd34.default-esr");
        test::BrowserHome::AddFirefoxEntry(entries, "0A", "a,:http://example.com/page");
        test::BrowserHome::AddFirefoxEntry(entries, "1B", ":" + longUrl_ + "bcd");
        test::BrowserHome::AddMozCookie(profile_, "a", ".example.com", "/");
    }
    void cleanup() { home_.reset(); }

    void UrlCacheShowsTailsOpensAndDeletes() {
        test::AttachedWorld world;
        ListEnvironment env{world.ctx, "/tmp/", {}};
        QStringList said, opened;
        CleanerHooks hooks;
        hooks.askYesNo = [&](const QString&, const QString& text, QMessageBox::Icon) { return said << text, true; };
        hooks.openUrl = [&](const QString& url) { return opened << url, true; };
        Xclean w(env, "URLcache", nullptr, hooks);
        w.show();
        QVERIFY(QTest::qWaitFor([&] { return w.Filled(); }, 20000));
        QVERIFY(!w.MenuItem("Properties_")->isVisible());
        QCOMPARE(w.List(1).count(), 1);
        QCOMPARE(w.List(1).item(0)->text(), QString("bcd"));
        QCOMPARE(w.List(0).item(1)->text(), QString("http://example.com/page"));  // sorted after "...aaa"
        w.List(0).setCurrentRow(1);
        w.OpenCommand();
        QCOMPARE(opened, QStringList{"http://example.com/page"});

        w.List(0).setCurrentRow(0);
        w.DeleteCommand();
        QCOMPARE(said, QStringList{"Are you sure you want to delete 1 files?"});
        QCOMPARE(w.List(0).count(), 1);
        QVERIFY(!std::filesystem::exists(home_->FirefoxEntries("ab12cd34.default-esr") + "/1B"));
    }

    void ToolsItemsOpenTheInternetListsOverTheFoldersStartUpFinds() {
        test::WindowRecorder recorder;
        NTQuilF main(recorder.Hooks());
        main.FormLoad({}, "");
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
