// The window on the desktop: images dropped onto it, "Open With" on the
// command line, and the removable volumes of the Disk menu.
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QSignalSpy>
#include <QtTest>

#include "mainwindow/command_line.h"
#include "mainwindow/removable_items.h"
#include "platform/config_paths.h"
#include "platform/option_store.h"
#include "tests/support/window_fixture.h"

using namespace quillo;
using namespace quillo::gui;

class DesktopTest : public QObject {
    Q_OBJECT

private:
    quillo::test::WindowTestFiles dir_;
    std::string small16_, disk_;

    // Sends a drag over the window, then its drop when it was accepted.
    static bool Drop(NTQuilF& window, const QList<QUrl>& urls) {
        QMimeData data;
        data.setUrls(urls);
        const QPoint middle = window.rect().center();
        QDragEnterEvent enter(middle, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &enter);
        if (!enter.isAccepted()) return false;
        QDropEvent drop(middle, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &drop);
        QCoreApplication::processEvents();
        return drop.isAccepted();
    }

private slots:
    void initTestCase() {
        QVERIFY(quillo::test::HaveFatTools());
        dir_.FreshConfig();
        small16_ = dir_.File("small16.img");
        disk_ = dir_.File("disk.img");
        QVERIFY(quillo::test::MakeFragImage(small16_, "--preset small16"));
        QVERIFY(quillo::test::MakeFragImage(disk_, "--preset disk"));
    }

    void droppedImagesAreAttachedAndSelected() {
        quillo::test::StartedWindow s({{small16_, false}});
        NTQuilF& window = s.window;
        QCOMPARE(window.driveTitle().text().left(2), QString("C:"));

        QVERIFY(!Drop(window, {QUrl("https://example.org/disk.img")}));  // no local file
        window.RunActive = true;  // a run works: nothing is attached under it
        QVERIFY(!Drop(window, {QUrl::fromLocalFile(QString::fromStdString(disk_))}));
        window.RunActive = false;

        // Two volumes on the dropped disk: its first, D:, is selected.
        QVERIFY(Drop(window, {QUrl::fromLocalFile(QString::fromStdString(disk_))}));
        QCOMPARE(window.driveTitle().text().left(2), QString("D:"));
        QCOMPARE(window.drives().Disks().size(), size_t{2});
        QVERIFY(OptionStore::ForApplication(kQuilloAppName).ReadValue("Drives", "Disk2", "") == disk_);

        // A file without a FAT volume says so, after the drop has ended.
        const std::string text = dir_.File("notes.txt");
        QVERIFY(quillo::test::WriteFileBytes(text, 0, std::vector<uint8_t>(2048, 'x')));
        QVERIFY(Drop(window, {QUrl::fromLocalFile(QString::fromStdString(text))}));
        QCOMPARE(s.recorder.messages.size(), size_t{1});
        QVERIFY(s.recorder.messages.front().second.startsWith("No FAT volume found on"));
        QCOMPARE(window.drives().Disks().size(), size_t{2});
    }

    void openTakesEveryFollowingArgumentAsAnImage() {
        const struct { const char* row; std::vector<std::string> arguments, images; std::string driveList; } rows[] = {
            {"file manager, two files", {"--open", "/a b.img", "/c.img"}, {"/a b.img", "/c.img"}, ""},
            {"menu launch, no file", {"--open"}, {}, ""},
            {"drive letters after --open are files", {"/C", "--open", "/D"}, {"/D"}, "/C"}};
        for (const auto& r : rows) {
            const CommandLine line = ParseCommandLine(r.arguments);
            QVERIFY2(line.error.empty() && line.open == r.images && line.driveList == r.driveList, r.row);
        }
    }

    void removableVolumesNotYetAttachedAreOffered() {
        QMenu menu;
        menu.addAction("&Open disk image...");
        std::vector<RemovableVolume> volumes{
            {"/dev/sdb1", "STICK", uint64_t{8} << 30, {"/media/u/STICK"}},
            {"/dev/sdc1", "", 64u * 1024 * 1024, {}},
            {"/dev/mmcblk0p1", "CARD", 1024, {}}};
        RemovableItems items(&menu, [&] { return volumes; }, [] { return std::vector<std::string>{"/dev/sdc1"}; });
        QSignalSpy attach(&items, &RemovableItems::attachRequested);
        emit menu.aboutToShow();
        QCOMPARE(items.Items().size(), size_t{3});  // a separator and two volumes
        QVERIFY(items.Items()[0]->isSeparator());
        QCOMPARE(items.Items()[1]->text(), QString("&1  STICK  (/dev/sdb1, 8.0 GB)"));
        QCOMPARE(items.Items()[1]->toolTip(), QString("Mounted at /media/u/STICK: it is busy until it is unmounted"));
        QCOMPARE(items.Items()[2]->text(), QString("&2  CARD  (/dev/mmcblk0p1, 0.0 MB)"));
        items.Items()[2]->trigger();
        QCOMPARE(attach.count(), 1);
        QCOMPARE(attach.front().front().value<std::string>(), std::string("/dev/mmcblk0p1"));

        volumes.clear();  // the sticks were pulled out: the next opening lists nothing
        emit menu.aboutToShow();
        QVERIFY(items.Items().empty());
        QCOMPARE(menu.actions().size(), 1);
    }
};

QTEST_MAIN(DesktopTest)
#include "desktop_test.moc"
