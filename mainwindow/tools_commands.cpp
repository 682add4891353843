// The Tools and Help items that are not runs: HexExplorer, the launchers of
// the system's utilities, and the help window.
#include "mainwindow/main_window.h"

#include <QFileInfo>

#include "disk/volume_lock.h"
#include "engine/sector_viewer.h"
#include "hexexplorer/hex_explorer.h"
#include "mainwindow/checker_window.h"
#include "mainwindow/disk_map.h"
#include "mainwindow/help_contexts.h"
#include "mainwindow/help_system.h"
#include "mainwindow/window_view.h"
#include "platform/process_launch.h"
#include "platform/tool_launchers.h"

namespace quillo::gui {

bool NTQuilF::OnToolsItem(const QString& name) {
    const std::string item = name.toStdString();
    if (item == "Hex_") {
        HexExplorerCommand();
    } else if (item == "Topics_") {
        TopicsCommand();
    } else if (!LauncherCommandLine(item, "", {}).empty()) {
        LauncherCommand(item);
    } else {
        return false;
    }
    return true;
}

void NTQuilF::HexExplorerCommand() {
    if (ctx_->run.DriveString.empty()) return;  // no drive attached yet
    ReleaseVolume(*ctx_);  // HexExplorer opens the drive for reading only
    switch (OpenVolumeForViewing(*ctx_)) {
        case ViewerOpening::Opened:
            break;
        case ViewerOpening::NoGeometry:
            return;
        case ViewerOpening::Busy:
        case ViewerOpening::TableUnread:
            ShowEndOfRunMessage();
            return;
    }
    std::string errorText;
    {
        NTQuilHex viewer(*ctx_, this, hooks_.beep);
        viewer.exec();
        errorText = viewer.ErrorText();
    }
    CloseVolumeForViewing(*ctx_);
    view_->Yield();
    picMap_->update();
    if (!errorText.empty()) {
        ctx_->run.InternalError = true;
        ctx_->run.ErrorMessage = errorText;
    }
    if (ctx_->run.InternalError || ctx_->run.DiskIoFailed) ShowEndOfRunMessage();
}

void NTQuilF::LauncherCommand(const std::string& item) {
    const LauncherFolders folders{ctx_->scan.DownloadedProgramsFolder, HistoryFolder};
    const std::string commandLine = LauncherCommandLine(item, ctx_->run.DriveString, folders);
    const LinuxLaunch launch = MapCommandLine(commandLine);
    switch (launch.kind) {
        case LaunchKind::Nothing:
            return;  // no counterpart here: nothing happens, as for a missing program
        case LaunchKind::Detached:
            StartDetached(launch.argv);
            return;
        case LaunchKind::CheckerWindow:
            break;
    }
    const DriveAssignment* volume = nullptr;
    if (!launch.drive.empty()) {
        volume = drives_.Table().Find(launch.drive[0]);
        if (volume == nullptr) return;
    }
    const QString program = QFileInfo(QString::fromStdString(launch.argv.front())).fileName();
    const bool scanDisk = item == "ScanDisk_";
    auto* window = new CheckerWindow(scanDisk ? "ScanDisk " + QString::fromStdString(launch.drive)
                                              : "System file checker (" + program + ")",
                                     scanDisk ? kScanDiskHelpContext : kSystemFileCheckerHelpContext, this);
    window->show();
    window->Run(launch.argv, volume);
}

void NTQuilF::TopicsCommand() { ShowHelpContents(this); }

}  // namespace quillo::gui
