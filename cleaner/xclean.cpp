// The cleaner window's frame: controls and menus, the first activation that
// builds the list, and closing.
#include "cleaner/xclean.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QMenu>
#include <QMenuBar>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

#include "cleaner/cleaner_list.h"
#include "cleaner/file_properties.h"
#include "cleaner/progress_bar.h"

namespace quillo::gui {
namespace {

constexpr int kTwipsPerInch = 1440;
constexpr int kOffsetRightTwips = 300;
constexpr int kOffsetDownTwips = 420;
constexpr int kAuxiliaryTwips = 100;
constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
constexpr int kRowsPerBatch = 256;

CleanerHooks WithDefaults(CleanerHooks hooks, QWidget* owner) {
    if (!hooks.message)
        hooks.message = [owner](const QString& title, const QString& text, QMessageBox::Icon icon) {
            QMessageBox(icon, title, text, QMessageBox::Ok, owner).exec();
        };
    if (!hooks.askYesNo)
        hooks.askYesNo = [owner](const QString& title, const QString& text, QMessageBox::Icon icon) {
            QMessageBox box(icon, title, text, QMessageBox::Yes | QMessageBox::No, owner);
            box.setDefaultButton(QMessageBox::No);
            return box.exec() == QMessageBox::Yes;
        };
    if (!hooks.openFile)
        hooks.openFile = [](const QString& path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };
    if (!hooks.openUrl) hooks.openUrl = [](const QString& url) { return QDesktopServices::openUrl(QUrl(url)); };
    if (!hooks.showFacts)
        hooks.showFacts = [owner](const QString& title, const FactLines& lines) { ShowFactsDialog(owner, title, lines); };
    if (!hooks.fileManagerProperties) hooks.fileManagerProperties = AskFileManagerForProperties;
    if (!hooks.choosePrinter)
        hooks.choosePrinter = [owner](QPrinter& printer) { return QPrintDialog(&printer, owner).exec() == QDialog::Accepted; };
    if (!hooks.runMenu)
        hooks.runMenu = [](QMenu& menu, const QPoint& at) {
            const QAction* chosen = menu.exec(at);
            return chosen != nullptr ? chosen->data().toInt() : 0;
        };
    return hooks;
}

int TwipsPerPixel(const QWidget* widget) {
    const int dpi = widget->logicalDpiX();
    return dpi > 0 ? kTwipsPerInch / dpi : 15;
}

}  // namespace

// Rows on their way into the window: shown as they come (in arrival order)
// whenever the window gets to run, sorted once the list is complete.
class Xclean::WindowSink final : public ListSink {
public:
    explicit WindowSink(Xclean& window) : w_(window) {}
    std::vector<ListRow> rows;

    void AddAuxiliaryRow(const std::string& text) override {
        w_.List1_[static_cast<size_t>(w_.auxiliary_)]->addItem(QString::fromStdString(text));
    }
    void SetProgress(int percent) override { w_.ProgressBar1_->SetValue(percent); }
    bool KeepGoing() override {
        ShowPending();
        QApplication::processEvents();
        return !w_.stopRequested_;
    }
    bool ContinueAfterError(const std::string& drive) override {
        return w_.hooks_.askYesNo(w_.windowTitle(), QString::fromStdString("Error accessing " + drive + ". Continue?"),
                                  QMessageBox::Critical);
    }

protected:
    void AppendRow(ListRow row) override {
        rows.push_back(std::move(row));
        if (rows.size() % kRowsPerBatch == 0) ShowPending();
    }
    void ShowLimitMessage() override {
        if (w_.kind_ != nullptr && w_.kind_->partialInCaption) w_.setWindowTitle(w_.windowTitle() + " (partial)");
        w_.Message(kRowLimitMessage, QMessageBox::Warning);
    }

private:
    void ShowPending() {
        CleanerList* list = w_.List1_[static_cast<size_t>(w_.active_)];
        for (; shown_ < rows.size(); ++shown_) list->addItem(QString::fromStdString(rows[shown_].text));
    }
    Xclean& w_;
    size_t shown_ = 0;
};

Xclean::Xclean(ListEnvironment& env, const std::string& keyword, QWidget* mainWindow, CleanerHooks hooks)
    : QDialog(mainWindow), env_(env), keyword_(keyword), kind_(FindListKind(keyword)),
      source_(MakeListSource(keyword, env)), hooks_(WithDefaults(std::move(hooks), this)) {
    setObjectName("Xclean");
    setWindowTitle("Quillo");
    setModal(true);
    for (size_t i = 0; i < List1_.size(); ++i) {
        List1_[i] = new CleanerList(this);
        List1_[i]->setObjectName(QString("List1_%1").arg(i));
        List1_[i]->installEventFilter(this);
        List1_[i]->viewport()->installEventFilter(this);
        connect(List1_[i], &QListWidget::itemDoubleClicked, this, [this, i](QListWidgetItem* item) {
            if (!FileMenuUsable() || !IsShown("Open_")) return;
            OpenRow(RowOf(static_cast<int>(i), List1_[i]->row(item)));
        });
    }
    ProgressBar1_ = new ProgressBar(this);
    BuildMenus();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setMenuBar(menuBar_);
    layout->addWidget(List1_[0], 1);
    layout->addWidget(ProgressBar1_);
    layout->addWidget(List1_[1]);

    // Load: placed below and right of the main window's corner; the
    // auxiliary list 100 twips high and out of sight; Edit for the lists
    // that select.
    const int twips = TwipsPerPixel(this);
    if (mainWindow != nullptr) move(mainWindow->pos() + QPoint(kOffsetRightTwips / twips, kOffsetDownTwips / twips));
    resize(640, 440);
    List1_[1]->setFixedHeight(std::max(kAuxiliaryTwips / twips, 1));
    List1_[1]->hide();
    rowHeight_ = List1_[0]->RowHeight();
    MenuItem("Edit_")->setVisible(keyword != "Frags" && keyword != "TaskList");
    ProgressBar1_->setVisible(keyword == "Duplicates");
    stopRequested_ = false;
}

Xclean::~Xclean() = default;

void Xclean::BuildMenus() {
    menuBar_ = new QMenuBar(this);
    auto item = [this](QMenu* menu, const char* name, const char* caption, void (Xclean::*command)()) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(name);
        if (command != nullptr) connect(action, &QAction::triggered, this, command);
        return action;
    };
    auto separator = [](QMenu* menu, const char* name) { menu->addSeparator()->setObjectName(name); };
    QMenu* file = menuBar_->addMenu("&File");
    file->menuAction()->setObjectName("File_");
    item(file, "Open_", "&Open", &Xclean::OpenCommand);
    separator(file, "Dash1_");
    item(file, "Delete_", "&Delete", &Xclean::DeleteCommand);
    item(file, "Properties_", "P&roperties", &Xclean::PropertiesCommand);
    separator(file, "Dash2_");
    item(file, "Close_", "E&xit", &Xclean::ExitCommand);
    QMenu* edit = menuBar_->addMenu("&Edit");
    edit->menuAction()->setObjectName("Edit_");
    edit->menuAction()->setVisible(false);
    item(edit, "SelectAll_", "Select &all", &Xclean::SelectAll);
    item(edit, "InvertSelect_", "&Invert selection", &Xclean::InvertSelection);
    QMenu* list = menuBar_->addMenu("&List");
    list->menuAction()->setObjectName("List_");
    item(list, "Print_", "&Print", &Xclean::PrintCommand);
    QAction* help = menuBar_->addAction("&Help");
    help->setObjectName("Help_");
    connect(help, &QAction::triggered, this, &Xclean::HelpCommand);
    MenuItem("Help_")->setEnabled(false);
    MenuItem("List_")->setEnabled(false);
}

QAction* Xclean::MenuItem(const QString& name) const {
    for (QAction* action : menuBar_->findChildren<QAction*>())
        if (action->objectName() == name) return action;
    return nullptr;
}

bool Xclean::IsShown(const QString& item) const {
    const QAction* action = MenuItem(item);
    return action != nullptr && action->isVisible();
}

bool Xclean::FileMenuUsable() const {
    const QAction* file = MenuItem("File_");
    return file->isVisible() && file->isEnabled();
}

void Xclean::Message(const QString& text, QMessageBox::Icon icon) { hooks_.message(windowTitle(), text, icon); }

void Xclean::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (activated_) return;
    activated_ = true;
    QTimer::singleShot(0, this, &Xclean::FirstActivation);
}

void Xclean::FirstActivation() {
    const QFontMetricsF metrics(List1_[0]->font());
    charWidth_ = metrics.horizontalAdvance(kLetters) / 52.0;
    dialogUnit_ = charWidth_ / 4.0;
    if (kind_ != nullptr) {
        title_ = kind_->caption;
        setWindowTitle(title_);
        helpContext_ = kind_->helpContext;
        MenuItem("Dash1_")->setVisible(kind_->canOpen);
        MenuItem("Open_")->setVisible(kind_->canOpen);
        MenuItem("Delete_")->setVisible(kind_->canDelete);
        MenuItem("Properties_")->setVisible(kind_->canShowProperties);
    }
    QApplication::processEvents();
    List1_[0]->setFocus();
    if (source_ != nullptr) FillList();
    MenuItem("Help_")->setEnabled(true);
    MenuItem("List_")->setEnabled(true);
}

void Xclean::SetTabStopsFor(const std::string& keyword) {
    const int t = TwipsPerPixel(this);
    int first = 0;
    if (keyword == "Temps" || keyword == "TempInternet") first = 440 - (15 - t) * 7;
    else if (keyword == "Duplicates") first = 135 - (15 - t) * 4;
    else if (keyword == "Frags") first = 430 - (15 - t) * 7;
    if (first > 0)
        for (CleanerList* list : List1_) list->SetTabStops(first, first, dialogUnit_);
}

void Xclean::FillList() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    filling_ = true;
    MenuItem("File_")->setEnabled(false);
    MenuItem("Edit_")->setEnabled(false);
    for (CleanerList* list : List1_) list->clear();
    const bool scan = keyword_ == "Duplicates";
    // The duplicate scan shows the auxiliary list while it works.
    if (scan) {
        List1_[1]->show();
        List1_[0]->hide();
    }
    RecomputeActiveList();
    SetTabStopsFor(keyword_);
    widest_ = 0;
    setWindowTitle(title_);
    WindowSink sink(*this);
    const FillEnd end = source_->Fill(sink);
    if (scan) {
        List1_[0]->show();
        List1_[1]->hide();
        List1_[1]->clear();  // it showed the rows as they came; list 0 holds them now
        RecomputeActiveList();
    }
    SortRows(sink.rows);
    const size_t rows = sink.rows.size();
    ShowRows(std::move(sink.rows));
    filling_ = false;
    filled_ = true;
    QApplication::restoreOverrideCursor();
    if (end.stopped) {
        if (end.errorStop) Message(QString::fromStdString(end.errorMessage), QMessageBox::Critical);
        close();
        return;
    }
    if (kind_ != nullptr && kind_->countInCaption)
        setWindowTitle(QString("%1 (%2)%3").arg(title_).arg(rows).arg(sink.LimitReached() ? " (partial)" : ""));
    // A task list without rows has nothing to offer.
    MenuItem("File_")->setEnabled(keyword_ != "TaskList" || rows > 0);
    MenuItem("Edit_")->setEnabled(true);
}

void Xclean::ShowRows(std::vector<ListRow> rows) {
    CleanerList* list = List1_[static_cast<size_t>(active_)];
    list->setUpdatesEnabled(false);
    list->clear();
    for (ListRow& row : rows) {
        auto* item = new QListWidgetItem(QString::fromStdString(row.text));
        item->setData(kRowFolderRole, row.isFolder);
        item->setData(kRowKeyRole, QString::fromStdString(row.key));
        list->addItem(item);
        widest_ = std::max(widest_, static_cast<int32_t>(list->RowWidth(item->text())));
    }
    // The extent: the widest row plus the list's frame and scroll bar.
    const int margins = 2 * list->frameWidth() + list->verticalScrollBar()->sizeHint().width();
    if (!rows.empty()) list->SetHorizontalExtent(widest_ + margins);
    list->setUpdatesEnabled(true);
}

void Xclean::RecomputeActiveList() {
    active_ = List1_[0]->isVisibleTo(this) ? 0 : 1;
    auxiliary_ = static_cast<int16_t>(1 - active_);
}

ListRow Xclean::RowOf(int list, int row) const {
    const QListWidgetItem* item = List1_[static_cast<size_t>(list)]->item(row);
    if (item == nullptr) return {};
    return {item->text().toStdString(), item->data(kRowFolderRole).toBool(),
            item->data(kRowKeyRole).toString().toStdString(), {}};
}

std::vector<ListRow> Xclean::SelectedRows() const {
    std::vector<ListRow> rows;
    const CleanerList* list = List1_[static_cast<size_t>(active_)];
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->isSelected()) rows.push_back(RowOf(active_, i));
    return rows;
}

void Xclean::ExitCommand() {
    stopRequested_ = true;
    // While the scan holds a volume it stops at its next check and then
    // closes the window itself.
    if (source_ == nullptr || !source_->HoldsVolume()) QDialog::reject();
}

void Xclean::reject() { ExitCommand(); }

void Xclean::closeEvent(QCloseEvent* event) {
    stopRequested_ = true;
    if (source_ != nullptr && source_->HoldsVolume()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

}  // namespace quillo::gui
