// The main window's side of the preferences: the Preferences items and
// About open their pages, the Display page's flags take effect at once, and
// what a page saved is what the next start of the window uses.
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "mainwindow/main_window.h"
#include "mainwindow/menu_bar.h"
#include "mainwindow/size_chart_view.h"
#include "platform/config_paths.h"
#include "platform/option_store.h"
#include "preferences/settings.h"
#include "tests/support/test_images.h"

using namespace quillo;
using namespace quillo::gui;

namespace {

struct Recorder {
    std::vector<std::pair<MessageStyle, QString>> messages;

    WindowHooks Hooks() {
        WindowHooks hooks;
        hooks.showDelayMs = 0;
        hooks.showMessage = [this](MessageStyle style, const QString& text) { messages.push_back({style, text}); };
        hooks.beep = [] {};
        hooks.endProgram = [] {};
        return hooks;
    }
};

// Calls `act` on the preferences dialog once it is showing modally; the
// timer that waits for it goes away after that.
QPointer<QTimer> WhenDialogShows(std::function<void(Settings&)> act) {
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        auto* dialog = qobject_cast<Settings*>(QApplication::activeModalWidget());
        if (dialog == nullptr || !dialog->isVisible()) return;
        timer->stop();
        timer->deleteLater();
        act(*dialog);
    });
    timer->start();
    return timer;
}

QString ShownFrame(Settings& dialog) {
    for (QGroupBox* frame : dialog.findChildren<QGroupBox*>())
        if (frame->isVisible()) return frame->objectName();
    return {};
}

template <typename T>
T* Control(Settings& dialog, const char* name) {
    T* control = dialog.findChild<T*>(name);
    if (control == nullptr) qFatal("no control %s", name);
    return control;
}

}  // namespace

class PreferencesMenuTest : public QObject {
    Q_OBJECT

private:
    quillo::test::TempDir dir_;
    std::string driveC_, driveD_;
    std::unique_ptr<QTemporaryDir> config_;
    Recorder recorder_;

    std::unique_ptr<NTQuilF> StartWindow() {
        auto window = std::make_unique<NTQuilF>(recorder_.Hooks());
        window->FormLoad({{driveC_, false}, {driveD_, false}}, "");
        return window;
    }

    // Opens `item` from the menu; `act` works the page, then OK or Cancel.
    static void UseItem(NTQuilF& window, const char* item, std::function<void(Settings&)> act) {
        bool shown = false;
        WhenDialogShows([&](Settings& dialog) {
            shown = true;
            act(dialog);
            if (dialog.isVisible()) dialog.reject();
        });
        window.menus().Item(item)->trigger();
        QVERIFY2(shown, item);
    }

private slots:
    void initTestCase() {
        driveC_ = dir_.File("c.img");
        driveD_ = dir_.File("d.img");
        QVERIFY(quillo::test::MakeFatImage(driveC_, 16384, "-F 16 -s 2 -n DATA"));
        QVERIFY(quillo::test::MakeFatImage(driveD_, 16384, "-F 16 -s 2 -n GAMES"));
    }

    void init() {
        config_ = std::make_unique<QTemporaryDir>();
        setenv("XDG_CONFIG_HOME", config_->path().toUtf8().constData(), 1);
        recorder_ = Recorder{};
    }

    void EachItemOpensItsPage_data() {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("keyword");
        QTest::addColumn<QString>("frame");
        QTest::newRow("Display") << "DisplaySettings_" << "Display" << "Frame1_6";
        QTest::newRow("Defrag") << "DefragSettings_" << "Defrag" << "Frame1_3";
        QTest::newRow("AutoDefrag") << "AutoSettings_" << "Auto" << "Frame1_4";
        QTest::newRow("Schedule") << "SchedSettings" << "Schedule" << "Frame1_5";
        QTest::newRow("About") << "About_" << "About" << "Frame1_0";
    }
    void EachItemOpensItsPage() {
        QFETCH(QString, item);
        QFETCH(QString, keyword);
        QFETCH(QString, frame);
        auto window = StartWindow();
        QString shownFrame;
        bool interfaceLocked = true;
        UseItem(*window, qPrintable(item), [&](Settings& dialog) {
            shownFrame = ShownFrame(dialog);
            interfaceLocked = window->RunActive;
            QCOMPARE(dialog.parentWidget(), window.get());
        });
        QCOMPARE(shownFrame, frame);
        QCOMPARE(QString::fromStdString(window->PageKeyword), keyword);
        QVERIFY(!interfaceLocked);
        // A new dialog per opening: none is left behind.
        QCOMPARE(window->findChildren<Settings*>().size(), 0);
    }

    void AutoPageListsTheVisibleDrives() {
        auto window = StartWindow();
        QStringList rows;
        UseItem(*window, "AutoSettings_", [&](Settings& dialog) {
            QListWidget* list = Control<QListWidget>(dialog, "AutoList");
            for (int i = 0; i < list->count(); ++i) rows << list->item(i)->text();
            list->item(1)->setSelected(true);
            Control<QPushButton>(dialog, "AutoCmd_0")->click();
        });
        // The drive items' captions without their "&", as the Disk menu shows them.
        const DriveMenu& menu = window->driveMenu();
        QCOMPARE(rows, QStringList({QString::fromStdString(menu.items[1].caption.substr(1)),
                                    QString::fromStdString(menu.items[2].caption.substr(1))}));
        QVERIFY2(rows[0].startsWith("C:") && rows[1].startsWith("D:"), qPrintable(rows.join('|')));
        QCOMPARE(window->ctx().options.AutoDefrag, std::string("D"));
        QCOMPARE(LoadAllOptions(OptionStore::ForApplication(kQuilloAppName)).AutoDefrag, std::string("D"));
    }

    void DisplayPageAppliesAtOnceAndAtTheNextStart() {
        auto window = StartWindow();
        window->resize(1000, 640);
        QVERIFY(window->sizeChart().isVisible() && window->largeList().isVisible());
        const int chartLeft = window->sizeChart().x();
        QVERIFY(window->largeList().x() > window->sizeChart().geometry().right());

        UseItem(*window, "DisplaySettings_", [](Settings& dialog) {
            Control<QCheckBox>(dialog, "DisplayCheck_1")->setChecked(true);  // Hide File Size graph
            Control<QPushButton>(dialog, "DisplayCmd_0")->click();
        });
        QVERIFY(!window->sizeChart().isVisible());
        QCOMPARE(window->largeList().x(), chartLeft);
        QCOMPARE(window->largeCaption().x(), chartLeft);
        QCOMPARE(window->largeCaption().width(), window->largeList().width());
        QCOMPARE(window->largeList().geometry().right(), window->centralWidget()->width() - 1);

        UseItem(*window, "DisplaySettings_", [](Settings& dialog) {
            Control<QCheckBox>(dialog, "DisplayCheck_0")->setChecked(true);  // Maximized display
            Control<QCheckBox>(dialog, "DisplayCheck_1")->setChecked(false);
            Control<QCheckBox>(dialog, "DisplayCheck_2")->setChecked(true);  // Hide Large File list
            Control<QPushButton>(dialog, "DisplayCmd_0")->click();
        });
        QVERIFY(window->sizeChart().isVisible());
        QVERIFY(!window->largeList().isVisible() && !window->largeCaption().isVisible());
        QVERIFY(window->isMaximized());

        UseItem(*window, "DisplaySettings_", [](Settings& dialog) {
            Control<QCheckBox>(dialog, "DisplayCheck_0")->setChecked(false);
            Control<QCheckBox>(dialog, "DisplayCheck_1")->setChecked(true);
            Control<QCheckBox>(dialog, "DisplayCheck_2")->setChecked(false);
            Control<QPushButton>(dialog, "DisplayCmd_0")->click();
        });
        QVERIFY(!window->isMaximized());
        window.reset();

        // A new window started on the same store hides the chart and puts the
        // list at its left edge.
        auto next = StartWindow();
        QVERIFY(!next->sizeChart().isVisible());
        QVERIFY(next->largeList().isVisible());
        QCOMPARE(next->largeList().x(), next->sizeChart().x());
    }

    void DefragPageOptionsReachTheEngine() {
        auto window = StartWindow();
        UseItem(*window, "DefragSettings_", [](Settings& dialog) {
            Control<QCheckBox>(dialog, "DefragChk_1")->setChecked(true);
            Control<QLineEdit>(dialog, "DefragTxt_0")->setText("1500");
            Control<QPushButton>(dialog, "DefragCmd_0")->click();
        });
        QVERIFY(window->ctx().options.NoHugeDefrag);
        QCOMPARE(window->ctx().options.DefragLim, 999);
        window.reset();
        auto next = StartWindow();
        QVERIFY(next->ctx().options.NoHugeDefrag);
        QCOMPARE(next->ctx().options.DefragLim, 999);
    }

    void ScheduleErrorReachesTheWindowsMessageBox() {
        auto window = StartWindow();
        std::ofstream(config_->path().toStdString() + "/autostart") << "a file where the folder belongs";
        UseItem(*window, "SchedSettings", [](Settings& dialog) {
            Control<QRadioButton>(dialog, "Sched_2")->click();
            Control<QPushButton>(dialog, "SchedCmd_0")->click();
        });
        QCOMPARE(recorder_.messages.size(), size_t(1));
        QCOMPARE(recorder_.messages[0].first, MessageStyle::Critical);
        QCOMPARE(recorder_.messages[0].second, QString("Error accessing Registry"));
        QCOMPARE(ReadInterval(OptionStore::ForApplication(kQuilloAppName)), 7);
    }

    void AboutDoesNothingWhileARunExecutes() {
        auto window = StartWindow();
        bool ran = false;
        QString opened = "none";
        QPointer<QTimer> closer;
        auto* probe = new QTimer(window.get());
        probe->setInterval(0);
        QObject::connect(probe, &QTimer::timeout, [&] {
            if (!window->RunInProgress || ran) return;
            ran = true;
            closer = WhenDialogShows([&](Settings& dialog) {
                opened = ShownFrame(dialog);
                dialog.reject();
            });
            emit window->menus().itemTriggered("About_");
        });
        probe->start();
        window->CheckDiskCommand();
        probe->stop();
        delete closer;
        QVERIFY(ran);
        QCOMPARE(opened, QString("none"));
        // Idle again, the same item opens the page.
        bool shown = false;
        WhenDialogShows([&](Settings& dialog) {
            shown = ShownFrame(dialog) == "Frame1_0";
            dialog.accept();
        });
        emit window->menus().itemTriggered("About_");
        QVERIFY(shown);
    }
};

QTEST_MAIN(PreferencesMenuTest)
#include "preferences_menu_test.moc"
