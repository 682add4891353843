// The main window over real images: commands, the interface lock, Stop and
// Esc, the end-of-run messages, unattended drive lists, the map per drive,
// remembered disks and the size rules.
#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QTimer>
#include <QtTest>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "common/little_endian.h"
#include "mainwindow/command_line.h"
#include "mainwindow/disk_map.h"
#include "mainwindow/drive_list.h"
#include "mainwindow/image_toolbar.h"
#include "mainwindow/menu_bar.h"
#include "mainwindow/window_layout.h"
#include "platform/config_paths.h"
#include "platform/option_store.h"
#include "tests/support/console_run.h"
#include "tests/support/window_fixture.h"

using namespace quillo;
using namespace quillo::gui;
using quillo::test::ShellQuote;
using quillo::test::DuringRun;
using quillo::test::StartedWindow;

namespace {

QStringList LogLines(NTQuilF& window) {
    QStringList lines;
    for (int i = 0; i < window.log().count(); ++i) lines << window.log().item(i)->text();
    return lines;
}

std::string Fatcheck(const std::string& arguments, std::string* output = nullptr) {
    return std::to_string(quillo::test::RunCommand(
        "python3 " + ShellQuote(std::string(QUILLO_TOOLS_DIR) + "/fatcheck") + " " + arguments, output));
}

// The files' contents as the vendored checker digests them.
std::string Digest(const std::string& image, const std::string& partition = "") {
    std::string output;
    Fatcheck(partition + " --contents-digest " + ShellQuote(image), &output);
    return output;
}

bool FsckClean(const std::string& image) { return quillo::test::RunCommand("fsck.fat -n " + ShellQuote(image)) == 0; }

// The map's picture shows nothing in cells `from` to `to` (exclusive).
bool MapBlankBetween(NTQuilF& window, int from, int to) {
    const QImage& canvas = window.picMap().Canvas();
    const QColor blank = canvas.pixelColor(0, 14);  // the left margin
    for (int cell = from; cell < to; cell += 37)
        if (canvas.pixelColor(CellOrigin(window.picMap().Geometry(), cell) + QPoint(1, 1)) != blank) return false;
    return true;
}

// The clusters each file and folder of the image owns, from fatinspect.
std::vector<uint8_t> OwnedClusters(const std::string& image, int64_t maxCluster) {
    std::vector<uint8_t> owned(maxCluster + 1, 0);
    using quillo::test::JsonArrayItem;
    const std::string entries = *quillo::test::JsonField(quillo::test::FatinspectJson(image, "--list"), "entries");
    for (size_t i = 0; const std::optional<std::string> entry = JsonArrayItem(entries, i); ++i) {
        const std::string runs = *quillo::test::JsonField(*entry, "runs");
        for (size_t r = 0; const std::optional<std::string> run = JsonArrayItem(runs, r); ++r) {
            const int64_t start = std::stoll(*JsonArrayItem(*run, 0));
            std::fill_n(owned.begin() + start, std::stoll(*JsonArrayItem(*run, 1)), 1);
        }
    }
    return owned;
}

struct StopRow {
    bool defragment;
    bool fromMenuKeys;  // else the toolbar button
    bool byExit;        // else Esc
};

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    quillo::test::WindowTestFiles files_;
    std::string small16_;
    std::string disk_;

private slots:
    void initTestCase() {
        QVERIFY(quillo::test::HaveFatTools());
        small16_ = files_.File("small16.img");
        disk_ = files_.File("disk.img");
        QVERIFY(quillo::test::MakeFragImage(small16_, "--preset small16"));
        QVERIFY(quillo::test::MakeFragImage(disk_, "--preset disk"));
    }

    // Every way of typing the list runs exactly the drives it names; "*"
    // takes the stored list (letters joined by commas).
    void driveListLetters() {
        const std::pair<std::string, std::string> rows[] = {
            {"C", "C"}, {"c d", "CD"}, {"C: D:", "CD"}, {"CD", "CD"}, {"*", "CE"}, {" / ,", ""}, {"", ""}};
        for (const auto& [commandLine, letters] : rows) {
            const std::vector<char> found = DriveListLetters(UnattendedDriveList(commandLine, "C,E"));
            QVERIFY2(std::string(found.begin(), found.end()) == letters, commandLine.c_str());
        }
    }

    // Start-up draws the first drive's map; a Check fills the log and paints
    // every cell the way the volume's own layout says.
    void checkPaintsTheMapFromTheVolume() {
        const std::string image = files_.Fresh(small16_);
        StartedWindow s({{image, false}});
        NTQuilF& window = s.window;
        QVERIFY(window.Ready && window.ctx().chains.MapCells.size() > 1);
        window.CheckDiskCommand();
        QVERIFY(s.recorder.messages.empty() && s.recorder.beeps == 0);
        QVERIFY2(LogLines(window).contains("Files = 400, Folders = 20"), qPrintable(LogLines(window).join('|')));

        // Cells wholly inside a file's run show a used category; cells of
        // free clusters only show Empty.
        const EngineContext& ctx = window.ctx();
        const std::vector<uint8_t> owned = OwnedClusters(image, ctx.geo.MaxCluster);
        const int32_t perCell = ctx.chains.ClustersPerCell;
        int usedCells = 0, freeCells = 0;
        for (size_t cell = 1; cell < ctx.chains.MapCells.size(); ++cell) {
            const int64_t first = static_cast<int64_t>(cell) * perCell;
            if (first < 2 || first + perCell - 1 > ctx.geo.MaxCluster) continue;
            const int ownedHere = std::count(owned.begin() + first, owned.begin() + first + perCell, 1);
            const uint8_t category = ctx.chains.MapCells[cell];
            const QString row = QString("cell %1 shows %2").arg(cell).arg(category);
            if (ownedHere == perCell) {
                ++usedCells;
                QVERIFY2(category == 9 || category == 12 || category == 4 || category == 1, qPrintable(row));
            } else if (ownedHere == 0) {
                ++freeCells;
                QVERIFY2(category == 15, qPrintable(row));
            }
        }
        QVERIFY(usedCells > 1000 && freeCells > 100);
    }

    // A run locks the interface and shows Stop. Esc, delivered as the
    // platform delivers a key (to the widget with the focus), stops it
    // however it was started: a command chosen from the menus by keyboard
    // leaves the focus on the menu bar. Exit and closing the window during
    // a run only stop it. Either way the volume is whole.
    void stopsDuringARun_data() {
        QTest::addColumn<StopRow>("row");
        QTest::newRow("Esc, Defragment from the toolbar") << StopRow{true, false, false};
        QTest::newRow("Esc, Check from the Tools menu by keys") << StopRow{false, true, false};
        QTest::newRow("Esc, Defragment from the Defrag menu by keys") << StopRow{true, true, false};
        QTest::newRow("Exit and close, Defragment from the toolbar") << StopRow{true, false, true};
    }
    void stopsDuringARun() {
        QFETCH(StopRow, row);
        const auto [defragment, fromMenuKeys, byExit] = row;
        const std::string image = files_.Fresh(small16_);
        const std::string before = Digest(image);
        StartedWindow s({{image, false}});
        NTQuilF& window = s.window;
        window.activateWindow();  // no window manager does it under a bare X server
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QWindow* screenWindow = window.windowHandle();
        bool locked = false, stoppedInRun = false, closed = true;
        DuringRun(window, [&] {
            locked = !window.menus().Item("Defrag_")->isEnabled() && window.menus().Item("Exit_")->isEnabled() &&
                     window.toolbar().IsElementVisible(10);
            if (byExit) {
                window.ExitCommand();
                closed = window.close();
            } else {
                QTest::keyClick(screenWindow, Qt::Key_Escape);
            }
            stoppedInRun = window.ctx().run.UserAbort;
        });
        if (fromMenuKeys) {
            QTest::keyClick(screenWindow, defragment ? Qt::Key_D : Qt::Key_T, Qt::AltModifier);
            QTest::keyClick(screenWindow, defragment ? Qt::Key_D : Qt::Key_C);
        } else {
            QTest::mouseClick(window.toolbar().Element(defragment ? 5 : 9), Qt::LeftButton);
        }
        QVERIFY(locked && stoppedInRun);
        if (byExit) QVERIFY(!closed);
        QCOMPARE(LogLines(window).last(), QString("(User stop)"));
        QVERIFY(s.recorder.messages.empty() && s.recorder.ends == 0 && !window.Ended());
        QVERIFY(!window.RunActive && window.menus().Item("Defrag_")->isEnabled());
        QVERIFY(!window.toolbar().IsElementVisible(10));
        QVERIFY(FsckClean(image));
        QCOMPARE(Digest(image), before);

        // Esc while idle only raises the stop flag; Exit now ends.
        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(window.ctx().run.StopRequested && !window.Ended());
        window.ExitCommand();
        QCOMPARE(s.recorder.ends, 1);
    }

    // A Defragment keeps every file and leaves none fragmented. A resize
    // during it leaves the run's grid alone; afterwards the map is recomputed
    // for the new size by a map-only pass, and the run's log stays. The date
    // of the run belongs to this volume, for the window and the console front
    // end alike, and not to another volume given the same letter.
    void defragKeepsEveryFileAndRecordsTheVolumesDate() {
        const std::string image = files_.Fresh(small16_);
        const std::string before = Digest(image);
        StartedWindow s({{image, false}});
        NTQuilF& window = s.window;
        window.ctx().log.LogPath = files_.File("run.LOG", true);  // this run's lines only
        window.resize(640, 480);
        QApplication::processEvents();
        const int cellsBefore = window.picMap().Geometry().CellCount;
        int cellsDuringRun = 0;
        DuringRun(window, [&] {
            window.resize(780, 560);
            QApplication::processEvents();
            cellsDuringRun = window.picMap().Geometry().CellCount;
        });
        window.DefragCommand();
        QVERIFY(s.recorder.messages.empty());
        QCOMPARE(s.recorder.beeps, 1);
        QVERIFY(FsckClean(image));
        QCOMPARE(Digest(image), before);
        QCOMPARE(quillo::test::JsonNumber(quillo::test::FatinspectJson(image), "fragmented_files"), 0);
        QCOMPARE(cellsDuringRun, cellsBefore);
        QVERIFY(window.picMap().Geometry().CellCount > cellsBefore);
        QCOMPARE(window.ctx().chains.CellCount, window.picMap().Geometry().CellCount);
        QVERIFY(LogLines(window).contains("Fragmented Files = 0"));
        std::ifstream file(window.ctx().log.LogPath, std::ios::binary);  // the log file has the run's lines too
        const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        QVERIFY(text.find("Fragmented Files = 0\r\n") != std::string::npos);

        window.CheckDiskCommand();
        QCOMPARE(LogLines(window).filter(QRegularExpression("^Last defrag = \\w+ \\d\\d, 20\\d\\d$")).size(), 1);
        const std::string config = std::getenv("XDG_CONFIG_HOME");
        QVERIFY(quillo::test::RunConsole("--disk " + ShellQuote(image) + " check C", config).output.find(
                    "Last defrag = ") != std::string::npos);
        const std::string other = files_.File("other.img", true);
        std::filesystem::copy_file(image, other);
        QVERIFY(quillo::test::WriteFileBytes(other, 39, {0x78, 0x56, 0x34, 0x12}));  // its serial number
        const quillo::test::ConsoleRun otherCheck = quillo::test::RunConsole("--disk " + ShellQuote(other) + " check C", config);
        QCOMPARE(otherCheck.status, 0);
        QVERIFY2(otherCheck.output.find("Last defrag") == std::string::npos, otherCheck.output.c_str());
    }

    void damagedVolumeGetsTheStructuralMessage() {
        const std::string image = files_.Fresh(small16_);
        // Two files' chains joined: the first file's first cluster leads into
        // the second's first cluster.
        const std::string json = quillo::test::FatinspectJson(image, "--list");
        const std::string entries = *quillo::test::JsonField(json, "entries");
        std::vector<int64_t> firsts;
        for (size_t i = 0; firsts.size() < 2; ++i) {
            const std::string entry = *quillo::test::JsonArrayItem(entries, i);
            if (quillo::test::JsonField(entry, "is_dir") == "false" && *quillo::test::JsonNumber(entry, "size") > 0)
                firsts.push_back(*quillo::test::JsonNumber(entry, "first_cluster"));
        }
        std::vector<uint8_t> link(2);
        put_le16(link.data(), static_cast<uint16_t>(firsts[1]));
        QVERIFY(quillo::test::WriteFileBytes(image, *quillo::test::JsonNumber(json, "reserved_sectors") * 512 + firsts[0] * 2, link));
        const std::vector<uint8_t> bytes = quillo::test::ReadFileBytes(image);

        StartedWindow s({{image, false}});
        s.recorder.messages.clear();
        s.window.DefragCommand();
        QCOMPARE(s.recorder.messages.size(), size_t{1});
        QCOMPARE(s.recorder.messages[0].first, MessageStyle::Critical);
        QVERIFY(s.recorder.messages[0].second.startsWith("Structural errors have been detected on this drive.\n"));
        // The first file's chain now runs on into the second's: longer than
        // its size, which the scan (like fsck.fat) meets first.
        QVERIFY(s.recorder.messages[0].second.contains("Err=Size disagrees with the chain"));
        QVERIFY(quillo::test::ReadFileBytes(image) == bytes);
        QVERIFY(s.window.menus().Item("Defrag_")->isEnabled());
    }

    // "*" takes the stored list; a letter typed without a separator names a
    // drive too; a list that names no drive says so and fails.
    void unattendedDriveLists() {
        const std::string image = files_.Fresh(disk_);
        const std::string beforeC = Digest(image, "--partition 1");
        const std::string beforeD = Digest(image, "--partition 5");
        OptionStore::ForApplication(kQuilloAppName).WriteText("AutoDefrag", "D,C");
        {
            StartedWindow s({{image, false}}, "*");
            QVERIFY(s.window.Ended() && s.recorder.ends == 1 && s.recorder.messages.empty());
            QCOMPARE(LogLines(s.window).filter(QRegularExpression("^Drive ")), QStringList({"Drive D:", "Drive C:"}));
            QCOMPARE(s.recorder.beeps, 0);  // unattended runs do not go through the Defrag command
        }
        QCOMPARE(Fatcheck("--partition 1 " + ShellQuote(image)) + Fatcheck("--partition 5 " + ShellQuote(image)), "00");
        QCOMPARE(Digest(image, "--partition 1"), beforeC);
        QCOMPARE(Digest(image, "--partition 5"), beforeD);

        StartedWindow typed({}, "C");  // the disk is remembered; C: is packed already
        QVERIFY(typed.window.Ended());
        QCOMPARE(LogLines(typed.window).filter(QRegularExpression("^Drive ")), QStringList({"Drive C:"}));
        QCOMPARE(typed.window.ExitStatus(), 0);

        const std::vector<uint8_t> after = quillo::test::ReadFileBytes(image);
        std::string output;
        QCOMPARE(quillo::test::RunCommand(std::string(QUILLO_WINDOW_PATH) + " Q Z", &output), kExitNoDrive);
        QVERIFY2(output.find("\"Q Z\" names no attached drive (drives: C: D:)") != std::string::npos, output.c_str());
        QVERIFY(quillo::test::ReadFileBytes(image) == after);
    }

    // With no disk the commands do nothing, the hint stays and the disk
    // buttons are greyed. "Open disk image...": a FAT image becomes a drive,
    // is selected and its map is drawn.
    void openDiskImageAttachesAndSelects() {
        const std::string image = files_.Fresh(small16_);
        StartedWindow s({});
        NTQuilF& window = s.window;
        QVERIFY(!window.driveMenu().items[1].visible);
        window.DefragCommand();
        window.CheckDiskCommand();
        QTest::mouseClick(window.toolbar().Element(0), Qt::LeftButton);
        QVERIFY(s.recorder.messages.empty());
        QCOMPARE(LogLines(window), QStringList({kNoDiskHint}));
        for (int element : {19, 20, 21, 22}) QVERIFY(window.toolbar().IsElementVisible(element));
        for (int element : {0, 4}) QVERIFY(!window.toolbar().Element(element)->isEnabled());
        QVERIFY(!window.menus().Item("Defrag_")->isEnabled() && !window.menus().Item("CheckDisk_")->isEnabled());

        QVERIFY(window.AttachDiskImage(image));
        QCOMPARE(window.ctx().run.DriveString, std::string("C:"));
        QVERIFY(window.menus().DriveItem(1)->isVisible() && window.menus().Item("Defrag_")->isEnabled());
        QVERIFY(window.toolbar().IsElementVisible(5) && window.toolbar().Element(0)->isEnabled());
        QVERIFY(window.ctx().chains.MapCells.size() > 1);
    }

    // Next and Previous go round the drives that can be worked on: a volume
    // we refuse is passed by, listed greyed with its reason as the tip (also
    // once a run unlocks the menus). A smaller volume's map does not keep
    // the rows of the drive shown before.
    void previousAndNextPassARefusedDriveAndStartFromABlankMap() {
        const std::string refused = files_.File("one-table.img");
        QVERIFY(quillo::test::MakeFatImage(refused, 8192, "-F 16 -s 1 -f 1"));
        StartedWindow s({{refused, false}, {files_.Fresh(disk_), false}});
        NTQuilF& window = s.window;
        QAction* c = window.menus().DriveItem(1);
        QVERIFY(c->isVisible() && !c->isEnabled() && window.menus().Menu("Disk_Menu")->toolTipsVisible());
        QCOMPARE(c->text(), QString("&C:  (not supported)"));
        QCOMPARE(c->toolTip(), QString("2 allocation tables needed, this volume has 1"));
        QCOMPARE(window.ctx().run.DriveString, std::string("D:"));  // start-up passes it by
        const int cellsOfD = int(window.ctx().chains.MapCells.size());
        window.StepDrive(+1);
        QCOMPARE(window.ctx().run.DriveString, std::string("E:"));
        const int cellsOfE = int(window.ctx().chains.MapCells.size());
        window.CheckDiskCommand();
        QVERIFY(!c->isEnabled() && window.menus().DriveItem(2)->isEnabled());
        window.StepDrive(+1);  // wraps from the last visible item to D:
        QCOMPARE(window.ctx().run.DriveString, std::string("D:"));
        QVERIFY(cellsOfD + 100 < cellsOfE && MapBlankBetween(window, cellsOfD + 1, cellsOfE));
        window.StepDrive(-1);
        QCOMPARE(window.ctx().run.DriveString, std::string("E:"));
    }

    // Disks are remembered by absolute paths, and one that cannot be found
    // at the next start is said in the window's log.
    void rememberedDisks_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("withAnotherDisk");
        QTest::newRow("plain name, alone") << "held.img" << false;
        QTest::newRow("dotted name, beside another disk") << "./sub/./held.img" << true;
    }
    void rememberedDisks() {
        QFETCH(QString, typed);
        QFETCH(bool, withAnotherDisk);
        const std::string image = files_.Fresh(small16_);
        const std::string folder = files_.File("started", true);
        std::filesystem::create_directories(folder + "/sub");
        const std::string held = folder + (typed.contains("sub") ? "/sub/held.img" : "/held.img");
        std::filesystem::copy_file(image, held);
        const std::filesystem::path home = std::filesystem::current_path();
        std::filesystem::current_path(folder);
        const CommandLine line = ParseCommandLine({"--disk", typed.toStdString()});
        std::filesystem::current_path(home);
        QCOMPARE(line.disks.size(), size_t{1});
        QCOMPARE(line.disks[0].path, held);
        StartedWindow(line.disks);
        QCOMPARE(RememberedDisks(OptionStore::ForApplication(kQuilloAppName))[0].path, held);

        std::filesystem::remove(held);
        StartedWindow s(withAnotherDisk ? std::vector<AttachedDisk>{{image, false}} : std::vector<AttachedDisk>{});
        const QStringList log = LogLines(s.window);
        QVERIFY2(log.filter(QString::fromStdString(held + ": cannot open: No such file or directory")).size() == 1,
                 qPrintable(log.join('|')));
        QCOMPARE(s.window.DriveSelected(), withAnotherDisk);
        QCOMPARE(log.contains(kNoDiskHint), !withAnotherDisk);
        QCOMPARE(log.contains("Volume size = 31.9MB"), withAnotherDisk);
    }

    void storedSizeIsRestoredWithinTheWorkArea() {
        const SizeLimits limits{6000, 7000, 12000, 15000};
        const struct { WindowLengths designed, stored, restored; const char* row; } cases[] = {
            {{9000, 14000}, {8000, 10000}, {8000, 10000}, "within the limits"},
            {{9000, 14000}, {5000, 0}, {9000, 14000}, "below the minimum, or never stored: designed"},
            {{9000, 14000}, {13000, 16000}, {9000, 14000}, "beyond the work area: designed"},
            {{20000, 20000}, {0, 0}, {12000, 15000}, "designed beyond the work area: shrunk"}};
        for (const auto& c : cases) {
            const WindowLengths restored = RestoreWindowSize(c.designed, c.stored, limits);
            QVERIFY2(restored.Height == c.restored.Height && restored.Width == c.restored.Width, c.row);
        }
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
