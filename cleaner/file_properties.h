#pragma once
// Properties of what a cleaner row stands for: a host file through the
// desktop's file manager (the org.freedesktop.FileManager1 D-Bus service)
// when one runs, otherwise in a small dialog of ours; a file inside a
// volume always in ours, as the volume holds it.
#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

class QWidget;

namespace quillo {
struct VolumeFileFacts;
}

namespace quillo::gui {

using FactLines = std::vector<std::pair<QString, QString>>;  // (label, value)

// The facts our dialog shows of a host file (without following a link).
FactLines HostFileFacts(const QString& path);
// The facts of a file or folder inside a volume, its fragments as cluster runs.
FactLines VolumeFacts(const VolumeFileFacts& facts);

// Asks the desktop's file manager; false when no such service answers.
bool AskFileManagerForProperties(const QString& path);
// The dialog: a title and label/value lines, closed with OK, Enter or Esc.
void ShowFactsDialog(QWidget* parent, const QString& title, const FactLines& lines);

}  // namespace quillo::gui
