// The main window over real images: commands, the interface lock, Stop, the
// end-of-run messages, unattended drive lists and the size rules.
#include <QLabel>
#include <QListWidget>
#include <QTimer>
#include <QtTest>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "common/little_endian.h"
#include "mainwindow/command_line.h"
#include "mainwindow/disk_map.h"
#include "mainwindow/drive_list.h"
#include "mainwindow/image_toolbar.h"
#include "mainwindow/main_window.h"
#include "mainwindow/menu_bar.h"
#include "mainwindow/window_layout.h"
#include "platform/config_paths.h"
#include "platform/option_store.h"
#include "tests/support/console_run.h"
#include "tests/support/test_images.h"

using namespace quillo;
using namespace quillo::gui;
using quillo::test::ShellQuote;

namespace {

struct Recorder {
    std::vector<std::pair<MessageStyle, QString>> messages;
    int beeps = 0;
    int ends = 0;

    WindowHooks Hooks() {
        WindowHooks hooks;
        hooks.showDelayMs = 0;
        hooks.showMessage = [this](MessageStyle style, const QString& text) { messages.push_back({style, text}); };
        hooks.beep = [this] { ++beeps; };
        hooks.endProgram = [this] { ++ends; };
        return hooks;
    }
};

QStringList LogLines(NTQuilF& window) {
    QStringList lines;
    for (int i = 0; i < window.log().count(); ++i) lines << window.log().item(i)->text();
    return lines;
}

std::string Digest(const std::string& image, const std::string& partition = "") {
    std::string output;
    quillo::test::RunCommand("python3 " + ShellQuote(std::string(QUILLO_TOOLS_DIR) + "/fatcheck") + " " +
                                 partition + " --contents-digest " + ShellQuote(image),
                             &output);
    return output;
}

bool FsckClean(const std::string& image) {
    return quillo::test::RunCommand("fsck.fat -n " + ShellQuote(image)) == 0;
}

bool FatcheckClean(const std::string& image, const std::string& partition) {
    return quillo::test::RunCommand("python3 " + ShellQuote(std::string(QUILLO_TOOLS_DIR) + "/fatcheck") + " " +
                                    partition + " " + ShellQuote(image)) == 0;
}

// Calls `probe` once, at the first moment a run is executing.
void DuringRun(NTQuilF& window, std::function<void()> probe) {
    auto* timer = new QTimer(&window);
    timer->setInterval(0);
    QObject::connect(timer, &QTimer::timeout, &window, [&window, timer, probe] {
        if (!window.RunInProgress) return;
        timer->stop();
        timer->deleteLater();
        probe();
    });
    timer->start();
}

// The map's picture shows nothing in cells `from` to `to` (exclusive).
bool MapBlankBetween(NTQuilF& window, int from, int to) {
    const QImage& canvas = window.picMap().Canvas();
    const QColor blank = canvas.pixelColor(0, 14);  // the left margin
    for (int cell = from; cell < to; cell += 37) {
        if (canvas.pixelColor(CellOrigin(window.picMap().Geometry(), cell) + QPoint(1, 1)) != blank) return false;
    }
    return true;
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    quillo::test::TempDir dir_;
    std::string small16_;
    std::string disk_;
    int round_ = 0;

    // A private copy of an image and a fresh option store for each case.
    std::string Fresh(const std::string& image) {
        const std::string folder = dir_.File("config" + std::to_string(++round_));
        std::filesystem::create_directories(folder);
        setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
        const std::string copy = dir_.File("work" + std::to_string(round_) + ".img");
        std::filesystem::copy_file(image, copy);
        return copy;
    }

private slots:
    void initTestCase() {
        QVERIFY(quillo::test::HaveFatTools());
        small16_ = dir_.File("small16.img");
        disk_ = dir_.File("disk.img");
        QVERIFY(quillo::test::MakeFragImage(small16_, "--preset small16"));
        QVERIFY(quillo::test::MakeFragImage(disk_, "--preset disk"));
    }

    // Every way of typing the list runs exactly the drives it names; "*"
    // takes the stored list (letters joined by commas).
    void driveListLetters_data() {
        QTest::addColumn<QString>("commandLine");
        QTest::addColumn<QString>("letters");
        QTest::newRow("one letter") << "C" << "C";
        QTest::newRow("letters with blanks") << "c d" << "CD";
        QTest::newRow("letters with colons") << "C: D:" << "CD";
        QTest::newRow("letters run together") << "CD" << "CD";
        QTest::newRow("each behind a slash") << "/C /D" << "CD";
        QTest::newRow("slash and comma") << "/C,D" << "CD";
        QTest::newRow("stored list") << "*" << "CE";
        QTest::newRow("separators only") << " / ," << "";
        QTest::newRow("no list") << "" << "";
    }
    void driveListLetters() {
        QFETCH(QString, commandLine);
        QFETCH(QString, letters);
        const std::vector<char> found = DriveListLetters(UnattendedDriveList(commandLine.toStdString(), "C,E"));
        QCOMPARE(QString::fromStdString(std::string(found.begin(), found.end())), letters);
    }

    // Start-up draws the first drive's map; a Check fills the log and paints
    // every cell the way the volume's own layout says.
    void checkPaintsTheMapFromTheVolume() {
        const std::string image = Fresh(small16_);
        Recorder recorder;
        NTQuilF window(recorder.Hooks());
        window.FormLoad({{image, false}}, "");
        QVERIFY(window.Ready);
        QCOMPARE(window.driveTitle().text().left(2), QString("C:"));
        QVERIFY(window.ctx().chains.MapCells.size() > 1);
        QVERIFY(LogLines(window).contains("Volume size = 31.9MB"));  // the map-only pass's lines

        window.CheckDiskCommand();
        QVERIFY(recorder.messages.empty());
        QCOMPARE(recorder.beeps, 0);
        const QStringList log = LogLines(window);
        QVERIFY2(log.contains("Files = 400, Folders = 20"), qPrintable(log.join('|')));
        QVERIFY(log.filter("Fragmented").size() == 1);

        // Cells wholly inside a file's run show a used category; cells of
        // free clusters only show Empty.
        const std::string json = quillo::test::FatinspectJson(image, "--list");
        const EngineContext& ctx = window.ctx();
        const int32_t perCell = ctx.chains.ClustersPerCell;
        std::vector<uint8_t> owned(ctx.geo.MaxCluster + 1, 0);
        for (size_t i = 0;; ++i) {
            const std::optional<std::string> entry =
                quillo::test::JsonArrayItem(*quillo::test::JsonField(json, "entries"), i);
            if (!entry) break;
            const std::string runs = *quillo::test::JsonField(*entry, "runs");
            for (size_t r = 0;; ++r) {
                const std::optional<std::string> run = quillo::test::JsonArrayItem(runs, r);
                if (!run) break;
                const std::optional<std::string> start = quillo::test::JsonArrayItem(*run, 0);
                const std::optional<std::string> length = quillo::test::JsonArrayItem(*run, 1);
                for (int64_t c = std::stoll(*start); c < std::stoll(*start) + std::stoll(*length); ++c) owned[c] = 1;
            }
        }
        int usedCells = 0, freeCells = 0;
        for (size_t cell = 1; cell < ctx.chains.MapCells.size(); ++cell) {
            const int64_t first = static_cast<int64_t>(cell) * perCell;
            const int64_t last = first + perCell - 1;
            if (first < 2 || last > ctx.geo.MaxCluster) continue;
            int ownedHere = 0;
            for (int64_t c = first; c <= last; ++c) ownedHere += owned[c];
            const uint8_t category = ctx.chains.MapCells[cell];
            if (ownedHere == perCell) {
                ++usedCells;
                QVERIFY2(category == 9 || category == 12 || category == 4 || category == 1,
                         qPrintable(QString("cell %1 shows %2").arg(cell).arg(category)));
            } else if (ownedHere == 0) {
                ++freeCells;
                QCOMPARE(int(category), 15);
            }
        }
        QVERIFY(usedCells > 1000 && freeCells > 100);
        // The map's picture agrees with the cells: a used cell is not white.
        const QImage& canvas = window.picMap().Canvas();
        const QPoint origin = CellOrigin(window.picMap().Geometry(), 200);
        QVERIFY(canvas.pixelColor(origin + QPoint(1, 1)) != QColor(255, 255, 255) ||
                ctx.chains.MapCells[200] == 15);
    }

    // The interface lock during a run, Stop, and the exit paths that only ask
    // the run to stop.
    void stopExitAndCloseDuringARun() {
        const std::string image = Fresh(small16_);
        Recorder recorder;
        NTQuilF window(recorder.Hooks());
        window.FormLoad({{image, false}}, "");
        const std::string before = Digest(image);

        bool defragEnabledWhileRunning = true, exitEnabledWhileRunning = false, closed = true;
        DuringRun(window, [&] {
            defragEnabledWhileRunning = window.menus().Item("Defrag_")->isEnabled();
            exitEnabledWhileRunning = window.menus().Item("Exit_")->isEnabled();
            QVERIFY(window.toolbar().IsElementVisible(10));  // Stop shown
            window.ExitCommand();
            closed = window.close();
        });
        window.DefragCommand();
        QVERIFY(!defragEnabledWhileRunning);
        QVERIFY(exitEnabledWhileRunning);
        QVERIFY(!closed);
        QCOMPARE(recorder.ends, 0);
        QVERIFY(!window.Ended());
        QCOMPARE(LogLines(window).last(), QString("(User stop)"));
        QVERIFY(window.menus().Item("Defrag_")->isEnabled());
        QVERIFY(!window.toolbar().IsElementVisible(10));
        QVERIFY(FsckClean(image));
        QCOMPARE(Digest(image), before);

        // Esc while idle only raises the stop flag; Exit now ends.
        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(window.ctx().run.StopRequested);
        window.ExitCommand();
        QCOMPARE(recorder.ends, 1);
    }

    // Esc, delivered to the window as the platform delivers a key (to the
    // widget with the focus), stops a run however it was started. A command
    // chosen from the menus by keyboard leaves the focus on the menu bar.
    void escStopsARun_data() {
        QTest::addColumn<bool>("defragment");
        QTest::addColumn<bool>("fromMenuKeys");  // else the toolbar button
        QTest::newRow("Check from the toolbar") << false << false;
        QTest::newRow("Defragment from the toolbar") << true << false;
        QTest::newRow("Check from the Tools menu by keys") << false << true;
        QTest::newRow("Defragment from the Defrag menu by keys") << true << true;
    }
    void escStopsARun() {
        QFETCH(bool, defragment);
        QFETCH(bool, fromMenuKeys);
        const std::string image = Fresh(small16_);
        const std::string before = Digest(image);
        Recorder recorder;
        NTQuilF window(recorder.Hooks());
        window.FormLoad({{image, false}}, "");
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QWindow* screenWindow = window.windowHandle();
        bool stoppedInRun = false;
        DuringRun(window, [&] {
            QTest::keyClick(screenWindow, Qt::Key_Escape);
            stoppedInRun = window.ctx().run.UserAbort;
        });
        if (fromMenuKeys) {
            QTest::keyClick(screenWindow, defragment ? Qt::Key_D : Qt::Key_T, Qt::AltModifier);
            QTest::keyClick(screenWindow, defragment ? Qt::Key_D : Qt::Key_C);
        } else {
            QTest::mouseClick(window.toolbar().Element(defragment ? 5 : 9), Qt::LeftButton);
        }
        QVERIFY(stoppedInRun);
        QCOMPARE(LogLines(window).last(), QString("(User stop)"));
        QVERIFY(recorder.messages.empty());
        QVERIFY(!window.RunActive);
        QVERIFY(FsckClean(image));
        QCOMPARE(Digest(image), before);
    }

    void defragFromTheWindowKeepsEveryFile() {
        const std::string image = Fresh(small16_);
        const std::string before = Digest(image);
        Recorder recorder;
        NTQuilF window(recorder.Hooks());
        window.FormLoad({{image, false}}, "");
        window.DefragCommand();
        QVERIFY(recorder.messages.empty());
        QCOMPARE(recorder.beeps, 1);
        QVERIFY(FsckClean(image));
        QCOMPARE(Digest(image), before);
        QCOMPARE(quillo::test::JsonNumber(quillo::test::FatinspectJson(image), "fragmented_files"), 0);
        QVERIFY(LogLines(window).contains("Fragmented Files = 0"));
        // The run's lines went to the log file as well.
        std::ifstream file(window.ctx().log.LogPath, std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        QVERIFY(text.find("Fragmented Files = 0\r\n") != std::string::npos);

        // The date of the run belongs to this volume, for the window and the
        // console front end alike, and not to another volume given the same
        // letter.
        window.CheckDiskCommand();
        QCOMPARE(LogLines(window).filter(QRegularExpression("^Last defrag = \\w+ \\d\\d, 20\\d\\d$")).size(), 1);
        const std::string config = std::getenv("XDG_CONFIG_HOME");
        const std::string disk = "--disk " + ShellQuote(image);
        QVERIFY(quillo::test::RunConsole(disk + " check C", config).output.find("Last defrag = ") != std::string::npos);
        const std::string other = dir_.File("other" + std::to_string(round_) + ".img");
        std::filesystem::copy_file(image, other);
        QVERIFY(quillo::test::WriteFileBytes(other, 39, {0x78, 0x56, 0x34, 0x12}));  // its serial number
        const quillo::test::ConsoleRun otherCheck = quillo::test::RunConsole("--disk " + ShellQuote(other) + " check C", config);
        QCOMPARE(otherCheck.status, 0);
        QVERIFY2(otherCheck.output.find("Last defrag") == std::string::npos, otherCheck.output.c_str());
    }

    // A resize during a run leaves the run's grid alone; afterwards the map is
    // recomputed for the new size and redrawn by a map-only pass, and the
    // run's log stays.
    void resizeDuringADefragRedrawsTheMapAfterIt() {
        const std::string image = Fresh(small16_);
        const std::string before = Digest(image);
        Recorder recorder;
        NTQuilF window(recorder.Hooks());
        window.FormLoad({{image, false}}, "");
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
        QCOMPARE(cellsDuringRun, cellsBefore);
        QVERIFY(window.picMap().Geometry().CellCount > cellsBefore);
        QCOMPARE(window.ctx().chains.CellCount, window.picMap().Geometry().CellCount);
        QVERIFY(!window.ctx().run.ScanFiles);  // the last pass was the map-only one
        QVERIFY(LogLines(window).contains("Fragmented Files = 0"));
        QVERIFY(FsckClean(image));
        QCOMPARE(Digest(image), before);
    }

    void damagedVolumeGetsTheStructuralMessage() {
        const std::string image = Fresh(small16_);
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
        const int64_t fatStart = *quillo::test::JsonNumber(json, "reserved_sectors") * 512;
        std::vector<uint8_t> link(2);
        put_le16(link.data(), static_cast<uint16_t>(firsts[1]));
        QVERIFY(quillo::test::WriteFileBytes(image, fatStart + firsts[0] * 2, link));
        const std::vector<uint8_t> bytes = quillo::test::ReadFileBytes(image);

        Recorder recorder;
        NTQuilF window(recorder.Hooks());
        window.FormLoad({{image, false}}, "");
        recorder.messages.clear();
        window.DefragCommand();
        QCOMPARE(recorder.messages.size(), size_t{1});
        QCOMPARE(recorder.messages[0].first, MessageStyle::Critical);
        QVERIFY(recorder.messages[0].second.startsWith("Structural errors have been detected on this drive.\n"));
        // The first file's chain now runs on into the second's: longer than
        // its size, which the scan (like fsck.fat) meets first.
        QVERIFY(recorder.messages[0].second.contains("Err=Size disagrees with the chain"));
        QVERIFY(quillo::test::ReadFileBytes(image) == bytes);
        QVERIFY(window.menus().Item("Defrag_")->isEnabled());
    }

    // "*" takes the stored list; unknown letters run nothing; either way the
    // program ends without a message. Each drive's map starts blank.
    void unattendedDriveLists() {
        const std::string image = Fresh(disk_);
        const std::string beforeC = Digest(image, "--partition 1");
        const std::string beforeD = Digest(image, "--partition 5");
        {
            OptionStore store = OptionStore::ForApplication(kQuilloAppName);
            store.WriteText("AutoDefrag", "D,C");
        }
        Recorder recorder;
        NTQuilF window(recorder.Hooks());
        window.FormLoad({{image, false}}, "*");
        QVERIFY(window.Ended());
        QCOMPARE(recorder.ends, 1);
        QVERIFY(recorder.messages.empty());
        const QStringList log = LogLines(window);
        QCOMPARE(log.filter(QRegularExpression("^Drive ")), QStringList({"Drive D:", "Drive C:"}));
        const int cellsOfC = int(window.ctx().chains.MapCells.size());
        const int cellsOfGrid = window.picMap().Geometry().CellCount;
        QVERIFY(cellsOfC + 100 < cellsOfGrid && MapBlankBetween(window, cellsOfC + 1, cellsOfGrid));
        QCOMPARE(recorder.beeps, 0);  // unattended runs do not go through the Defrag command
        QVERIFY(FatcheckClean(image, "--partition 1") && FatcheckClean(image, "--partition 5"));
        QCOMPARE(Digest(image, "--partition 1"), beforeC);
        QCOMPARE(Digest(image, "--partition 5"), beforeD);

        // A letter typed without a separator in front is a drive too (C: is
        // packed already, so this run is short).
        Recorder second;
        NTQuilF typed(second.Hooks());
        typed.FormLoad({}, "C");  // the disk is remembered
        QVERIFY(typed.Ended());
        QCOMPARE(LogLines(typed).filter(QRegularExpression("^Drive ")), QStringList({"Drive C:"}));
        QCOMPARE(typed.ExitStatus(), 0);

        // The program itself: a list that names no drive says so and fails.
        const std::vector<uint8_t> after = quillo::test::ReadFileBytes(image);
        std::string output;
        const int status = quillo::test::RunCommand(std::string(QUILLO_WINDOW_PATH) + " Q Z", &output);
        QCOMPARE(status, kExitNoDrive);
        QVERIFY2(output.find("\"Q Z\" names no attached drive (drives: C: D:)") != std::string::npos, output.c_str());
        QVERIFY(quillo::test::ReadFileBytes(image) == after);
    }

    // "Open disk image...": a FAT image becomes a drive, is selected and is
    // remembered; a file with no FAT volume changes nothing.
    void openDiskImageAttachesAndRemembers() {
        const std::string image = Fresh(small16_);
        Recorder recorder;
        NTQuilF window(recorder.Hooks());
        window.FormLoad({}, "");
        QVERIFY(!window.driveMenu().items[1].visible);
        QVERIFY(window.ctx().chains.MapCells.size() <= 1);
        // Nothing to work on: the commands do nothing, the hint stays and
        // the disk buttons are greyed.
        window.DefragCommand();
        window.CheckDiskCommand();
        QTest::mouseClick(window.toolbar().Element(0), Qt::LeftButton);
        QVERIFY(recorder.messages.empty());
        QCOMPARE(LogLines(window), QStringList({kNoDiskHint}));
        for (int element : {19, 20, 21, 22}) QVERIFY(window.toolbar().IsElementVisible(element));
        for (int element : {0, 4}) QVERIFY(!window.toolbar().Element(element)->isEnabled());
        QVERIFY(!window.menus().Item("Defrag_")->isEnabled() && !window.menus().Item("CheckDisk_")->isEnabled());

        const std::string junk = dir_.File("junk.bin");
        QVERIFY(quillo::test::WriteFileBytes(junk, 0, std::vector<uint8_t>(65536, 0x5A)));
        QVERIFY(!window.AttachDiskImage(junk));
        QCOMPARE(recorder.messages.size(), size_t{1});
        QVERIFY(!window.driveMenu().items[1].visible);

        QVERIFY(window.AttachDiskImage(image));
        QCOMPARE(window.ctx().run.DriveString, std::string("C:"));
        QVERIFY(window.menus().DriveItem(1)->isVisible());
        QVERIFY(window.toolbar().IsElementVisible(5) && window.toolbar().Element(0)->isEnabled());
        QVERIFY(window.menus().Item("Defrag_")->isEnabled());
        QVERIFY(window.ctx().chains.MapCells.size() > 1);  // its map is drawn
        const std::vector<AttachedDisk> remembered = RememberedDisks(OptionStore::ForApplication(kQuilloAppName));
        QCOMPARE(remembered.size(), size_t{1});
        QCOMPARE(remembered[0].path, image);
    }

    void previousAndNextSkipTheFloppy() {
        const std::string image = Fresh(disk_);
        Recorder recorder;
        NTQuilF window(recorder.Hooks());
        window.FormLoad({{image, false}}, "");
        QCOMPARE(window.ctx().run.DriveMenuIndex, 1);
        window.StepDrive(+1);
        QCOMPARE(window.ctx().run.DriveString, std::string("D:"));
        const int cellsOfD = int(window.ctx().chains.MapCells.size());
        window.StepDrive(+1);  // wraps from the last visible item to C:
        QCOMPARE(window.ctx().run.DriveString, std::string("C:"));
        // C: has fewer cells than D: had; the rows below C:'s last cell are
        // blank, not D:'s.
        const int cellsOfC = int(window.ctx().chains.MapCells.size());
        QVERIFY(cellsOfC + 100 < cellsOfD);
        QVERIFY(MapBlankBetween(window, cellsOfC + 1, cellsOfD));
        window.StepDrive(-1);
        QCOMPARE(window.ctx().run.DriveString, std::string("D:"));
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
        const std::string image = Fresh(small16_);
        const std::string folder = dir_.File("started" + std::to_string(round_));
        std::filesystem::create_directories(folder + "/sub");
        const std::string held = folder + (typed.contains("sub") ? "/sub/held.img" : "/held.img");
        std::filesystem::copy_file(image, held);
        const std::filesystem::path home = std::filesystem::current_path();
        std::filesystem::current_path(folder);
        const CommandLine line = ParseCommandLine({"--disk", typed.toStdString()});
        std::filesystem::current_path(home);
        QCOMPARE(line.disks.size(), size_t{1});
        QCOMPARE(line.disks[0].path, held);
        {
            Recorder recorder;
            NTQuilF first(recorder.Hooks());
            first.FormLoad(line.disks, "");
        }
        QCOMPARE(RememberedDisks(OptionStore::ForApplication(kQuilloAppName))[0].path, held);

        std::filesystem::remove(held);
        Recorder recorder;
        NTQuilF window(recorder.Hooks());
        window.FormLoad(withAnotherDisk ? std::vector<AttachedDisk>{{image, false}} : std::vector<AttachedDisk>{}, "");
        const QStringList log = LogLines(window);
        QVERIFY2(log.filter(QString::fromStdString(held + ": cannot open: No such file or directory")).size() == 1, qPrintable(log.join('|')));
        QCOMPARE(window.DriveSelected(), withAnotherDisk);
        QCOMPARE(log.contains(kNoDiskHint), !withAnotherDisk);
        if (withAnotherDisk) QVERIFY(log.contains("Volume size = 31.9MB"));
    }

    // A volume we refuse is listed greyed, its reason as the tip, and stays
    // greyed when a run unlocks the menus; start-up selects the next drive.
    void unsupportedDriveIsGreyedWithItsReason() {
        const std::string refused = dir_.File("one-table.img");
        QVERIFY(quillo::test::MakeFatImage(refused, 8192, "-F 16 -s 1 -f 1"));
        const std::string image = Fresh(small16_);
        Recorder recorder;
        NTQuilF window(recorder.Hooks());
        window.FormLoad({{refused, false}, {image, false}}, "");
        QAction* c = window.menus().DriveItem(1);
        QVERIFY(c->isVisible());
        QVERIFY(!c->isEnabled());
        QCOMPARE(c->text(), QString("&C:  (not supported)"));
        QCOMPARE(c->toolTip(), QString("2 allocation tables needed, this volume has 1"));
        QVERIFY(window.menus().Menu("Disk_Menu")->toolTipsVisible());
        QCOMPARE(window.ctx().run.DriveString, std::string("D:"));
        window.CheckDiskCommand();
        QVERIFY(!c->isEnabled());
        QVERIFY(window.menus().DriveItem(2)->isEnabled());
        window.StepDrive(+1);  // D: is the only drive to step to
        QCOMPARE(window.ctx().run.DriveString, std::string("D:"));
    }

    void storedSizeIsRestoredWithinTheWorkArea() {
        const SizeLimits limits{6000, 7000, 12000, 15000};
        const WindowLengths designed{9000, 14000};
        auto restored = [&](int32_t height, int32_t width) { return RestoreWindowSize(designed, {height, width}, limits); };
        QCOMPARE(restored(8000, 10000).Height, 8000);
        QCOMPARE(restored(8000, 10000).Width, 10000);
        QCOMPARE(restored(5000, 0).Height, 9000);     // below the minimum: designed height
        QCOMPARE(restored(5000, 0).Width, 14000);     // 0: never stored
        QCOMPARE(restored(13000, 16000).Height, 9000);  // beyond the work area
        QCOMPARE(restored(13000, 16000).Width, 14000);
        QCOMPARE(RestoreWindowSize({20000, 20000}, {0, 0}, limits).Height, 12000);  // shrunk to the work area
        QCOMPARE(RestoreWindowSize({20000, 20000}, {0, 0}, limits).Width, 15000);
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
