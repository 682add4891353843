// The cleaner window's commands: selection, Open, Properties, Delete,
// Print, Help, the context menu and the keys.
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPrinter>

#include "cleaner/cleaner_list.h"
#include "cleaner/file_properties.h"
#include "cleaner/list_printer.h"
#include "cleaner/xclean.h"
#include "engine/volume_folders.h"
#include "mainwindow/help_system.h"

namespace quillo::gui {
namespace {

enum ContextCommand { kContextOpen = 7000, kContextProperties = 7001, kContextDelete = 7002 };

}  // namespace

void Xclean::SelectAll() {
    RecomputeActiveList();
    List1_[static_cast<size_t>(active_)]->selectAll();
}

void Xclean::InvertSelection() {
    RecomputeActiveList();
    CleanerList* list = List1_[static_cast<size_t>(active_)];
    for (int i = 0; i < list->count(); ++i) list->item(i)->setSelected(!list->item(i)->isSelected());
}

void Xclean::OpenCommand() {
    RecomputeActiveList();
    for (const ListRow& row : SelectedRows()) OpenRow(row);
}

void Xclean::OpenRow(const ListRow& row) {
    if (source_ == nullptr) return;
    const RowTarget target = source_->Target(row);
    if (target.kind == RowTarget::Kind::HostFile) {
        hooks_.openFile(QString::fromStdString(target.path));
    } else if (target.kind == RowTarget::Kind::Url) {
        hooks_.openUrl(QString::fromStdString(target.path));
    } else if (target.kind == RowTarget::Kind::VolumeFile) {
        // A file inside a volume opens as a read-only copy of our own.
        const std::string copy = ExtractVolumeFile(env_.ctx, target.path);
        if (!copy.empty()) hooks_.openFile(QString::fromStdString(copy));
    }
}

void Xclean::PropertiesCommand() {
    RecomputeActiveList();
    const int row = List1_[static_cast<size_t>(active_)]->currentRow();
    if (row >= 0) ShowProperties(RowOf(active_, row));
}

void Xclean::ShowProperties(const ListRow& row) {
    if (source_ == nullptr) return;
    const RowTarget target = source_->Target(row);
    const QString path = QString::fromStdString(target.path);
    if (target.kind == RowTarget::Kind::HostFile) {
        if (!hooks_.fileManagerProperties(path)) hooks_.showFacts("Properties", HostFileFacts(path));
    } else if (target.kind == RowTarget::Kind::VolumeFile) {
        if (const std::optional<VolumeFileFacts> facts = ReadVolumeFileFacts(env_.ctx, target.path))
            hooks_.showFacts("Properties", VolumeFacts(*facts));
    }
}

void Xclean::DeleteCommand() {
    RecomputeActiveList();
    const std::vector<ListRow> rows = SelectedRows();
    if (rows.empty()) {
        Message("No file selected.", QMessageBox::Information);
        return;
    }
    // The count as the language prints a number: a blank before it.
    const QString question = QString("Are you sure you want to delete %1 files?").arg(rows.size());
    if (!hooks_.askYesNo(windowTitle(), question, QMessageBox::Question) || source_ == nullptr) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const DeleteOutcome outcome = source_->Delete(rows);
    ApplyDelete(outcome);
    QApplication::restoreOverrideCursor();
    if (!outcome.message.empty()) Message(QString::fromStdString(outcome.message), QMessageBox::Information);
}

void Xclean::ApplyDelete(const DeleteOutcome& outcome) {
    if (outcome.rebuild) {
        FillList();
        return;
    }
    CleanerList* list = List1_[static_cast<size_t>(active_)];
    for (const std::string& key : outcome.removedKeys) {
        const QString wanted = QString::fromStdString(key);
        for (int i = list->count() - 1; i >= 0; --i) {
            if (list->item(i)->data(kRowKeyRole).toString() != wanted) continue;
            delete list->takeItem(i);
            break;
        }
    }
}

void Xclean::PrintCommand() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    RecomputeActiveList();
    QPrinter printer;
    const bool chosen = hooks_.choosePrinter(printer);
    const bool printed = chosen && PrintTo(printer);
    QApplication::restoreOverrideCursor();
    if (chosen && !printed) Message("Printer error", QMessageBox::Warning);
}

bool Xclean::PrintTo(QPrinter& printer) {
    QStringList rows;
    const CleanerList* list = List1_[static_cast<size_t>(active_)];
    for (int i = 0; i < list->count(); ++i) rows << list->item(i)->text();
    return PrintList(printer, windowTitle(), rows);
}

void Xclean::HelpCommand() { ShowHelpPopup(this, helpContext_); }

void Xclean::ContextMenuAt(int index, const QPoint& pos) {
    CleanerList* list = List1_[static_cast<size_t>(index)];
    if (list->count() == 0) return;
    const int row = list->RowAtY(pos.y());
    if (row < 0 || row >= list->count()) return;
    if (!list->item(row)->isSelected()) {
        list->clearSelection();
        list->item(row)->setSelected(true);
    }
    list->setCurrentRow(row, QItemSelectionModel::NoUpdate);
    if (!FileMenuUsable()) return;
    QMenu menu(this);
    auto add = [&menu](const char* caption, int command) { menu.addAction(caption)->setData(command); };
    if (IsShown("Open_")) add("&Open", kContextOpen);
    if (IsShown("Dash1_")) menu.addSeparator();
    if (IsShown("Properties_")) add("P&roperties", kContextProperties);
    if (IsShown("Delete_")) add("&Delete", kContextDelete);
    if (menu.actions().isEmpty()) return;
    switch (hooks_.runMenu(menu, list->viewport()->mapToGlobal(pos))) {
        case kContextOpen: OpenCommand(); break;
        case kContextProperties:
            RecomputeActiveList();
            ShowProperties(RowOf(index, row));
            break;
        case kContextDelete: DeleteCommand(); break;
        default: break;
    }
}

// Keys reach the window before its lists; the right button opens the
// context menu.
bool Xclean::eventFilter(QObject* watched, QEvent* event) {
    for (int i = 0; i < 2; ++i) {
        CleanerList* list = List1_[static_cast<size_t>(i)];
        if (event->type() == QEvent::MouseButtonPress && watched == list->viewport()) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() != Qt::RightButton) return false;
            ContextMenuAt(i, mouse->position().toPoint());
            return true;
        }
        if (event->type() == QEvent::KeyPress && watched == list) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Delete || key->key() == Qt::Key_F1) {
                keyPressEvent(const_cast<QKeyEvent*>(key));
                return true;
            }
            if (key->key() == Qt::Key_Menu && list->currentRow() >= 0) {
                ContextMenuAt(i, list->visualItemRect(list->currentItem()).center());
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void Xclean::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete) {
        if (FileMenuUsable() && IsShown("Delete_")) DeleteCommand();
        return;
    }
    if (event->key() == Qt::Key_F1) {
        HelpCommand();
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace quillo::gui
