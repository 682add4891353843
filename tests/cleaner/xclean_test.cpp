// The cleaner window over real lists: the keyword table, the commands and
// their messages, the keys and the context menu, printing, the row limit,
// the duplicate scan's progress and close refusal, and the main window's
// items that open it.
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPrinter>
#include <QTimer>
#include <QtTest>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "cleaner/cleaner_list.h"
#include "cleaner/progress_bar.h"
#include "cleaner/xclean.h"
#include "common/engine_context.h"
#include "disk/drive_menu.h"
#include "disk/drive_table.h"
#include "engine/run_driver.h"
#include "engine/temp_list.h"
#include "mainwindow/image_toolbar.h"
#include "mainwindow/menu_bar.h"
#include "tests/support/attached_world.h"
#include "tests/support/window_fixture.h"

using namespace quillo;
using namespace quillo::gui;
using quillo::test::ShellQuote;
namespace fs = std::filesystem;

namespace {

struct Said {
    QString text;
    QMessageBox::Icon icon;
};

// Hooks that record what the window says and answer its questions.
struct Recorder {
    std::vector<Said> messages;
    std::vector<Said> questions;
    bool answer = true;
    std::vector<QStringList> menus;  // captions of each context menu, "" for a separator
    int menuChoice = 0;
    std::vector<std::vector<std::pair<QString, QString>>> facts;
    QStringList opened;

    CleanerHooks Hooks() {
        CleanerHooks hooks;
        hooks.message = [this](const QString&, const QString& text, QMessageBox::Icon icon) {
            messages.push_back({text, icon});
        };
        hooks.askYesNo = [this](const QString&, const QString& text, QMessageBox::Icon icon) {
            questions.push_back({text, icon});
            return answer;
        };
        hooks.runMenu = [this](QMenu& menu, const QPoint&) {
            QStringList captions;
            for (const QAction* a : menu.actions()) captions << (a->isSeparator() ? "" : a->text());
            menus.push_back(captions);
            return menuChoice;
        };
        hooks.showFacts = [this](const QString&, const std::vector<std::pair<QString, QString>>& lines) {
            facts.push_back(lines);
        };
        hooks.fileManagerProperties = [](const QString&) { return false; };
        hooks.openFile = [this](const QString& path) {
            opened << path;
            return true;
        };
        return hooks;
    }
};

QStringList Rows(const CleanerList& list) {
    QStringList rows;
    for (int i = 0; i < list.count(); ++i) rows << list.item(i)->text();
    return rows;
}

}  // namespace

class XcleanTest : public QObject {
    Q_OBJECT
private:
    quillo::test::TempDir dir_;
    std::string tmp_;
    std::unique_ptr<quillo::test::AttachedWorld> world_;
    std::unique_ptr<ListEnvironment> env_;
    Recorder said_;

    std::unique_ptr<Xclean> Open(const std::string& keyword) {
        said_ = Recorder{};
        auto window = std::make_unique<Xclean>(*env_, keyword, nullptr, said_.Hooks());
        window->show();
        if (!QTest::qWaitFor([&] { return window->MenuItem("Help_")->isEnabled(); }, 20000)) return nullptr;
        return window;
    }

private slots:
    void init() {
        tmp_ = dir_.File("tmp-" + std::to_string(std::rand()));
        fs::create_directories(tmp_);
        setenv("XDG_DATA_HOME", dir_.File("data").c_str(), 1);
        world_ = std::make_unique<quillo::test::AttachedWorld>();
        env_ = std::make_unique<ListEnvironment>(ListEnvironment{world_->ctx, tmp_ + "/", {}});
    }

    void MenusHaveTheirCaptions() {
        auto w = Open("Temps");
        QVERIFY(w);
        auto captions = [&](const char* menu) {
            QStringList list;
            for (const QAction* a : w->MenuItem(menu)->menu()->actions()) list << (a->isSeparator() ? "-" : a->text());
            return list;
        };
        QCOMPARE(captions("File_"), (QStringList{"&Open", "-", "&Delete", "P&roperties", "-", "E&xit"}));
        QCOMPARE(captions("Edit_"), (QStringList{"Select &all", "&Invert selection"}));
        QCOMPARE(captions("List_"), (QStringList{"&Print"}));
        QCOMPARE(w->MenuItem("Help_")->text(), QString("&Help"));
    }

    void KeywordDecidesCaptionHelpAndHiddenItems() {
        struct Case {
            const char* keyword;
            QString caption;
            int help;
            bool open, del, props, edit;
        };
        const Case cases[] = {
            {"Temps", "Temporary files (0)", 550, true, true, true, true},
            {"Frags", "Fragmented files", 670, false, false, true, false},
            {"TaskList", "Task list", 970, false, false, true, false},
            {"Duplicates", "Duplicate file names", 990, true, true, true, true},
            {"Nonsense", "Quillo", 0, true, true, true, true},
        };
        for (const Case& c : cases) {
            auto w = Open(c.keyword);
            QVERIFY2(w, c.keyword);
            QCOMPARE(w->windowTitle(), c.caption);
            QCOMPARE(w->helpContext(), c.help);
            QCOMPARE(w->MenuItem("Open_")->isVisible(), c.open);
            QCOMPARE(w->MenuItem("Dash1_")->isVisible(), c.open);
            QCOMPARE(w->MenuItem("Delete_")->isVisible(), c.del);
            QCOMPARE(w->MenuItem("Properties_")->isVisible(), c.props);
            QCOMPARE(w->MenuItem("Edit_")->isVisible(), c.edit);
            QCOMPARE(w->progressBar().isVisible(), std::string(c.keyword) == "Duplicates");
        }
    }

    void TempsSortedWithCountAndDeleteAsksFirst() {
        for (const char* name : {"b.tmp", "A.tmp", "c.tmp"}) quillo::test::WriteFileText(tmp_ + "/" + name, "x");
        auto w = Open("Temps");
        QVERIFY(w);
        const QString today = QString::fromStdString(ShortDate(std::time(nullptr)));
        QCOMPARE(Rows(w->List(0)), (QStringList{"A.tmp\t" + today, "b.tmp\t" + today, "c.tmp\t" + today}));
        QCOMPARE(w->windowTitle(), QString("Temporary files (3)"));
        QVERIFY(w->List(0).TabStop(0) > 0);
        QVERIFY(w->List(0).HorizontalExtent() >= w->List(0).RowWidth("A.tmp\t" + today));

        QTest::keyClick(&w->List(0), Qt::Key_Delete);
        QCOMPARE(said_.messages.size(), size_t{1});
        QCOMPARE(said_.messages[0].text, QString("No file selected."));

        w->List(0).item(0)->setSelected(true);
        w->List(0).item(2)->setSelected(true);
        said_.answer = false;
        QTest::keyClick(&w->List(0), Qt::Key_Delete);
        QCOMPARE(said_.questions.back().text, QString("Are you sure you want to delete 2 files?"));
        QCOMPARE(said_.questions.back().icon, QMessageBox::Question);
        QVERIFY(fs::exists(tmp_ + "/A.tmp"));

        said_.answer = true;
        w->DeleteCommand();
        QVERIFY(!fs::exists(tmp_ + "/A.tmp") && !fs::exists(tmp_ + "/c.tmp"));
        QVERIFY(fs::exists(dir_.File("data/Trash/files/A.tmp")));
        QCOMPARE(Rows(w->List(0)), (QStringList{"b.tmp\t" + today}));
        QCOMPARE(w->windowTitle(), QString("Temporary files (1)"));

        w->SelectAll();
        QCOMPARE(w->List(0).selectedItems().size(), 1);
        w->InvertSelection();
        QCOMPARE(w->List(0).selectedItems().size(), 0);
        w->List(0).setCurrentRow(0);
        w->OpenCommand();
        w->PropertiesCommand();
        QCOMPARE(said_.opened, QStringList{QString::fromStdString(tmp_ + "/b.tmp")});
        QCOMPARE(said_.facts.size(), size_t{1});
        QCOMPARE(said_.facts[0][0].second, QString::fromStdString(tmp_ + "/b.tmp"));
    }

    void ContextMenuAndDeleteKeyFollowTheListKind() {
        auto w = Open("Temps");
        QVERIFY(w);
        QTest::mouseClick(w->List(0).viewport(), Qt::RightButton, {}, QPoint(10, 5));
        QVERIFY(said_.menus.empty());  // an empty list: nothing
        quillo::test::WriteFileText(tmp_ + "/one.tmp", "x");
        w = Open("Temps");
        said_.menuChoice = 7002;
        QTest::mouseClick(w->List(0).viewport(), Qt::RightButton, {}, QPoint(10, 3));
        QCOMPARE(said_.menus.size(), size_t{1});
        QCOMPARE(said_.menus[0], (QStringList{"&Open", "", "P&roperties", "&Delete"}));
        QCOMPARE(said_.questions.back().text, QString("Are you sure you want to delete 1 files?"));

        // Where Delete is hidden the key does nothing and the menu holds Properties alone.
        world_->ctx.lists.Fragmented = {{"C:\\A.TXT\t\t1.0KB", false}};
        for (const char* keyword : {"Frags", "TaskList"}) {
            auto shown = Open(keyword);
            QVERIFY2(shown, keyword);
            QVERIFY(shown->List(0).count() > 0);
            shown->List(0).item(0)->setSelected(true);
            QTest::keyClick(&shown->List(0), Qt::Key_Delete);
            QVERIFY(said_.questions.empty() && said_.messages.empty());
            QTest::mouseClick(shown->List(0).viewport(), Qt::RightButton, {}, QPoint(10, 3));
            QCOMPARE(said_.menus.back(), QStringList{"P&roperties"});
        }
    }

    void PrintOfAnEmptyListIsTheCaptionAloneAndFailureSaysSo() {
        if (quillo::test::RunCommand("command -v pdftotext") != 0) QSKIP("pdftotext missing");
        auto w = Open("Temps");
        QVERIFY(w);
        const std::string pdf = dir_.File("empty.pdf");
        QPrinter printer;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(pdf));
        QVERIFY(w->PrintTo(printer));
        std::string text;
        QCOMPARE(quillo::test::RunCommand("pdftotext -layout " + ShellQuote(pdf) + " -", &text), 0);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\f' || text.back() == ' ')) text.pop_back();
        QCOMPARE(QString::fromStdString(text), QString("Temporary files (0)"));

        quillo::test::WriteFileText(tmp_ + "/row.tmp", "x");
        CleanerHooks hooks = said_.Hooks();
        auto failing = std::make_unique<Xclean>(*env_, "Temps", nullptr, [&] {
            hooks.choosePrinter = [&](QPrinter& p) {
                p.setOutputFormat(QPrinter::PdfFormat);
                p.setOutputFileName(QString::fromStdString(dir_.File("no such folder/out.pdf")));
                return true;
            };
            return hooks;
        }());
        failing->show();
        QTRY_VERIFY(failing->Filled());
        failing->PrintCommand();
        QCOMPARE(said_.messages.back().text, QString("Printer error"));
    }

    void RowAfterTheLimitIsRefusedAndTheCaptionSaysPartial() {
        for (int i = 0; i <= ListSink::kRowLimit; ++i) std::ofstream(tmp_ + "/f" + std::to_string(i));
        auto w = Open("Temps");
        QVERIFY(w);
        QCOMPARE(w->List(0).count(), ListSink::kRowLimit);
        QCOMPARE(said_.messages.size(), size_t{1});
        QCOMPARE(said_.messages[0].text, QString(kRowLimitMessage));
        QCOMPARE(said_.messages[0].icon, QMessageBox::Warning);
        QCOMPARE(w->windowTitle(), QString("Temporary files (32736) (partial)"));
        fs::remove_all(tmp_);
    }

    void DuplicatesWithNoOpenableDriveAskEndEmptyAtOneHundred() {
        DriveMenu menu;
        menu.items[1] = {"&C:", true};  // shown, but no disk behind it
        world_->ctx.driveMenu = &menu;
        auto w = Open("Duplicates");
        QVERIFY(w);
        QCOMPARE(said_.questions.size(), size_t{1});
        QCOMPARE(said_.questions[0].text, QString("Error accessing C:. Continue?"));
        QCOMPARE(said_.questions[0].icon, QMessageBox::Critical);
        QCOMPARE(w->List(0).count(), 0);
        QCOMPARE(w->progressBar().Value(), 100);
        QCOMPARE(w->ActiveIndex(), 0);
        world_->ctx.driveMenu = &world_->menu;
    }

    // Closing while the scan holds a drive is refused and turns into a
    // stop; the window then closes itself. Then Frags Properties and Open
    // of a duplicate, on the same volume.
    void ScanRefusesToCloseAndVolumeFilesShowAndOpen() {
        if (!quillo::test::HaveFatTools()) QSKIP("mkfs.fat or mtools missing");
        const std::string image = dir_.File("dup.img");
        QVERIFY(quillo::test::MakeFragImage(image, "--fat 16 --size-mb 16 --files 40 --dirs 3 --seed 8"));
        quillo::test::WriteFileText(dir_.File("same"), "same bytes");
        QCOMPARE(quillo::test::RunCommand("mcopy -i " + ShellQuote(image) + " " + ShellQuote(dir_.File("same")) +
                                          " '::Same file.txt' && mmd -i " + ShellQuote(image) + " ::TWIN && mcopy -i " +
                                          ShellQuote(image) + " " + ShellQuote(dir_.File("same")) + " '::TWIN/Same file.txt'"),
                 0);
        world_ = std::make_unique<quillo::test::AttachedWorld>(std::vector<AttachedDisk>{{image, false}});
        env_ = std::make_unique<ListEnvironment>(ListEnvironment{world_->ctx, tmp_ + "/", {}});

        said_ = Recorder{};
        Xclean scanning(*env_, "Duplicates", nullptr, said_.Hooks());
        bool refused = false;
        QTimer poke;
        poke.setInterval(0);
        connect(&poke, &QTimer::timeout, this, [&] {
            if (!scanning.List(1).isVisible()) return;  // the scan shows list 1 while it works
            poke.stop();
            scanning.close();
            refused = scanning.isVisible();
        });
        poke.start();
        scanning.show();
        QTRY_VERIFY(scanning.Filled());
        QVERIFY(refused);
        QVERIFY(scanning.StopRequested());
        QTRY_VERIFY(!scanning.isVisible());

        auto w = Open("Duplicates");
        QVERIFY(w);
        QCOMPARE(Rows(w->List(0)).filter("Same file.txt").size(), 2);
        w->List(0).setCurrentRow(0);
        w->List(0).item(0)->setSelected(true);
        w->OpenCommand();
        QCOMPARE(said_.opened.size(), 1);
        std::ifstream copy(said_.opened[0].toStdString());
        QCOMPARE(std::string(std::istreambuf_iterator<char>(copy), {}), std::string("same bytes"));

        // The last run's fragmented files, then their properties from the volume.
        world_->ctx.run.DriveString = "C:";
        world_->ctx.run.RootPath = "C:\\";
        world_->ctx.run.DriveMenuIndex = 1;
        world_->ctx.run.RunMode = -1;
        world_->ctx.run.ScanFiles = true;
        RunDrive(world_->ctx);
        QVERIFY(!world_->ctx.lists.Fragmented.empty());
        auto frags = Open("Frags");
        QVERIFY(frags);
        QCOMPARE(frags->List(0).count(), static_cast<int>(world_->ctx.lists.Fragmented.size()));
        int fileRow = 0;
        while (frags->List(0).item(fileRow)->text().contains(" (folder)")) ++fileRow;
        frags->List(0).setCurrentRow(fileRow);
        frags->PropertiesCommand();
        QCOMPARE(said_.facts.size(), size_t{1});
        const auto& lines = said_.facts[0];
        QVERIFY(frags->List(0).item(fileRow)->text().startsWith(lines[0].second));
        const auto fragments = std::find_if(lines.begin(), lines.end(), [](const auto& l) { return l.first == "Fragments"; });
        QVERIFY(fragments != lines.end() && fragments->second.toInt() > 1);
    }

    void ToolsItemsAndTheToolbarOpenTheirLists() {
        quillo::test::WindowRecorder recorder;
        NTQuilF main(recorder.Hooks());
        main.TempPath = tmp_ + "/";  // as start-up finds it; without it the item is disabled
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
        main.menus().Item("TaskList_")->trigger();
        main.menus().Item("DeleteTemps_")->trigger();
        emit main.toolbar().command(ToolbarAction::ListFragments);
        QCOMPARE(titles.size(), 3);
        QCOMPARE(titles[0], QString("Task list"));
        QVERIFY(titles[1].startsWith("Temporary files ("));
        QCOMPARE(titles[2], QString("Fragmented files"));
        QCOMPARE(main.PageKeyword, std::string("Frags"));
        QVERIFY(!main.RunActive);
    }
};

QTEST_MAIN(XcleanTest)
#include "xclean_test.moc"
