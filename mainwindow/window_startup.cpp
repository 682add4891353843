// Start-up and the drives: options, drive menu, the unattended run, and
// attaching a disk image.
#include "mainwindow/main_window.h"

#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QScreen>
#include <QSplashScreen>
#include <QThread>
#include <QTimer>

#include <filesystem>

#include "common/log.h"
#include "disk/volume_lock.h"
#include "mainwindow/disk_map.h"
#include "mainwindow/drive_list.h"
#include "mainwindow/free_space_pie.h"
#include "mainwindow/menu_bar.h"
#include "mainwindow/palette.h"
#include "mainwindow/size_chart_view.h"
#include "mainwindow/splash_window.h"
#include "mainwindow/window_view.h"
#include "platform/browser_profiles.h"
#include "platform/config_paths.h"
#include "platform/program_folder.h"
#include "platform/user_folders.h"

namespace quillo::gui {
namespace {

// Beside the executable, or beside the option store when that folder is not
// ours to write (an installed program).
std::string LogFilePath() {
    std::string folder = ProgramFolder();
    if (::access(folder.c_str(), W_OK) != 0) folder = ConfigFolder();
    return folder + "/" + ProgramFileName("quillo") + ".LOG";
}

// "drives: C: D:", or how to attach one when there is none.
std::string AttachedDrivesText(const DriveMenu& menu) {
    std::string letters;
    for (const DriveMenuItem& item : menu.items) {
        if (item.visible && item.caption.size() >= 3) letters += " " + item.caption.substr(1, 2);
    }
    return letters.empty() ? "no disk attached: use --disk PATH" : "drives:" + letters;
}

}  // namespace

// ---- start-up

void NTQuilF::FormLoad(const std::vector<AttachedDisk>& disks, const std::string& commandLine) {
#if !defined(__linux__)
    // The volume device exists for Linux images and block devices only.
    FatalStop("Windows 95 or 98 required.", MessageStyle::Critical);
    return;
#endif
    // Screen and options.
    QScreen* screen = QGuiApplication::primaryScreen();
    const bool paletteDisplay = screen != nullptr && IsPaletteDisplay(screen->depth(), 1);
    ApplyBackground(PanelBackground(paletteDisplay));
    ctx_->options = LoadAllOptions(store_);
    const Options& options = ctx_->options;
    lstLarge_->setVisible(!options.HideLargeList);
    Label12_->setVisible(!options.HideLargeList);
    PicHistoF_->setVisible(!options.HideHisto);
    InitialLayout();

    // Drives: the remembered ones and those named now.
    const std::vector<AttachedDisk> all = MergeDisks(RememberedDisks(store_), disks);
    const std::vector<std::string> problems = drives_.Attach(all);
    if (!disks.empty()) RememberDisks(store_, all);
    for (const std::string& problem : problems) std::fprintf(stderr, "quillo: %s\n", problem.c_str());
    // A disk that cannot be had (a remembered image moved away) is said in
    // the window too, where a user started from a menu looks.
    const auto logProblems = [&] {
        for (const std::string& problem : problems) AddLogLine(*ctx_, problem);
    };

    view_->Yield();
    view_->Yield();
    view_->Yield();
    if (!isVisible() && hooks_.showDelayMs > 0) {
        splash_ = MakeSplashWindow();
        splash_->show();
    }
    TempFolder = TemporaryFolder();
    TempPath = TempFolder.empty() ? "" : TempFolder + "/";
    const UserFolders userFolders = FindUserFolders(FindBrowserProfiles(), registry_);
    InternetCacheFolder = userFolders.internetCache;
    HistoryFolder = userFolders.history;
    ctx_->scan.DownloadedProgramsFolder = userFolders.downloadedPrograms;

    FillDriveMenu(driveMenu_, drives_);
    SyncDriveItems();
    ctx_->log.LogPath = LogFilePath();
    WriteLogFile(*ctx_, true);

    view_->Yield();
    CommandList = UnattendedDriveList(commandLine, options.AutoDefrag);
    Timer1_->start();

    if (!CommandList.empty()) {
        ShowMainWindow(options.AutoShow);
        Ready = true;
        ctx_->options.Background = options.AutoBackground;
        logProblems();
        if (RunDriveList(CommandList, 0) == 0) {
            // A list that names nothing must not end as if the drives were done.
            std::fprintf(stderr, "quillo: \"%s\" names no attached drive (%s)\n", commandLine.c_str(),
                         AttachedDrivesText(driveMenu_).c_str());
            exitStatus_ = kExitNoDrive;
        }
        FatalStop("", MessageStyle::None);
        return;
    }
    if (options.StartMaximized) ShowMainWindow(2);
    // The first hard-disk item that exists; with nothing attached there is
    // nothing to draw yet.
    int first = -1;
    for (int k = 1; k <= DriveMenu::kItemCount && first < 0; ++k) {
        const int i = k % DriveMenu::kItemCount;  // C: .. Z:, then A:
        if (driveMenu_.items[i].visible) first = i;
    }
    if (first >= 0) SelectDrive(first);  // clears the log before its own lines
    logProblems();
    if (first < 0) TxtLog_->addItem(kNoDiskHint);
    UpdateDriveButtons();
    if (!isVisible()) {
        delete splash_;
        splash_ = nullptr;
        show();
    }
    Ready = true;
}

// The panels' very light grey, or light grey on a display of 256 colours or
// fewer, where the lighter one would be dithered.
void NTQuilF::ApplyBackground(const QColor& colour) {
    QPalette panel = palette();
    panel.setColor(QPalette::Window, colour);
    setPalette(panel);
    for (QListWidget* list : {TxtLog_, lstLarge_}) {
        QPalette base = list->palette();
        base.setColor(QPalette::Base, colour);
        list->setPalette(base);
    }
    picMap_->SetBackground(colour);
    Text1_->SetBackground(colour);
    PicHistoF_->SetBackground(colour);
}

void NTQuilF::ShowMainWindow(int windowState) {
    QElapsedTimer wait;
    wait.start();
    while (wait.elapsed() < hooks_.showDelayMs) {
        view_->Yield();
        QThread::msleep(10);
    }
    if (windowState == 1) showMinimized();
    else if (windowState == 2) showMaximized();
    else showNormal();
    view_->Yield();
    delete splash_;
    splash_ = nullptr;
}

void NTQuilF::SyncDriveItems() {
    for (int i = 0; i < DriveMenu::kItemCount; ++i) {
        const DriveMenuItem& drive = driveMenu_.items[i];
        menus_->SetDriveItem(i, QString::fromStdString(drive.caption), drive.visible,
                             QString::fromStdString(drive.unsupported));
    }
}

void NTQuilF::FatalStop(const QString& message, MessageStyle style) {
    ReleaseVolume(*ctx_);
    RunActive = false;
    if (!message.isEmpty()) hooks_.showMessage(style, message);
    ended_ = true;
    hooks_.endProgram();
}
bool NTQuilF::AttachDiskImage(const std::string& typedPath) {
    if (RunActive) return false;
    const std::string path = AbsolutePath(typedPath);
    ReleaseVolume(*ctx_);
    const std::vector<AttachedDisk> previous = drives_.Disks();
    const std::vector<AttachedDisk> all = MergeDisks(previous, {{path, false}});
    const std::vector<std::string> problems = drives_.Attach(all);
    driveMenu_ = DriveMenu{};
    FillDriveMenu(driveMenu_, drives_);
    SyncDriveItems();
    ctx_->run.DriveMenuIndex = -1;  // the old letters may name other volumes now
    char first = 0;
    std::error_code error;
    for (char letter : drives_.Table().Letters()) {
        const DriveAssignment* drive = drives_.Table().Find(letter);
        if (drive != nullptr && (drive->path == path || std::filesystem::equivalent(drive->path, path, error))) {
            first = letter;
            break;
        }
    }
    if (first == 0) {
        drives_.Attach(previous);
        driveMenu_ = DriveMenu{};
        FillDriveMenu(driveMenu_, drives_);
        SyncDriveItems();
        QString text = "No FAT volume found on " + QString::fromStdString(path) + ".";
        for (const std::string& problem : problems) text += "\n" + QString::fromStdString(problem);
        hooks_.showMessage(MessageStyle::Information, text);
        return false;
    }
    RememberDisks(store_, all);
    SelectDrive(MenuIndexForDriveLetter(first));
    return true;
}

}  // namespace quillo::gui
