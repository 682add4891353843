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
#include "mainwindow/main_window.h"
#include "mainwindow/menu_bar.h"
#include "tests/support/test_images.h"

using namespace quillo;
using namespace quillo::gui;

namespace {

struct Recorder {
    std::vector<QString> messages;
    WindowHooks Hooks() {
        WindowHooks hooks;
        hooks.showDelayMs = 0;
        hooks.showMessage = [this](MessageStyle, const QString& text) { messages.push_back(text); };
        hooks.beep = [] {};
        hooks.endProgram = [] {};
        return hooks;
    }
};

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

void CloseHelpPopups() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == kHelpPopupName) widget->close();
}

QString PlainText(const QString& html) {
    QTextDocument document;
    document.setHtml(html);
    return document.toPlainText();
}

struct FileStamp {
    std::vector<uint8_t> bytes;
    int64_t seconds = 0, nanoseconds = 0;
    bool operator==(const FileStamp&) const = default;
};

FileStamp StampOf(const std::string& path) {
    struct stat st {};
    stat(path.c_str(), &st);
    return {quillo::test::ReadFileBytes(path), st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
}

}  // namespace

class ToolsHelpTest : public QObject {
    Q_OBJECT

private:
    quillo::test::TempDir dir_;
    std::string volume_;  // FAT16, one file in the root
    int round_ = 0;

    // A private copy and a fresh option store for each case.
    std::string Fresh(const std::string& image) {
        const std::string folder = dir_.File("config" + std::to_string(++round_));
        std::filesystem::create_directories(folder);
        setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
        const std::string copy = dir_.File("work" + std::to_string(round_) + ".img");
        std::filesystem::copy_file(image, copy);
        return copy;
    }

    // The volume's first root entry gets a size its chain cannot hold.
    static void DamageFileSize(const std::string& image, uint64_t volumeOffset) {
        std::vector<uint8_t> boot(512);
        std::ifstream(image, std::ios::binary).seekg(volumeOffset).read(reinterpret_cast<char*>(boot.data()), 512);
        const uint64_t root = (le16(&boot[14]) + boot[16] * le16(&boot[22])) * 512ull;
        std::vector<uint8_t> size(4);
        put_le32(size.data(), 5000);
        QVERIFY(quillo::test::WriteFileBytes(image, volumeOffset + root + 28, size));
    }

    // A disk with an MBR and `volume` in partition 1 at 1 MiB.
    std::string Partitioned(const std::string& volume) {
        const std::string disk = dir_.File("disk" + std::to_string(++round_) + ".img");
        const std::vector<uint8_t> bytes = quillo::test::ReadFileBytes(volume);
        std::vector<uint8_t> mbr(512, 0);
        quillo::test::PutPartitionEntry(mbr.data(), 0, 0x06, 2048, static_cast<uint32_t>(bytes.size() / 512));
        quillo::test::PutSignature(mbr.data());
        quillo::test::WriteFileBytes(disk, 0, mbr);
        quillo::test::WriteFileBytes(disk, 2048 * 512, bytes);
        return disk;
    }

private slots:
    void initTestCase() {
        QVERIFY(quillo::test::HaveFatTools());
        volume_ = dir_.File("v16.img");
        QVERIFY(quillo::test::MakeFatImage(volume_, 8192, "-F 16 -s 1"));
        QCOMPARE(quillo::test::RunCommand("echo hello > " + dir_.File("h.txt") + " && MTOOLS_SKIP_CHECK=1 mcopy -i " +
                                          volume_ + " " + dir_.File("h.txt") + " ::HELLO.TXT"),
                 0);
    }

    // Every help context number a menu, item, page or window declares has a
    // topic of its own that says something, and the contents lead to it.
    void everyDeclaredContextHasATopic() {
        QFile file(":/help/contents.html");
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString contentsPage = QString::fromUtf8(file.readAll());
        std::set<int> contexts;
        for (const DeclaredHelpContext& declared : DeclaredHelpContexts()) {
            const QString topic = HelpTopic(declared.context);
            const QString what = QString::fromStdString(declared.owner) + " (" + QString::number(declared.context) + ")";
            QVERIFY2(!topic.isEmpty(), qPrintable("no topic for " + what));
            QVERIFY2(PlainText(topic).simplified().size() > 150, qPrintable("topic too short for " + what));
            QVERIFY2(contentsPage.contains(QString("href=\"%1.html\"").arg(declared.context)),
                     qPrintable("contents miss " + what));
            contexts.insert(declared.context);
        }
        // The declarations of the windows built elsewhere are there too.
        for (int context : {490, 450, 570, 480, 500, 990, 670, 970, 1020, 550, 860, 150, 930})
            QVERIFY(contexts.count(context) == 1);
        // Every link between topics leads to a topic.
        const QRegularExpression link("href=\"([^\"]+)\"");
        for (const HelpTopicEntry& topic : HelpTopics()) {
            QVERIFY2(!topic.title.isEmpty(), qPrintable(QString::number(topic.context)));
            for (const QRegularExpressionMatch& match : link.globalMatch(HelpTopic(topic.context)))
                QVERIFY2(QFile::exists(":/help/" + match.captured(1)), qPrintable(match.captured(1)));
        }
    }

    void f1ShowsTheHighlightedItemsTopicOrItsMenus_data() {
        QTest::addColumn<QString>("menu");
        QTest::addColumn<QString>("item");
        QTest::addColumn<int>("context");
        QTest::newRow("Tools menu, nothing highlighted") << "Tools_Menu" << "" << 530;
        QTest::newRow("HexExplorer") << "Tools_Menu" << "Hex_" << 150;
        QTest::newRow("ScanDisk") << "Tools_Menu" << "ScanDisk_" << 930;
        QTest::newRow("Defrag All, no context of its own") << "Defrag_Menu" << "DefragAll_" << 560;
        QTest::newRow("Topics, no context of its own") << "Help_Menu" << "Topics_" << 10;
        QTest::newRow("Display, no context of its own") << "Settings_Menu" << "DisplaySettings_" << 570;
        QTest::newRow("AutoDefrag") << "Settings_Menu" << "AutoSettings_" << 450;
    }
    void f1ShowsTheHighlightedItemsTopicOrItsMenus() {
        QFETCH(QString, menu);
        QFETCH(QString, item);
        QFETCH(int, context);
        Fresh(volume_);
        Recorder recorder;
        NTQuilF window(recorder.Hooks());
        window.FormLoad({}, "");
        window.show();
        QMenu* open = window.menus().Menu(menu);
        open->popup(window.mapToGlobal(QPoint(10, 10)));
        QTRY_VERIFY(open->isVisible());
        if (!item.isEmpty()) open->setActiveAction(window.menus().Item(item));
        QTest::keyClick(open, Qt::Key_F1);
        QCOMPARE(PopupContext(), context);
        QVERIFY(!open->isVisible());
        CloseHelpPopups();
    }

    void f1WithNoMenuOpenShowsTheProgramsTopic() {
        Fresh(volume_);
        Recorder recorder;
        NTQuilF window(recorder.Hooks());
        window.FormLoad({}, "");
        window.show();
        QTest::keyClick(&window, Qt::Key_F1);
        QCOMPARE(PopupContext(), kMainWindowHelpContext);
        QWidget* popup = FindTopLevel<QWidget>(kHelpPopupName);
        QTest::keyClick(popup, Qt::Key_Escape);
        QTRY_COMPARE(PopupContext(), 0);
    }

    void topicsOpensTheHelpWindowAtItsContents() {
        Fresh(volume_);
        Recorder recorder;
        NTQuilF window(recorder.Hooks());
        window.FormLoad({}, "");
        window.menus().Item("Topics_")->trigger();
        auto* help = FindTopLevel<QDialog>("HelpWindow");
        QVERIFY(help != nullptr);
        auto* browser = help->findChild<QTextBrowser*>("HelpBrowser");
        auto* list = help->findChild<QListWidget*>("HelpTopicList");
        auto* search = help->findChild<QLineEdit*>("HelpSearch");
        QCOMPARE(browser->source().toString(), QString("qrc:/help/contents.html"));
        QCOMPARE(list->count(), int(HelpTopics().size()));
        QCOMPARE(help->focusWidget(), search);

        QTest::keyClicks(search, "fsck.fat");
        std::set<int> shown;
        for (int row = 0; row < list->count(); ++row)
            if (!list->item(row)->isHidden()) shown.insert(list->item(row)->data(Qt::UserRole).toInt());
        QVERIFY(shown.count(930) == 1 && shown.count(120) == 1);
        QVERIFY(shown.count(560) == 0);
        const std::vector<int> found = SearchHelp("fsck.fat");
        QCOMPARE(shown, std::set<int>(found.begin(), found.end()));
        int firstShown = 0;
        for (int row = list->count() - 1; row >= 0; --row)
            if (!list->item(row)->isHidden()) firstShown = list->item(row)->data(Qt::UserRole).toInt();
        QTest::keyClick(search, Qt::Key_Return);
        QVERIFY(browser->source().toString().endsWith(QString("/%1.html").arg(firstShown)));
        browser->backward();
        QCOMPARE(browser->source().toString(), QString("qrc:/help/contents.html"));
        help->close();
    }

    // Tools > HexExplorer opens the viewer read-only and leaves the image as
    // it was; a drive another program holds locked gets the busy message.
    void hexExplorerFromTheMenu() {
        const std::string image = Fresh(volume_);
        Recorder recorder;
        NTQuilF window(recorder.Hooks());
        window.FormLoad({{image, false}}, "");
        const FileStamp before = StampOf(image);

        QString title;
        int32_t firstSector = -1;
        QTimer::singleShot(0, &window, [&] {
            auto* viewer = FindTopLevel<NTQuilHex>();
            QVERIFY(viewer != nullptr);
            QTRY_VERIFY(viewer->ShowCount() > 0);
            title = viewer->windowTitle();
            firstSector = viewer->CurrentSector();
            QTest::keyClick(&viewer->txtBlock(), Qt::Key_End);
            QTest::keyClick(&viewer->txtDir(), Qt::Key_Escape);  // at the root: closes
        });
        window.menus().Item("Hex_")->trigger();
        QCOMPARE(title, QString("HexExplorer C:"));
        QVERIFY(firstSector > 0);
        QVERIFY(recorder.messages.empty());
        QVERIFY(window.ctx().dev.DeviceHandle == nullptr);
        QVERIFY(StampOf(image) == before);

        const int holder = open(image.c_str(), O_RDWR);
        QCOMPARE(flock(holder, LOCK_EX | LOCK_NB), 0);
        window.menus().Item("Hex_")->trigger();
        close(holder);
        QCOMPARE(recorder.messages.size(), size_t(1));
        QVERIFY(recorder.messages.front().startsWith("The drive is busy. Another program has locked it or"));
        QVERIFY(FindTopLevel<NTQuilHex>() == nullptr);

        // A read that fails closes the viewer and ends in the disk-error message.
        QTimer::singleShot(0, &window, [&] {
            auto* viewer = FindTopLevel<NTQuilHex>();
            QVERIFY(viewer != nullptr);
            QVERIFY(quillo::test::SetFileSize(image, 1 << 20));
            QTest::keyClick(&viewer->txtBlock(), Qt::Key_End);
        });
        window.menus().Item("Hex_")->trigger();
        QCOMPARE(recorder.messages.size(), size_t(2));
        QVERIFY(recorder.messages.back().startsWith("A serious disk error has been detected on this drive."));
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
        std::string image = Fresh(volume_);
        if (partitioned) image = Partitioned(image);
        if (damaged) DamageFileSize(image, partitioned ? 2048 * 512 : 0);
        Recorder recorder;
        NTQuilF window(recorder.Hooks());
        window.FormLoad({{image, false}}, "");
        const FileStamp before = StampOf(image);

        window.menus().Item("ScanDisk_")->trigger();
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
        QVERIFY(recorder.messages.empty());
        checker->close();
    }

    // Each launcher starts its counterpart when it is on the PATH, and does
    // nothing at all when it is not.
    void launchersStartTheirCounterpartOrNothing() {
        Fresh(volume_);
        const std::string bin = dir_.File("bin" + std::to_string(round_));
        std::filesystem::create_directories(bin);
        for (const char* name : {"dconf-editor", "xdg-open"}) {
            const std::string path = bin + "/" + name;
            std::ofstream(path) << "#!/bin/sh\necho \"$*\" >> '" << path << ".ran'\n";
            chmod(path.c_str(), 0755);
        }
        // Every line a stand-in wrote, once `count` lines are there.
        auto ranWith = [&](const char* name, size_t count) {
            std::vector<std::string> lines;
            QTest::qWaitFor([&] {
                std::ifstream ran(bin + "/" + name + ".ran");
                lines.clear();
                for (std::string line; std::getline(ran, line);) lines.push_back(line);
                return lines.size() >= count;
            });
            return lines;
        };
        const std::string savedPath = std::getenv("PATH");
        setenv("PATH", bin.c_str(), 1);
        Recorder recorder;
        NTQuilF window(recorder.Hooks());
        window.FormLoad({}, "");
        const int windowsBefore = QApplication::topLevelWidgets().size();
        window.menus().Item("Hex_")->trigger();  // no drive attached: nothing to look at

        window.menus().Item("regcheck_")->trigger();
        QCOMPARE(ranWith("dconf-editor", 1).size(), size_t{1});
        window.HistoryFolder = "/tmp/history folder/";
        window.menus().Item("History_")->trigger();
        QCOMPARE(ranWith("xdg-open", 1), std::vector<std::string>{"/tmp/history folder/"});

        for (const char* missing : {"msconfig_", "sysfile_", "sysinfo_", "ASDagent_"})
            window.menus().Item(missing)->trigger();
        setenv("PATH", savedPath.c_str(), 1);
        QCOMPARE(QApplication::topLevelWidgets().size(), windowsBefore);
        QVERIFY(recorder.messages.empty());
        QCOMPARE(std::distance(std::filesystem::directory_iterator(bin), std::filesystem::directory_iterator()), 4);
    }
};

QTEST_MAIN(ToolsHelpTest)
#include "tools_help_test.moc"
