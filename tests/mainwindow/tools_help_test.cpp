// The Tools and Help items of the main window: a topic for every help
// context any window declares, F1 on the menus, the help window, HexExplorer
// from the menu (and its busy message), the ScanDisk view over clean and
// damaged volumes, and the launchers with stand-in programs.
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QTextBrowser>
#include <QtTest>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "common/little_endian.h"
#include "hexexplorer/hex_explorer.h"
#include "mainwindow/checker_window.h"
#include "mainwindow/help_contexts.h"
#include "mainwindow/help_system.h"
#include "mainwindow/menu_bar.h"
#include "tests/support/window_fixture.h"

using namespace quillo;
using namespace quillo::gui;
using quillo::test::StartedWindow;

namespace {

template <typename T>
T* FindTopLevel(const QString& name = {}) {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* found = qobject_cast<T*>(widget); found && found->isVisible() &&
                                                     (name.isEmpty() || found->objectName() == name))
            return found;
    return nullptr;
}

// The context number of the help pop-up showing now; 0 when none is.
int PopupContext() {
    QWidget* popup = FindTopLevel<QWidget>(kHelpPopupName);
    return popup != nullptr ? popup->property(kHelpPopupContext).toInt() : 0;
}

// The image's bytes and modification time.
std::pair<std::vector<uint8_t>, int64_t> StampOf(const std::string& path) {
    struct stat st {};
    stat(path.c_str(), &st);
    return {quillo::test::ReadFileBytes(path), st.st_mtim.tv_sec * 1000000000ll + st.st_mtim.tv_nsec};
}

bool OnlyMessage(const StartedWindow& s, const QString& start) {
    return s.recorder.messages.size() == 1 && s.recorder.messages[0].second.startsWith(start);
}

}  // namespace

class ToolsHelpTest : public QObject {
    Q_OBJECT

private:
    quillo::test::WindowTestFiles files_;
    std::string volume_;  // FAT16, one file in the root

private slots:
    void initTestCase() {
        QVERIFY(quillo::test::HaveFatTools());
        volume_ = files_.File("v16.img");
        QVERIFY(quillo::test::MakeFatImage(volume_, 8192, "-F 16 -s 1"));
        QCOMPARE(quillo::test::RunCommand("echo hello > " + files_.File("h.txt") + " && MTOOLS_SKIP_CHECK=1 mcopy -i " +
                                          volume_ + " " + files_.File("h.txt") + " ::HELLO.TXT"),
                 0);
    }

    // Every help context number a menu, item, page or window declares has a
    // topic of its own that says something, and the contents lead to it.
    void everyDeclaredContextHasATopic() {
        QFile file(":/help/contents.html");
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString contentsPage = QString::fromUtf8(file.readAll());
        for (const DeclaredHelpContext& declared : DeclaredHelpContexts()) {
            QTextDocument topic;
            topic.setHtml(HelpTopic(declared.context));
            const QString what = QString::fromStdString(declared.owner) + " (" + QString::number(declared.context) + ")";
            QVERIFY2(topic.toPlainText().simplified().size() > 150, qPrintable("no topic or a short one for " + what));
            QVERIFY2(contentsPage.contains(QString("href=\"%1.html\"").arg(declared.context)),
                     qPrintable("contents miss " + what));
        }
        // Every link between topics leads to a topic.
        const QRegularExpression link("href=\"([^\"]+)\"");
        for (const HelpTopicEntry& topic : HelpTopics()) {
            QVERIFY2(!topic.title.isEmpty(), qPrintable(QString::number(topic.context)));
            for (const QRegularExpressionMatch& match : link.globalMatch(HelpTopic(topic.context)))
                QVERIFY2(QFile::exists(":/help/" + match.captured(1)), qPrintable(match.captured(1)));
        }
    }

    // F1 shows the highlighted item's topic, else its menu's, else (no menu
    // open) the program's; Esc closes the pop-up.
    void f1ShowsTheTopicOfWhatIsHighlighted_data() {
        QTest::addColumn<QString>("menu");
        QTest::addColumn<QString>("item");
        QTest::addColumn<int>("context");
        QTest::newRow("Tools menu, nothing highlighted") << "Tools_Menu" << "" << 530;
        QTest::newRow("HexExplorer") << "Tools_Menu" << "Hex_" << 150;
        QTest::newRow("Defrag All, no context of its own") << "Defrag_Menu" << "DefragAll_" << 560;
        QTest::newRow("no menu open") << "" << "" << kMainWindowHelpContext;
    }
    void f1ShowsTheTopicOfWhatIsHighlighted() {
        QFETCH(QString, menu);
        QFETCH(QString, item);
        QFETCH(int, context);
        files_.FreshConfig();
        StartedWindow s({});
        s.window.show();
        QWidget* target = &s.window;
        if (!menu.isEmpty()) {
            QMenu* open = s.window.menus().Menu(menu);
            open->popup(s.window.mapToGlobal(QPoint(10, 10)));
            QTRY_VERIFY(open->isVisible());
            if (!item.isEmpty()) open->setActiveAction(s.window.menus().Item(item));
            target = open;
        }
        QTest::keyClick(target, Qt::Key_F1);
        QCOMPARE(PopupContext(), context);
        QVERIFY(!target->isVisible() || target == &s.window);
        QTest::keyClick(FindTopLevel<QWidget>(kHelpPopupName), Qt::Key_Escape);
        QTRY_COMPARE(PopupContext(), 0);
    }

    void topicsOpensTheHelpWindowAtItsContents() {
        files_.FreshConfig();
        StartedWindow s({});
        s.window.menus().Item("Topics_")->trigger();
        auto* help = FindTopLevel<QDialog>("HelpWindow");
        QVERIFY(help != nullptr);
        auto* browser = help->findChild<QTextBrowser*>("HelpBrowser");
        auto* list = help->findChild<QListWidget*>("HelpTopicList");
        auto* search = help->findChild<QLineEdit*>("HelpSearch");
        QCOMPARE(browser->source().toString(), QString("qrc:/help/contents.html"));
        QCOMPARE(help->focusWidget(), search);

        QTest::keyClicks(search, "fsck.fat");
        std::vector<int> shown;
        for (int row = 0; row < list->count(); ++row)
            if (!list->item(row)->isHidden()) shown.push_back(list->item(row)->data(Qt::UserRole).toInt());
        const std::vector<int> found = SearchHelp("fsck.fat");
        QCOMPARE(std::set<int>(shown.begin(), shown.end()), std::set<int>(found.begin(), found.end()));
        QVERIFY(std::count(shown.begin(), shown.end(), 930) == 1 && std::count(shown.begin(), shown.end(), 560) == 0);
        QTest::keyClick(search, Qt::Key_Return);
        QVERIFY(browser->source().toString().endsWith(QString("/%1.html").arg(shown.front())));
        browser->backward();
        QCOMPARE(browser->source().toString(), QString("qrc:/help/contents.html"));
        help->close();
    }

    // Tools > HexExplorer opens the viewer and releases the volume after it;
    // a drive another program holds locked gets the busy message; a read
    // that fails closes the viewer and ends in the disk-error message.
    void hexExplorerFromTheMenu() {
        const std::string image = files_.Fresh(volume_);
        StartedWindow s({{image, false}});
        QString title;
        QTimer::singleShot(0, &s.window, [&] {
            auto* viewer = FindTopLevel<NTQuilHex>();
            QVERIFY(viewer != nullptr);
            QTRY_VERIFY(viewer->ShowCount() > 0 && viewer->CurrentSector() > 0);
            title = viewer->windowTitle();
            QTest::keyClick(&viewer->txtBlock(), Qt::Key_End);
            QTest::keyClick(&viewer->txtDir(), Qt::Key_Escape);  // at the root: closes
        });
        s.window.menus().Item("Hex_")->trigger();
        QCOMPARE(title, QString("HexExplorer C:"));
        QVERIFY(s.recorder.messages.empty() && s.window.ctx().dev.DeviceHandle == nullptr);

        const int holder = open(image.c_str(), O_RDWR);
        QCOMPARE(flock(holder, LOCK_EX | LOCK_NB), 0);
        s.window.menus().Item("Hex_")->trigger();
        close(holder);
        QVERIFY(OnlyMessage(s, "The drive is busy. Another program has locked it or"));
        QVERIFY(FindTopLevel<NTQuilHex>() == nullptr);

        s.recorder.messages.clear();
        QTimer::singleShot(0, &s.window, [&] {
            QVERIFY(quillo::test::SetFileSize(image, 1 << 20));
            QTest::keyClick(&FindTopLevel<NTQuilHex>()->txtBlock(), Qt::Key_End);
        });
        s.window.menus().Item("Hex_")->trigger();
        QVERIFY(OnlyMessage(s, "A serious disk error has been detected on this drive."));
    }

    // ScanDisk shows fsck.fat's text and verdict for a volume that is the
    // whole image and for one inside a partitioned disk (checked as a copy
    // that goes away), and never changes the image.
    void scanDiskShowsTheCheckersVerdict_data() {
        QTest::addColumn<bool>("partitioned");
        QTest::addColumn<bool>("damaged");
        QTest::newRow("whole image, clean") << false << false;
        QTest::newRow("whole image, damaged") << false << true;
        QTest::newRow("partition, clean") << true << false;
        QTest::newRow("partition, damaged") << true << true;
    }
    void scanDiskShowsTheCheckersVerdict() {
        QFETCH(bool, partitioned);
        QFETCH(bool, damaged);
        std::string image = files_.Fresh(volume_);
        const uint64_t offset = partitioned ? 2048 * 512 : 0;
        if (partitioned) {  // an MBR and the volume in partition 1 at 1 MiB
            const std::vector<uint8_t> bytes = quillo::test::ReadFileBytes(image);
            std::vector<uint8_t> mbr(512, 0);
            quillo::test::PutPartitionEntry(mbr.data(), 0, 0x06, 2048, static_cast<uint32_t>(bytes.size() / 512));
            quillo::test::PutSignature(mbr.data());
            image = files_.File("disk.img", true);
            QVERIFY(quillo::test::WriteFileBytes(image, 0, mbr) && quillo::test::WriteFileBytes(image, offset, bytes));
        }
        if (damaged) {  // the first root entry gets a size its chain cannot hold
            const std::vector<uint8_t> boot = quillo::test::ReadFileBytes(image);
            const uint8_t* b = boot.data() + offset;
            std::vector<uint8_t> size(4);
            put_le32(size.data(), 5000);
            QVERIFY(quillo::test::WriteFileBytes(image, offset + (le16(b + 14) + b[16] * le16(b + 22)) * 512ull + 28, size));
        }
        StartedWindow s({{image, false}});
        const auto before = StampOf(image);

        s.window.menus().Item("ScanDisk_")->trigger();
        auto* checker = FindTopLevel<CheckerWindow>();
        QVERIFY(checker != nullptr);
        QCOMPARE(checker->windowTitle(), QString("ScanDisk C:"));
        QTRY_VERIFY_WITH_TIMEOUT(checker->Finished(), 30000);
        const QString text = checker->Text();
        QVERIFY2(text.contains("fsck.fat 4."), qPrintable(text));
        QVERIFY2(text.contains(CheckerWindow::Verdict("fsck.fat", damaged ? 1 : 0)), qPrintable(text));
        QCOMPARE(text.contains("File size is 5000 bytes"), damaged);
        QCOMPARE(text.contains("a copy of its sectors"), partitioned);
        QVERIFY(text.contains(partitioned ? "volume.img" : QString::fromStdString(image)));
        if (partitioned) {  // the copy went with the check
            const QString copy = text.section('\n', 2, 2).section(' ', -1);
            QVERIFY2(copy.endsWith("volume.img") && !QFile::exists(copy), qPrintable(copy));
        }
        QVERIFY(StampOf(image) == before);
        QVERIFY(s.recorder.messages.empty());
        checker->close();
    }

    // Each launcher starts its counterpart when it is on the PATH, and does
    // nothing at all when it is not.
    void launchersStartTheirCounterpartOrNothing() {
        files_.FreshConfig();
        const std::string bin = files_.File("bin", true);
        std::filesystem::create_directories(bin);
        for (const char* name : {"dconf-editor", "xdg-open"}) {
            const std::string path = bin + "/" + name;
            std::ofstream(path) << "#!/bin/sh\necho \"$*\" >> '" << path << ".ran'\n";
            chmod(path.c_str(), 0755);
        }
        // Every line a stand-in wrote.
        auto ranWith = [&](const char* name) {
            std::ifstream ran(bin + "/" + name + ".ran");
            std::vector<std::string> lines;
            for (std::string line; std::getline(ran, line);) lines.push_back(line);
            return lines;
        };
        const std::string savedPath = std::getenv("PATH");
        setenv("PATH", bin.c_str(), 1);
        StartedWindow s({});
        const int windowsBefore = QApplication::topLevelWidgets().size();
        s.window.menus().Item("Hex_")->trigger();  // no drive attached: nothing to look at

        s.window.menus().Item("regcheck_")->trigger();
        QTRY_COMPARE(ranWith("dconf-editor").size(), size_t{1});
        s.window.HistoryFolder = "/tmp/history folder/";
        s.window.menus().Item("History_")->trigger();
        QTRY_COMPARE(ranWith("xdg-open"), std::vector<std::string>{"/tmp/history folder/"});

        for (const char* missing : {"msconfig_", "sysfile_", "sysinfo_", "ASDagent_"})
            s.window.menus().Item(missing)->trigger();
        setenv("PATH", savedPath.c_str(), 1);
        QCOMPARE(QApplication::topLevelWidgets().size(), windowsBefore);
        QVERIFY(s.recorder.messages.empty());
        QCOMPARE(std::distance(std::filesystem::directory_iterator(bin), std::filesystem::directory_iterator()), 4);
    }
};

QTEST_MAIN(ToolsHelpTest)
#include "tools_help_test.moc"
