// The main window's side of the preferences: the Preferences items and
// About open their pages, the Display page's flags take effect at once, and
// what a page saved is what the next start of the window uses.
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>

#include <fstream>
#include <functional>

#include "mainwindow/help_system.h"
#include "mainwindow/menu_bar.h"
#include "mainwindow/size_chart_view.h"
#include "platform/config_paths.h"
#include "platform/option_store.h"
#include "preferences/settings.h"
#include "tests/support/window_fixture.h"

using namespace quillo;
using namespace quillo::gui;
using quillo::test::StartedWindow;

namespace {

// Calls `act` on the preferences dialog once it is showing modally, then
// cancels it if `act` did not close it; the timer goes away after that.
QTimer* WhenDialogShows(std::function<void(Settings&)> act) {
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        auto* dialog = qobject_cast<Settings*>(QApplication::activeModalWidget());
        if (dialog == nullptr || !dialog->isVisible()) return;
        timer->stop();
        timer->deleteLater();
        act(*dialog);
        if (dialog->isVisible()) dialog->reject();
    });
    timer->start();
    return timer;
}

QString ShownFrame(Settings& dialog) {
    for (QGroupBox* frame : dialog.findChildren<QGroupBox*>())
        if (frame->isVisible()) return frame->objectName();
    return {};
}

template <typename T = QPushButton>
T* Control(Settings& dialog, const QString& name) {
    T* control = dialog.findChild<T*>(name);
    if (control == nullptr) qFatal("no control %s", qPrintable(name));
    return control;
}

// Opens `item` from the menu; `act` works the page, then OK or Cancel.
void UseItem(NTQuilF& window, const char* item, std::function<void(Settings&)> act) {
    bool shown = false;
    WhenDialogShows([&](Settings& dialog) {
        shown = true;
        act(dialog);
    });
    window.menus().Item(item)->trigger();
    QVERIFY2(shown, item);
}

// The Display page's three flags set as given, then OK.
void SetDisplay(NTQuilF& window, bool maximized, bool hideChart, bool hideList) {
    UseItem(window, "DisplaySettings_", [&](Settings& dialog) {
        int i = 0;
        for (bool flag : {maximized, hideChart, hideList})
            Control<QCheckBox>(dialog, QString("DisplayCheck_%1").arg(i++))->setChecked(flag);
        Control(dialog, "DisplayCmd_0")->click();
    });
}

}  // namespace

class PreferencesMenuTest : public QObject {
    Q_OBJECT

private:
    quillo::test::WindowTestFiles files_;
    std::vector<AttachedDisk> disks_;
    std::string config_;

private slots:
    void initTestCase() {
        disks_ = {{files_.File("c.img"), false}, {files_.File("d.img"), false}};
        QVERIFY(quillo::test::MakeFatImage(disks_[0].path, 16384, "-F 16 -s 2 -n DATA"));
        QVERIFY(quillo::test::MakeFatImage(disks_[1].path, 16384, "-F 16 -s 2 -n GAMES"));
    }

    void init() { config_ = files_.FreshConfig(); }

    // Each item opens its page, as a new dialog of the window's own that
    // stands 70 x 40 pixels from it and leaves the interface unlocked; F1
    // pops the page's topic up.
    void EachItemOpensItsPage_data() {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("frame");
        QTest::addColumn<int>("help");
        QTest::newRow("Display") << "DisplaySettings_" << "Frame1_6" << 480;
        QTest::newRow("Defrag") << "DefragSettings_" << "Frame1_3" << 490;
        QTest::newRow("AutoDefrag") << "AutoSettings_" << "Frame1_4" << 450;
        QTest::newRow("Schedule") << "SchedSettings" << "Frame1_5" << 570;
        QTest::newRow("About") << "About_" << "Frame1_0" << 10;
    }
    void EachItemOpensItsPage() {
        QFETCH(QString, item);
        QFETCH(QString, frame);
        QFETCH(int, help);
        StartedWindow s(disks_);
        s.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&s.window));
        QString shownFrame;
        QPoint offset;
        bool interfaceLocked = true;
        int topic = 0;
        UseItem(s.window, qPrintable(item), [&](Settings& dialog) {
            shownFrame = ShownFrame(dialog);
            offset = dialog.pos() - s.window.frameGeometry().topLeft();
            interfaceLocked = s.window.RunActive;
            dialog.activateWindow();  // no window manager does it under a bare X server
            QVERIFY(QTest::qWaitForWindowActive(&dialog));
            QTRY_VERIFY(dialog.isAncestorOf(QApplication::focusWidget()));  // the focus follows the activation
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
            if (QWidget* popup = QApplication::activePopupWidget()) {
                topic = popup->property(kHelpPopupContext).toInt();
                popup->close();
            }
        });
        QCOMPARE(shownFrame, frame);
        QCOMPARE(offset, QPoint(70, 40));
        QCOMPARE(topic, help);
        QVERIFY(!interfaceLocked);
        QCOMPARE(s.window.findChildren<Settings*>().size(), 0);
    }

    // The AutoDefrag page lists the drive items the Disk menu shows.
    void AutoPageListsTheVisibleDrives() {
        StartedWindow s(disks_);
        QStringList rows;
        UseItem(s.window, "AutoSettings_", [&](Settings& dialog) {
            QListWidget* list = Control<QListWidget>(dialog, "AutoList");
            for (int i = 0; i < list->count(); ++i) rows << list->item(i)->text();
            list->item(1)->setSelected(true);
            Control(dialog, "AutoCmd_0")->click();
        });
        // The drive items' captions without their "&", as the Disk menu shows them.
        const DriveMenu& menu = s.window.driveMenu();
        QCOMPARE(rows, QStringList({QString::fromStdString(menu.items[1].caption.substr(1)),
                                    QString::fromStdString(menu.items[2].caption.substr(1))}));
        QCOMPARE(s.window.ctx().options.AutoDefrag, std::string("D"));
    }

    // The Display and Defrag pages take effect at once, and a new window
    // started on the same store behaves accordingly.
    void PagesApplyAtOnceAndAtTheNextStart() {
        auto window = std::make_unique<StartedWindow>(disks_);
        NTQuilF& w = window->window;
        w.resize(1000, 640);
        QVERIFY(w.sizeChart().isVisible() && w.largeList().isVisible());
        const int chartLeft = w.sizeChart().x();
        QVERIFY(w.largeList().x() > w.sizeChart().geometry().right());

        SetDisplay(w, false, true, false);  // hide the chart: the list moves to its left edge
        QVERIFY(!w.sizeChart().isVisible());
        QCOMPARE(w.largeList().x(), chartLeft);
        QCOMPARE(w.largeCaption().geometry(), QRect(chartLeft, w.largeCaption().y(), w.largeList().width(),
                                                    w.largeCaption().height()));
        QCOMPARE(w.largeList().geometry().right(), w.centralWidget()->width() - 1);
        SetDisplay(w, true, false, true);
        QVERIFY(w.sizeChart().isVisible() && !w.largeList().isVisible() && !w.largeCaption().isVisible());
        QVERIFY(w.isMaximized());
        SetDisplay(w, false, true, false);
        QVERIFY(!w.isMaximized());
        UseItem(w, "DefragSettings_", [](Settings& dialog) {
            Control<QCheckBox>(dialog, "DefragChk_1")->setChecked(true);
            Control<QLineEdit>(dialog, "DefragTxt_0")->setText("1500");
            Control(dialog, "DefragCmd_0")->click();
        });
        QVERIFY(w.ctx().options.NoHugeDefrag && w.ctx().options.DefragLim == 999);
        window.reset();

        StartedWindow next(disks_);
        QVERIFY(!next.window.sizeChart().isVisible() && next.window.largeList().isVisible());
        QCOMPARE(next.window.largeList().x(), next.window.sizeChart().x());
        QVERIFY(next.window.ctx().options.NoHugeDefrag && next.window.ctx().options.DefragLim == 999);
    }

    void ScheduleErrorReachesTheWindowsMessageBox() {
        StartedWindow s(disks_);
        std::ofstream(config_ + "/autostart") << "a file where the folder belongs";
        UseItem(s.window, "SchedSettings", [](Settings& dialog) {
            Control<QRadioButton>(dialog, "Sched_2")->click();
            Control(dialog, "SchedCmd_0")->click();
        });
        QVERIFY(s.recorder.messages == decltype(s.recorder.messages)({{MessageStyle::Critical, "Error accessing Registry"}}));
        QCOMPARE(ReadInterval(OptionStore::ForApplication(kQuilloAppName)), 7);
    }

    void AboutDoesNothingWhileARunExecutes() {
        StartedWindow s(disks_);
        bool ran = false;
        QString opened = "none";
        QPointer<QTimer> closer = WhenDialogShows([&](Settings& dialog) { opened = ShownFrame(dialog); });
        quillo::test::DuringRun(s.window, [&] {
            ran = true;
            emit s.window.menus().itemTriggered("About_");
        });
        s.window.CheckDiskCommand();
        delete closer;
        QVERIFY(ran);
        QCOMPARE(opened, QString("none"));
        // Idle again, the same item opens the page.
        UseItem(s.window, "About_", [&](Settings& dialog) { opened = ShownFrame(dialog); });
        QCOMPARE(opened, QString("Frame1_0"));
    }
};

QTEST_MAIN(PreferencesMenuTest)
#include "preferences_menu_test.moc"
