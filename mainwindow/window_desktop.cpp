// The window on the desktop: disk images dropped onto it are attached and
// selected one after the other, as Disk > Open disk image... does for one,
// and the Disk menu offers the removable FAT volumes UDisks2 knows.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

#include "mainwindow/main_window.h"
#include "mainwindow/menu_bar.h"
#include "mainwindow/removable_items.h"

namespace quillo::gui {
namespace {

// The local files among the dropped items; text and remote URLs are no images.
std::vector<std::string> DroppedFiles(const QMimeData* data) {
    std::vector<std::string> files;
    if (data == nullptr) return files;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) files.push_back(url.toLocalFile().toStdString());
    return files;
}

}  // namespace

void NTQuilF::ConnectDesktop() {
    QMenu* diskMenu = menus_->Menu("Disk_Menu");
    diskMenu->setToolTipsVisible(true);
    auto* removable = new RemovableItems(
        diskMenu, [] { return RemovableFatVolumes(nullptr); },
        [this] {
            std::vector<std::string> paths;
            for (const AttachedDisk& disk : drives_.Disks()) paths.push_back(disk.path);
            return paths;
        });
    connect(removable, &RemovableItems::attachRequested, this,
            [this](const std::string& device) { AttachDiskImage(device); });
}

void NTQuilF::dragEnterEvent(QDragEnterEvent* event) {
    if (!RunActive && !DroppedFiles(event->mimeData()).empty()) event->acceptProposedAction();
}

void NTQuilF::dropEvent(QDropEvent* event) {
    const std::vector<std::string> files = DroppedFiles(event->mimeData());
    if (RunActive || files.empty()) return;
    event->acceptProposedAction();
    // Attached after the drop has ended: a message about an image without a
    // FAT volume must not hold the file manager's drag.
    QTimer::singleShot(0, this, [this, files] {
        for (const std::string& file : files) AttachDiskImage(file);
    });
}

}  // namespace quillo::gui
