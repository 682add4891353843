#include "cleaner/file_properties.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDateTime>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QUrl>
#include <QVBoxLayout>

#include "engine/volume_folders.h"

namespace quillo::gui {
namespace {

constexpr char kFileManagerService[] = "org.freedesktop.FileManager1";

QString AttributeText(uint8_t attributes) {
    static const std::pair<uint8_t, const char*> kNames[] = {
        {0x01, "read-only"}, {0x02, "hidden"}, {0x04, "system"}, {0x10, "folder"}, {0x20, "archive"}};
    QStringList names;
    for (const auto& [bit, name] : kNames)
        if ((attributes & bit) != 0) names << name;
    return names.isEmpty() ? QString("none") : names.join(", ");
}

QString DosStamp(uint16_t date, uint16_t time) {
    return QString::fromStdString(DosDateText(date) + " " + DosTimeText(time));
}

}  // namespace

FactLines HostFileFacts(const QString& path) {
    const QFileInfo info(path);
    const QString kind = info.isSymLink() ? "link to " + info.symLinkTarget()
                         : info.isDir()   ? QString("folder")
                         : info.isFile()  ? QString("file")
                                          : QString("other");
    return {{"Name", path},
            {"Type", kind},
            {"Size", QString("%1 bytes").arg(info.size())},
            {"Owner", info.owner()},
            {"Permissions", QString::number(static_cast<int>(info.permissions()), 16)},
            {"Modified", info.lastModified().toString(Qt::ISODate)}};
}

FactLines VolumeFacts(const VolumeFileFacts& facts) {
    FactLines lines = {{"Name", QString::fromStdString(facts.longPath)},
                       {"Size", QString("%1 bytes").arg(facts.size)},
                       {"Attributes", AttributeText(facts.attributes)},
                       {"Created", DosStamp(facts.createDate, facts.createTime)},
                       {"Accessed", QString::fromStdString(DosDateText(facts.accessDate))},
                       {"Modified", DosStamp(facts.writeDate, facts.writeTime)},
                       {"Fragments", QString::number(facts.runs.size())}};
    for (const auto& [first, count] : facts.runs)
        lines.push_back({"", QString("clusters %1-%2 (%3)").arg(first).arg(first + count - 1).arg(count)});
    return lines;
}

bool AskFileManagerForProperties(const QString& path) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || bus.interface() == nullptr ||
        !bus.interface()->isServiceRegistered(kFileManagerService).value())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(kFileManagerService, "/org/freedesktop/FileManager1",
                                                       kFileManagerService, "ShowItemProperties");
    call << QStringList{QUrl::fromLocalFile(path).toString()} << QString();
    return bus.call(call).type() != QDBusMessage::ErrorMessage;
}

void ShowFactsDialog(QWidget* parent, const QString& title, const FactLines& lines) {
    QDialog dialog(parent);
    dialog.setWindowTitle(title);
    auto* form = new QFormLayout;
    for (const auto& [label, value] : lines) {
        auto* text = new QLabel(value);
        text->setTextInteractionFlags(Qt::TextSelectableByMouse);
        form->addRow(label.isEmpty() ? QString() : label + ":", text);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addLayout(form);
    layout->addWidget(buttons);
    dialog.exec();
}

}  // namespace quillo::gui
