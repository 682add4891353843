#include "mainwindow/removable_items.h"

#include <QAction>
#include <QMenu>

#include <algorithm>

namespace quillo::gui {
namespace {

QString Caption(int number, const RemovableVolume& volume) {
    const QString label = volume.label.empty() ? "No label" : QString::fromStdString(volume.label);
    const double megabytes = static_cast<double>(volume.sizeBytes) / (1024.0 * 1024.0);
    const QString size = megabytes >= 1024 ? QString::number(megabytes / 1024.0, 'f', 1) + " GB"
                                           : QString::number(megabytes, 'f', 1) + " MB";
    return QString("&%1  %2  (%3, %4)").arg(number).arg(label, QString::fromStdString(volume.device), size);
}

}  // namespace

RemovableItems::RemovableItems(QMenu* diskMenu, VolumeSource volumes, AttachedSource attached)
    : QObject(diskMenu), menu_(diskMenu), volumes_(std::move(volumes)), attached_(std::move(attached)) {
    connect(menu_, &QMenu::aboutToShow, this, &RemovableItems::Refresh);
}

void RemovableItems::Refresh() {
    for (QAction* item : items_) delete item;
    items_.clear();
    const std::vector<std::string> attached = attached_();
    int number = 0;
    for (const RemovableVolume& volume : volumes_()) {
        if (std::find(attached.begin(), attached.end(), volume.device) != attached.end()) continue;
        if (items_.empty()) items_.push_back(menu_->addSeparator());
        QAction* item = menu_->addAction(Caption(++number, volume));
        item->setObjectName(QString("Removable_%1").arg(number));
        if (!volume.mountPoints.empty())
            item->setToolTip("Mounted at " + QString::fromStdString(volume.mountPoints.front()) +
                             ": it is busy until it is unmounted");
        const std::string device = volume.device;
        connect(item, &QAction::triggered, this, [this, device] { emit attachRequested(device); });
        items_.push_back(item);
    }
}

}  // namespace quillo::gui
