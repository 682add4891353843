// The menu bar's lock, and what a click on the image toolbar does: the
// topmost picture under the pointer decides, as on the screen.
#include <QAction>
#include <QSignalSpy>
#include <QtTest>

#include "mainwindow/image_toolbar.h"
#include "mainwindow/menu_bar.h"
#include "mainwindow/toolbar_icons.h"

using quillo::gui::ImageToolbar;
using quillo::gui::MainMenuBar;
using quillo::gui::ToolbarAction;

namespace {

// Clicks where a user would click to hit `element`.
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
    // Locked, only Exit and the menu titles work; unlocked, the temporary
    // files item and the agent follow their conditions.
    void LockAndUnlock_data() {
        QTest::addColumn<bool>("tempFolderKnown");
        QTest::addColumn<bool>("isWin98");
        QTest::newRow("temp only") << true << false;
        QTest::newRow("win98 only") << false << true;
    }
    void LockAndUnlock() {
        QFETCH(bool, tempFolderKnown);
        QFETCH(bool, isWin98);
        MainMenuBar bar;
        bar.SetCommandsEnabled(false, true, true);
        QVERIFY(bar.Item("Exit_")->isEnabled());
        for (const char* name : {"Defrag_", "DefragAll_", "Drv_0", "OpenImage_", "DeleteTemps_", "ASDagent_", "About_"})
            QVERIFY2(!bar.Item(name)->isEnabled(), name);
        for (const QAction* title : bar.actions()) QVERIFY(title->isEnabled());
        bar.DriveItem(7)->setVisible(true);  // a drive shown while locked stays locked
        QVERIFY(!bar.DriveItem(7)->isEnabled());

        bar.SetCommandsEnabled(true, tempFolderKnown, isWin98);
        QCOMPARE(bar.Item("DeleteTemps_")->isEnabled(), tempFolderKnown);
        QCOMPARE(bar.Item("ASDagent_")->isEnabled(), isWin98);
        for (const char* name : {"Defrag_", "Exit_", "Drv_0", "Drv_7", "Hex_", "Topics_", "OpenImage_"})
            QVERIFY2(bar.Item(name)->isEnabled(), name);
    }

    void ToolbarClicksResolveAsTheButtonSays() {
        const struct { const char* icon; bool fragmentsListed; int element; ToolbarAction expected; } rows[] = {
            {"defrag", false, 5, ToolbarAction::Defragment},     {"inactive list", false, 6, ToolbarAction::None},
            {"active list", true, 13, ToolbarAction::ListFragments}, {"previous", false, 7, ToolbarAction::PreviousDisk},
            {"next", false, 8, ToolbarAction::NextDisk},         {"check", false, 9, ToolbarAction::CheckDisk}};
        for (const auto& row : rows) {
            ImageToolbar toolbar;
            toolbar.show();
            toolbar.SetListFragmentsActive(row.fragmentsListed);
            QSignalSpy commands(&toolbar, &ImageToolbar::command);
            ClickOver(toolbar, row.element);
            const ToolbarAction got = commands.isEmpty() ? ToolbarAction::None : commands[0][0].value<ToolbarAction>();
            QVERIFY2(commands.size() <= 1 && got == row.expected, row.icon);
        }
    }

    // During a run the greyed icons lie on top and only Stop answers.
    void RunningSwapsIconsAndOnlyStopWorks() {
        ImageToolbar toolbar;
        toolbar.show();
        toolbar.SetListFragmentsActive(true);
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
        QVERIFY(commands.size() == 1 && commands[0][0].value<ToolbarAction>() == ToolbarAction::Stop);
        QVERIFY(toolbar.IsElementVisible(11));

        toolbar.SetRunning(false);
        toolbar.SetEnabled(true);
        for (int element : {19, 20, 21, 22, 10, 11}) QVERIFY(!toolbar.IsElementVisible(element));
        ClickOver(toolbar, 9);
        QCOMPARE(commands.last()[0].value<ToolbarAction>(), ToolbarAction::CheckDisk);
    }

    void GreyedIconsHaveNoColour() {
        const auto maxSaturation = [](int element) {
            const QImage image = quillo::gui::ToolbarImage(element).toImage();
            int most = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    if (qAlpha(image.pixel(x, y)) > 0) most = qMax(most, image.pixelColor(x, y).hsvSaturation());
            return most;
        };
        for (int element : {5, 7, 8, 9, 13, 6, 19, 20, 21, 22})
            QVERIFY2(element < 19 && element != 6 ? maxSaturation(element) > 100 : maxSaturation(element) == 0,
                     qPrintable(QString::number(element)));
    }
};

QTEST_MAIN(MenusToolbarTest)
#include "menus_toolbar_test.moc"
