// The preferences dialog on its own: each page's fill, OK and Cancel against
// a fresh option store and registry store per case.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <optional>

#include "platform/config_paths.h"
#include "platform/option_store.h"
#include "platform/registry_store.h"
#include "platform/startup_launcher.h"
#include "preferences/settings.h"
#include "tests/support/test_images.h"

using namespace quillo;
using namespace quillo::gui;
namespace fs = std::filesystem;

namespace {

const Day kToday = Day(std::chrono::year(2024) / 6 / 10);
constexpr const char* kLauncher = "/opt/quillo tools/quillo-autorun";

QByteArray FileBytes(const std::string& path) {
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Makes a folder unwritable, for root too (which ignores permission bits):
// the immutable flag where the file system has one.
bool SetFolderReadOnly(const std::string& folder, bool readOnly) {
    if (geteuid() != 0) return ::chmod(folder.c_str(), readOnly ? 0555 : 0755) == 0;
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = readOnly ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    ::close(fd);
    return ok;
}

template <typename T = QPushButton>
T* Control(const Settings& dialog, const QString& name) {
    T* control = dialog.findChild<T*>(name);
    if (control == nullptr) qFatal("no control %s", qPrintable(name));
    return control;
}

struct SizeRow {
    QString defragLim, packLim;
    bool saved;
    QString shownDefrag, shownPack;  // the fields afterwards
};
struct ScheduleRow {
    QString stored;  // "Interval"; empty: never written
    int shown, chosen;  // `Sched` indexes
    QString saved;
};

}  // namespace

class SettingsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> config_;
    Options options_;
    std::optional<OptionStore> store_;
    std::optional<RegistryStore> registry_;
    QStringList critical_;
    int beeps_ = 0;
    std::vector<std::string> readOnly_;

    std::string StorePath() const { return OptionStorePath(kQuilloAppName); }

    // The option variables as start-up reads them from `ini` (section Options).
    void StartWith(const QByteArray& ini) {
        QFile file(QString::fromStdString(StorePath()));
        if (!ini.isEmpty()) QVERIFY(file.open(QIODevice::WriteOnly) && file.write("[Options]\n" + ini) > 0);
        file.close();
        store_.emplace(OptionStore::ForApplication(kQuilloAppName));
        options_ = LoadAllOptions(*store_);
    }

    std::unique_ptr<Settings> Open(const std::string& keyword, std::vector<std::string> drives = {"&C:  DATA", "&D:  GAMES", "&E:"}) {
        if (!store_) StartWith({});
        SettingsHooks hooks{[this](const QString& text) { critical_ << text; }, [this] { ++beeps_; },
                            [] { return kToday; }, kLauncher, ""};
        auto dialog = std::make_unique<Settings>(nullptr, keyword,
                                                 SettingsSources{options_, *store_, *registry_, std::move(drives)}, hooks);
        dialog->show();
        if (!QTest::qWaitForWindowActive(dialog.get())) qWarning("dialog not active");
        return dialog;
    }

    QString StoredOptions() const {
        const QString text = QString::fromUtf8(FileBytes(StorePath()));
        return text.mid(text.indexOf("[Options]\n") + 10).trimmed();
    }

    std::string RunOnceValue() const {
        std::string text;
        return registry_->ReadString(kRunOnceKey, kRunOnceValueName, text) ? text : "<none>";
    }

private slots:
    void init() {
        config_ = std::make_unique<QTemporaryDir>();
        setenv("XDG_CONFIG_HOME", config_->path().toUtf8().constData(), 1);
        store_.reset();
        registry_.emplace(RegistryStore::ForApplication(kQuilloAppName));
        critical_.clear();
        beeps_ = 0;
    }

    void cleanup() {
        for (const std::string& folder : readOnly_) SetFolderReadOnly(folder, false);
        readOnly_.clear();
    }

    // Below 10 fails: the field shows 10 in dark red, with a beep, and the
    // dialog stays open until an edit turns it black again.
    void DefragSizeValidation_data() {
        QTest::addColumn<SizeRow>("row");
        QTest::newRow("9 fails") << SizeRow{"9", "25", false, "10", "25"};
        QTest::newRow("10 passes") << SizeRow{"10", "25", true, "10", "25"};
        QTest::newRow("letters fail") << SizeRow{"abc", "25", false, "10", "25"};
        QTest::newRow("fraction rounds") << SizeRow{"12.5", "13.5", true, "12", "14"};
        QTest::newRow("second field fails") << SizeRow{"50", "3", false, "50", "10"};
    }
    void DefragSizeValidation() {
        QFETCH(SizeRow, row);
        auto dialog = Open("Defrag");
        QLineEdit* fields[2] = {Control<QLineEdit>(*dialog, "DefragTxt_0"), Control<QLineEdit>(*dialog, "DefragTxt_1")};
        fields[0]->setText(row.defragLim);
        fields[1]->setText(row.packLim);
        Control(*dialog, "DefragCmd_0")->click();
        QCOMPARE(fields[0]->text() + " " + fields[1]->text(), row.shownDefrag + " " + row.shownPack);
        QCOMPARE(dialog->isVisible(), !row.saved);
        QCOMPARE(beeps_, row.saved ? 0 : 1);
        if (row.saved) {
            QVERIFY2(StoredOptions().endsWith(QString("\nDefragLim=%1\nPackLim=%2").arg(row.shownDefrag, row.shownPack)),
                     qPrintable(StoredOptions()));
            QVERIFY(options_.DefragLim == row.shownDefrag.toInt() && options_.PackLim == row.shownPack.toInt());
            return;
        }
        QVERIFY(!fs::exists(StorePath()));
        QLineEdit* failed = fields[row.shownPack == "10" ? 1 : 0];
        QCOMPARE(failed->palette().color(QPalette::Text), QColor(192, 0, 0));
        QTest::keyClick(failed, Qt::Key_5);
        QCOMPARE(failed->palette().color(QPalette::Text), QColor(Qt::black));
    }

    // Each page shows the stored options and OK writes exactly its keys.
    void PagesShowAndSaveTheirOptions() {
        StartWith("Background=Yes\nNoHugeDefrag=Yes\nNoHugePack=No\nSilent=Yes\nFixedRegistry=No\n"
                  "DefragLim=40\nPackLim=60\nAutoShow=1\nAutoBackground=No\nHideHisto=Yes\n");
        auto dialog = Open("Defrag");
        QString shown;
        for (int i = 0; i < 5; ++i) shown += Control<QCheckBox>(*dialog, QString("DefragChk_%1").arg(i))->isChecked() ? "1" : "0";
        QCOMPARE(shown + Control<QLineEdit>(*dialog, "DefragTxt_0")->text() + Control<QLineEdit>(*dialog, "DefragTxt_1")->text(),
                 QString("110104060"));
        for (int i : {0, 2, 4}) Control<QCheckBox>(*dialog, QString("DefragChk_%1").arg(i))->toggle();
        Control(*dialog, "DefragCmd_0")->click();
        QString stored = "Background=No\nNoHugeDefrag=Yes\nNoHugePack=Yes\nSilent=Yes\nFixedRegistry=Yes\nDefragLim=40\n"
                         "PackLim=60\nAutoShow=1\nAutoBackground=No\nHideHisto=Yes";
        QCOMPARE(StoredOptions(), stored);
        QVERIFY(!options_.Background && options_.NoHugePack && options_.FixedRegistry);

        dialog = Open("Auto");
        QComboBox* runAs = Control<QComboBox>(*dialog, "RunAs");
        QCOMPARE(runAs->currentText(), QString("Minimized"));
        QListWidget* list = Control<QListWidget>(*dialog, "AutoList");
        list->item(2)->setSelected(true);
        list->item(0)->setSelected(true);
        runAs->setCurrentIndex(2);
        Control<QCheckBox>(*dialog, "AutoChk")->setChecked(true);
        Control(*dialog, "AutoCmd_0")->click();
        stored.replace("AutoShow=1\nAutoBackground=No", "AutoShow=2\nAutoBackground=Yes") += "\nAutoDefrag=C,E";
        QCOMPARE(StoredOptions(), stored);
        QVERIFY(options_.AutoShow == 2 && options_.AutoBackground);

        dialog = Open("Display");
        QCheckBox* flags[3];
        for (int i = 0; i < 3; ++i) flags[i] = Control<QCheckBox>(*dialog, QString("DisplayCheck_%1").arg(i));
        QVERIFY(!flags[0]->isChecked() && flags[1]->isChecked() && !flags[2]->isChecked());
        for (QCheckBox* flag : flags) flag->toggle();
        Control(*dialog, "DisplayCmd_0")->click();
        stored.replace("HideHisto=Yes", "HideHisto=No") += "\nStartMaximized=Yes\nHideLargeList=Yes";
        QCOMPARE(StoredOptions(), stored);
        QVERIFY(options_.StartMaximized && !options_.HideHisto && options_.HideLargeList);
    }

    // The stored letters select their rows as the unattended run reads the
    // list; OK writes the selection back in the stored form.
    void AutoDefragSelectsTheStoredDrives() {
        const std::pair<QByteArray, QString> rows[] = {{"D,C", "CD"}, {"C,F", "C"}, {"", ""}};
        for (const auto& [stored, selected] : rows) {
            init();
            StartWith("AutoDefrag=" + stored + "\n");
            auto dialog = Open("Auto");
            QString shown;
            for (const QListWidgetItem* item : Control<QListWidget>(*dialog, "AutoList")->selectedItems()) shown += item->text()[0];
            std::sort(shown.begin(), shown.end());
            Control(*dialog, "AutoCmd_0")->click();
            const QString written = selected.split("", Qt::SkipEmptyParts).join(',');
            QVERIFY2(shown == selected && QString::fromStdString(options_.AutoDefrag) == written &&
                         StoredOptions().startsWith("AutoDefrag=" + written + "\n"),
                     stored.constData());
        }
    }

    // The choice shown for the stored "Interval", what OK saves, and the
    // start-up records: an entry the validator accepts, or none for Never.
    void ScheduleChoiceAndItsRecords_data() {
        QTest::addColumn<ScheduleRow>("row");
        QTest::newRow("fresh store reads Never") << ScheduleRow{"", 3, 2, "7"};
        QTest::newRow("Always") << ScheduleRow{"0", 0, 1, "1"};
        QTest::newRow("Once a day") << ScheduleRow{"1", 1, 0, "0"};
        QTest::newRow("Once a week") << ScheduleRow{"7", 2, 2, "7"};
        QTest::newRow("2 shows Never and saves -1") << ScheduleRow{"2", 3, 3, "-1"};
    }
    void ScheduleChoiceAndItsRecords() {
        QFETCH(ScheduleRow, row);
        StartWith(row.stored.isEmpty() ? QByteArray() : "Interval=" + row.stored.toUtf8() + "\n");
        // A launcher registered earlier, which Never must remove.
        QVERIFY(UpdateStartupRegistration(*registry_, AutostartEntryPath(), 1, "/old/quillo-autorun"));
        auto dialog = Open("Schedule");
        QRadioButton* shown = Control<QRadioButton>(*dialog, QString("Sched_%1").arg(row.shown));
        QVERIFY(shown->isChecked() && QApplication::focusWidget() == shown);
        Control<QRadioButton>(*dialog, QString("Sched_%1").arg(row.chosen))->click();
        Control(*dialog, "SchedCmd_0")->click();
        QVERIFY(!dialog->isVisible() && critical_.isEmpty());
        QCOMPARE(StoredOptions(), "Interval=" + row.saved);
        if (row.saved == "-1") {
            QVERIFY(!fs::exists(AutostartEntryPath()));
            QCOMPARE(RunOnceValue(), std::string("<none>"));
            return;
        }
        QCOMPARE(RunOnceValue(), std::string(kLauncher));
        std::string complaints;
        QCOMPARE(test::RunCommand("desktop-file-validate " + test::ShellQuote(AutostartEntryPath()), &complaints), 0);
        QCOMPARE(QString::fromStdString(complaints), QString());
        QVERIFY(FileBytes(AutostartEntryPath()).contains("\nExec=\"/opt/quillo tools/quillo-autorun\"\n"));
    }

    // A "Date" after today is cleared, any other stays. The launcher records
    // its date while the window runs: the page reads the store at OK.
    void ScheduleClearsADateInTheFuture() {
        const std::pair<std::string, QString> rows[] = {
            {"2024-06-11", ""}, {"2024-06-10", "2024-06-10"}, {"soon", "soon"}};
        for (const auto& [date, after] : rows) {
            init();
            StartWith("Interval=7\n");
            auto dialog = Open("Schedule");
            OptionStore(StorePath()).WriteText(option_keys::Date, date);
            Control(*dialog, "SchedCmd_0")->click();
            QVERIFY2(StoredOptions() == "Interval=7\nDate=" + after, date.c_str());
        }
    }

    // An autostart folder or a whole config folder that cannot be written:
    // "Error accessing Registry", no RunOnce record, and no option lost.
    void UnwritableFoldersAreReportedAndLoseNoOption_data() {
        QTest::addColumn<QString>("folder");
        QTest::newRow("autostart folder") << "/autostart";
        QTest::newRow("config folder") << "";
    }
    void UnwritableFoldersAreReportedAndLoseNoOption() {
        QFETCH(QString, folder);
        StartWith("Silent=Yes\nInterval=-1\nDate=2030-01-01\n");
        const std::string locked = config_->path().toStdString() + folder.toStdString();
        fs::create_directories(locked);
        const QByteArray before = FileBytes(StorePath());
        if (!SetFolderReadOnly(locked, true)) QSKIP("this file system cannot make a folder read-only for root");
        readOnly_.push_back(locked);
        auto dialog = Open("Schedule");
        Control<QRadioButton>(*dialog, "Sched_1")->click();
        Control(*dialog, "SchedCmd_0")->click();
        QCOMPARE(critical_, QStringList({"Error accessing Registry"}));
        QVERIFY(!dialog->isVisible() && RunOnceValue() == "<none>");
        QVERIFY(ReadInterval(*store_) == 1 && options_.Silent);
        if (!folder.isEmpty()) {
            QCOMPARE(StoredOptions(), QString("Silent=Yes\nInterval=1\nDate="));
            return;
        }
        QCOMPARE(FileBytes(StorePath()), before);
        QCOMPARE(QDir(config_->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList({"quillo.ini"}));
    }

    void EnterEscAndCancelCloseEveryPageWithoutSaving_data() {
        QTest::addColumn<QString>("keyword");
        QTest::addColumn<QString>("close");  // "Enter", "Esc" or the Cancel button
        const char* pages[4][2] = {
            {"Defrag", "DefragCmd_1"}, {"Auto", "AutoCmd_1"}, {"Schedule", "SchedCmd_1"}, {"Display", "DisplayCmd_1"}};
        for (const auto& [keyword, cancel] : pages)
            for (const char* close : {"Enter", "Esc", cancel})
                QTest::newRow(qPrintable(QString(keyword) + " " + close)) << keyword << close;
    }
    void EnterEscAndCancelCloseEveryPageWithoutSaving() {
        QFETCH(QString, keyword);
        QFETCH(QString, close);
        StartWith("Interval=7\nDefragLim=30\nAutoDefrag=D\n");
        const QByteArray before = FileBytes(StorePath());
        auto dialog = Open(keyword.toStdString());
        QWidget* focus = QApplication::focusWidget();
        QVERIFY(focus != nullptr && dialog->isAncestorOf(focus));
        QVERIFY2(!focus->inherits("QPushButton"), qPrintable(focus->objectName()));
        // Change every kind of field first: none of it may reach the store.
        for (QCheckBox* box : dialog->findChildren<QCheckBox*>()) box->setChecked(!box->isChecked());
        Control<QRadioButton>(*dialog, "Sched_0")->setChecked(true);
        Control<QLineEdit>(*dialog, "DefragTxt_0")->setText("99");
        if (close == "Enter") QTest::keyClick(focus, Qt::Key_Return);
        else if (close == "Esc") QTest::keyClick(focus, Qt::Key_Escape);
        else Control(*dialog, close)->click();
        QVERIFY(!dialog->isVisible() && dialog->result() == QDialog::Rejected);
        QCOMPARE(FileBytes(StorePath()), before);
        QVERIFY(!fs::exists(AutostartEntryPath()));
        QVERIFY(!options_.Background && !options_.StartMaximized && options_.DefragLim == 30);
    }

    void AboutPageNamesQuilloItsVersionAndQt() {
        auto dialog = Open("About");
        const QString text = Control<QLabel>(*dialog, "AboutText")->text();
        QVERIFY(text.contains("Quillo " QUILLO_TEST_VERSION) && text.contains("Qt " QT_VERSION_STR));
        QVERIFY(text.contains("GNU Lesser General Public License version 3"));
        QCOMPARE(QApplication::focusWidget(), Control(*dialog, "AboutOK"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY(!dialog->isVisible() && !fs::exists(StorePath()));
    }
};

QTEST_MAIN(SettingsTest)
#include "settings_test.moc"
