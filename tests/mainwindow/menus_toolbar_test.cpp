// Menu bar built from the menu table, and the image toolbar's behaviour.
#include <QAction>
#include <QMenu>
#include <QSignalSpy>
#include <QtTest>

#include "mainwindow/image_toolbar.h"
#include "mainwindow/menu_bar.h"
#include "mainwindow/toolbar_icons.h"

using quillo::gui::ImageToolbar;
using quillo::gui::MainMenuBar;
using quillo::gui::ToolbarAction;

namespace {

// Captions of a menu's actions in order, "-" for a separator.
QStringList Captions(const QMenu* menu) {
    QStringList captions;
    for (const QAction* action : menu->actions()) captions << (action->isSeparator() ? "-" : action->text());
    return captions;
}

// Clicks where a user would click to hit `element`: the topmost visible
// picture at that spot receives the click, as on the screen.
void ClickOver(ImageToolbar& toolbar, int element) {
    const QPoint spot = toolbar.Element(element)->geometry().center();
    QWidget* target = toolbar.childAt(spot);
    QVERIFY(target);
    QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(&toolbar, spot));
}

}  // namespace

class MenusToolbarTest : public QObject {
    Q_OBJECT
private slots:
    void MenuTitlesInOrderWithHelpContexts() {
        MainMenuBar bar;
        QStringList titles;
        QList<int> contexts;
        for (const QAction* action : bar.actions()) {
            titles << action->text();
            contexts << MainMenuBar::HelpContext(action);
        }
        QCOMPARE(titles, (QStringList{"&Defrag", "D&isk", "&Preferences", "&Tools", "&Help"}));
        QCOMPARE(contexts, (QList<int>{560, 520, 570, 530, 10}));
        QCOMPARE(MainMenuBar::HelpContext(bar.Menu("Tools_Menu")), 530);
    }

    void ItemsInOrderWithSeparators() {
        MainMenuBar bar;
        QCOMPARE(Captions(bar.Menu("Defrag_Menu")), (QStringList{"&Defragment disk", "Defrag &All disks", "-", "E&xit"}));
        QCOMPARE(Captions(bar.Menu("Settings_Menu")),
                 (QStringList{"D&isplay...", "-", "&Defrag...", "&AutoDefrag...", "&Schedule..."}));
        QCOMPARE(Captions(bar.Menu("Help_Menu")), (QStringList{"&Topics", "&About Quillo"}));

        const QStringList tools = Captions(bar.Menu("Tools_Menu"));
        QCOMPARE(tools.size(), 21);
        QList<int> separators;
        for (int i = 0; i < tools.size(); ++i)
            if (tools[i] == "-") separators << i;
        QCOMPARE(separators, (QList<int>{3, 6, 12, 19}));
        QCOMPARE(tools.first(), QString("&Check disk"));
        QCOMPARE(tools[5], QString("Temporary &files..."));
        QCOMPARE(tools[9], QString("Internet coo&kies..."));
        QCOMPARE(tools[13], QString("ASD A&gent..."));
        QCOMPARE(tools.last(), QString("&HexExplorer"));
        QCOMPARE(bar.Item("Ork_"), bar.Menu("Tools_Menu")->actions()[12]);
    }

    void DiskMenuSkipsBAndEndsWithOpenImage() {
        MainMenuBar bar;
        const QStringList disk = Captions(bar.Menu("Disk_Menu"));
        QCOMPARE(disk.size(), 27);
        QCOMPARE(disk.mid(0, 3), (QStringList{"&a:", "&c:", "&d:"}));
        QCOMPARE(disk[24], QString("&z:"));
        QVERIFY(!disk.contains("&b:"));
        QCOMPARE(disk.mid(25), (QStringList{"-", "&Open disk image..."}));
        QCOMPARE(bar.DriveItem(3)->objectName(), QString("Drv_3"));
        QCOMPARE(bar.DriveItem(3)->text(), QString("&e:"));
        QVERIFY(!bar.DriveItem(25));
        QVERIFY(!bar.DriveItem(-1));
    }

    void HelpContextsOfItems() {
        MainMenuBar bar;
        const QList<QPair<QString, int>> expected = {
            {"Defrag_", 120},  {"DefragAll_", 0},    {"Exit_", 10},   {"DisplaySettings_", 0},
            {"SchedSettings", 570}, {"CheckAll_", 910}, {"TempInternet_", 1020}, {"URLcache_", 860},
            {"Hex_", 150},     {"Topics_", 0},       {"About_", 10},  {"Drv_0", 0}, {"OpenImage_", 0}};
        for (const auto& [name, context] : expected) {
            QVERIFY2(bar.Item(name), qPrintable(name));
            QCOMPARE(MainMenuBar::HelpContext(bar.Item(name)), context);
        }
    }

    void NoShortcutsAndDrivesHiddenButFloppy() {
        MainMenuBar bar;
        for (const QMenu* menu : bar.findChildren<QMenu*>())
            for (const QAction* action : menu->actions()) QVERIFY(action->shortcuts().isEmpty());
        QVERIFY(bar.DriveItem(0)->isVisible());
        for (int index = 1; index <= 24; ++index) QVERIFY(!bar.DriveItem(index)->isVisible());
        QVERIFY(bar.Item("OpenImage_")->isVisible());
    }

    void ItemsReportTheirNames() {
        MainMenuBar bar;
        QSignalSpy names(&bar, &MainMenuBar::itemTriggered);
        QSignalSpy drives(&bar, &MainMenuBar::driveTriggered);
        bar.Item("Hex_")->trigger();
        bar.DriveItem(5)->trigger();
        QCOMPARE(names.size(), 2);
        QCOMPARE(names[0][0].toString(), QString("Hex_"));
        QCOMPARE(names[1][0].toString(), QString("Drv_5"));
        QCOMPARE(drives.size(), 1);
        QCOMPARE(drives[0][0].toInt(), 5);
    }

    void LockLeavesOnlyExitAndTitles() {
        MainMenuBar bar;
        bar.SetCommandsEnabled(false, true, true);
        QVERIFY(bar.Item("Exit_")->isEnabled());
        for (const char* name : {"Defrag_", "DefragAll_", "Drv_0", "OpenImage_", "DeleteTemps_", "ASDagent_", "About_"})
            QVERIFY2(!bar.Item(name)->isEnabled(), name);
        for (const QAction* title : bar.actions()) QVERIFY(title->isEnabled());
        // A drive shown while locked stays locked until the unlock.
        bar.DriveItem(7)->setVisible(true);
        QVERIFY(!bar.DriveItem(7)->isEnabled());
        bar.SetCommandsEnabled(true, true, true);
        QVERIFY(bar.DriveItem(7)->isEnabled());
    }

    void UnlockHonoursTempFolderAndWin98_data() {
        QTest::addColumn<bool>("tempFolderKnown");
        QTest::addColumn<bool>("isWin98");
        QTest::newRow("neither") << false << false;
        QTest::newRow("temp only") << true << false;
        QTest::newRow("win98 only") << false << true;
    }
    void UnlockHonoursTempFolderAndWin98() {
        QFETCH(bool, tempFolderKnown);
        QFETCH(bool, isWin98);
        MainMenuBar bar;
        bar.SetCommandsEnabled(false, true, true);
        bar.SetCommandsEnabled(true, tempFolderKnown, isWin98);
        QCOMPARE(bar.Item("DeleteTemps_")->isEnabled(), tempFolderKnown);
        QCOMPARE(bar.Item("ASDagent_")->isEnabled(), isWin98);
        for (const char* name : {"Defrag_", "Exit_", "Drv_0", "Hex_", "Topics_", "OpenImage_"})
            QVERIFY2(bar.Item(name)->isEnabled(), name);
    }

    void ToolbarClicksResolveAsTheButtonSays_data() {
        QTest::addColumn<bool>("fragmentsListed");
        QTest::addColumn<int>("element");
        QTest::addColumn<int>("expected");  // ToolbarAction
        const int none = int(ToolbarAction::None);
        QTest::newRow("defrag icon") << false << 5 << int(ToolbarAction::Defragment);
        QTest::newRow("inactive list icon") << false << 6 << none;
        QTest::newRow("active list icon") << true << 13 << int(ToolbarAction::ListFragments);
        QTest::newRow("previous icon") << false << 7 << int(ToolbarAction::PreviousDisk);
        QTest::newRow("next icon") << false << 8 << int(ToolbarAction::NextDisk);
        QTest::newRow("check icon") << false << 9 << int(ToolbarAction::CheckDisk);
    }
    void ToolbarClicksResolveAsTheButtonSays() {
        QFETCH(bool, fragmentsListed);
        QFETCH(int, element);
        QFETCH(int, expected);
        ImageToolbar toolbar;
        toolbar.show();
        toolbar.SetListFragmentsActive(fragmentsListed);
        QSignalSpy commands(&toolbar, &ImageToolbar::command);
        ClickOver(toolbar, element);
        if (expected == int(ToolbarAction::None)) {
            QCOMPARE(commands.size(), 0);
        } else {
            QCOMPARE(commands.size(), 1);
            QCOMPARE(int(commands[0][0].value<ToolbarAction>()), expected);
        }
    }

    void ListFragmentsFaceActsOnlyWhileActiveIconShows() {
        ImageToolbar toolbar;
        QCOMPARE(toolbar.ActionForElement(1), ToolbarAction::None);
        toolbar.SetListFragmentsActive(true);
        QCOMPARE(toolbar.ActionForElement(1), ToolbarAction::ListFragments);
        QVERIFY(!toolbar.IsElementVisible(6));
        QCOMPARE(toolbar.ActionForElement(18), ToolbarAction::None);
    }

    void RunningSwapsIconsAndOnlyStopWorks() {
        ImageToolbar toolbar;
        toolbar.show();
        toolbar.SetListFragmentsActive(true);
        QVERIFY(!toolbar.IsElementVisible(10));
        toolbar.SetRunning(true);
        toolbar.SetEnabled(false);
        for (int element : {5, 7, 8, 9, 13, 11}) QVERIFY(!toolbar.IsElementVisible(element));
        for (int element : {19, 20, 21, 22, 10, 6}) QVERIFY(toolbar.IsElementVisible(element));

        QSignalSpy commands(&toolbar, &ImageToolbar::command);
        ClickOver(toolbar, 0);  // the greyed icon 19 is on top
        toolbar.SetElementVisible(19, false);
        ClickOver(toolbar, 0);  // the disabled face itself
        QCOMPARE(commands.size(), 0);
        ClickOver(toolbar, 10);
        QCOMPARE(commands.size(), 1);
        QCOMPARE(commands[0][0].value<ToolbarAction>(), ToolbarAction::Stop);
        QVERIFY(toolbar.IsElementVisible(11));

        toolbar.SetRunning(false);
        toolbar.SetEnabled(true);
        for (int element : {19, 20, 21, 22, 10, 11}) QVERIFY(!toolbar.IsElementVisible(element));
        for (int element : {5, 7, 8, 9}) QVERIFY(toolbar.IsElementVisible(element));
        ClickOver(toolbar, 9);
        QCOMPARE(commands.last()[0].value<ToolbarAction>(), ToolbarAction::CheckDisk);
    }

    void PressedFacesBelongToTheirButtons() {
        ImageToolbar toolbar;
        const QList<QPair<ToolbarAction, int>> faces = {{ToolbarAction::Defragment, 12},
                                                        {ToolbarAction::ListFragments, 18},
                                                        {ToolbarAction::PreviousDisk, 14},
                                                        {ToolbarAction::NextDisk, 15},
                                                        {ToolbarAction::CheckDisk, 16}};
        for (const auto& [action, face] : faces) {
            toolbar.ShowPressedFace(action, true);
            QVERIFY(toolbar.IsElementVisible(face));
            toolbar.ShowPressedFace(action, false);
            QVERIFY(!toolbar.IsElementVisible(face));
        }
        // A pressed face covers its own button: 16 lies where face 4 lies.
        QCOMPARE(toolbar.Element(16)->geometry(), toolbar.Element(4)->geometry());
        QVERIFY(toolbar.Element(10)->x() > toolbar.Element(4)->geometry().right());
    }

    void ToolTipsAsTheButtonsAreNamed() {
        ImageToolbar toolbar;
        const QList<QPair<int, QString>> tips = {{0, "Defragment disk"}, {5, "Defragment disk"},
                                                 {13, "List fragments"},  {6, "List fragments (inactive)"},
                                                 {7, "Previous disk"},    {3, "Next disk"},
                                                 {9, "Check disk"}};
        for (const auto& [element, tip] : tips) QCOMPARE(toolbar.Element(element)->toolTip(), tip);
    }

    void GreyedIconsHaveNoColour() {
        const auto maxSaturation = [](const QPixmap& pixmap) {
            const QImage image = pixmap.toImage();
            int most = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    if (qAlpha(image.pixel(x, y)) > 0) most = qMax(most, image.pixelColor(x, y).hsvSaturation());
            return most;
        };
        for (int active : {5, 7, 8, 9, 13}) QVERIFY(maxSaturation(quillo::gui::ToolbarImage(active)) > 100);
        for (int greyed : {6, 19, 20, 21, 22}) QCOMPARE(maxSaturation(quillo::gui::ToolbarImage(greyed)), 0);
        QVERIFY(quillo::gui::ToolbarImage(17).isNull());
        QCOMPARE(quillo::gui::ToolbarImage(12).size(), QSize(38, 38));
    }
};

QTEST_MAIN(MenusToolbarTest)
#include "menus_toolbar_test.moc"
