#pragma once
// The Disk menu's removable volumes: the FAT volumes UDisks2 knows on USB
// sticks and memory cards that are not attached yet, listed after "Open disk
// image..." each time the menu opens. Choosing one asks for it to be attached
// (UDisks2 then asks the user for authorisation when its policy says so).
#include <QObject>

#include <functional>
#include <string>
#include <vector>

#include "platform/udisks.h"

class QAction;
class QMenu;

namespace quillo::gui {

class RemovableItems final : public QObject {
    Q_OBJECT
public:
    using VolumeSource = std::function<std::vector<RemovableVolume>()>;
    using AttachedSource = std::function<std::vector<std::string>()>;  // attached paths

    RemovableItems(QMenu* diskMenu, VolumeSource volumes, AttachedSource attached);

    // Rebuilds the items now (the menu does it when it opens).
    void Refresh();
    const std::vector<QAction*>& Items() const { return items_; }

signals:
    void attachRequested(const std::string& devicePath);

private:
    QMenu* menu_;
    VolumeSource volumes_;
    AttachedSource attached_;
    std::vector<QAction*> items_;  // the separator first
};

}  // namespace quillo::gui
