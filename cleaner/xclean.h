#pragma once
// The cleaner window (`Xclean`): one modal window over one of the lists the
// keyword names (temporary files, duplicate names, fragmented files, tasks,
// and the internet lists). It builds the list at its first activation and
// offers the same commands on every list, each hidden where the list has no
// use for it. What the rows are and how they go is the list source's affair.
#include <QDialog>
#include <QMessageBox>

#include <array>
#include <functional>
#include <memory>
#include <string>

#include "engine/list_source.h"

class QAction;
class QMenu;
class QMenuBar;
class QPrinter;

namespace quillo::gui {

class CleanerList;
class ProgressBar;

// What the window does where a test must not block.
struct CleanerHooks {
    std::function<void(const QString& title, const QString& text, QMessageBox::Icon)> message;  // OK only
    std::function<bool(const QString& title, const QString& text, QMessageBox::Icon)> askYesNo;  // No is default
    std::function<bool(const QString& path)> openFile;                // default: the desktop's handler
    std::function<bool(const QString& url)> openUrl;                  // default: the desktop's web browser
    std::function<void(const QString& title, const std::vector<std::pair<QString, QString>>&)> showFacts;
    std::function<bool(const QString& path)> fileManagerProperties;   // default: over D-Bus
    std::function<bool(QPrinter&)> choosePrinter;                     // default: the print dialog
    std::function<int(QMenu&, const QPoint&)> runMenu;                // default: exec, the chosen command
};

class Xclean : public QDialog {
    Q_OBJECT
public:
    Xclean(ListEnvironment& env, const std::string& keyword, QWidget* mainWindow, CleanerHooks hooks = {});
    ~Xclean() override;

    // The commands, as the menus, keys and context menu start them.
    void SelectAll();
    void InvertSelection();
    void OpenCommand();
    void PropertiesCommand();
    void DeleteCommand();
    void PrintCommand();
    void HelpCommand();
    void ExitCommand();
    // The context menu for a right click at `pos` in list `index`'s viewport.
    void ContextMenuAt(int index, const QPoint& pos);
    // Prints to a printer the caller set up (the command asks for one first).
    bool PrintTo(QPrinter& printer);

    // For tests and the window program's screenshot.
    CleanerList& List(int index) { return *List1_[static_cast<size_t>(index)]; }
    ProgressBar& progressBar() { return *ProgressBar1_; }
    QAction* MenuItem(const QString& name) const;
    int helpContext() const { return helpContext_; }
    bool StopRequested() const { return stopRequested_; }
    bool Filled() const { return filled_; }
    int ActiveIndex() const { return active_; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void reject() override;

private:
    class WindowSink;

    void BuildMenus();
    void FirstActivation();
    // Builds the list (again) and puts its caption right.
    void FillList();
    void ShowRows(std::vector<ListRow> rows);
    void RecomputeActiveList();
    std::vector<ListRow> SelectedRows() const;
    ListRow RowOf(int list, int row) const;
    void OpenRow(const ListRow& row);
    void ShowProperties(const ListRow& row);
    void ApplyDelete(const DeleteOutcome& outcome);
    bool FileMenuUsable() const;
    bool IsShown(const QString& item) const;
    void Message(const QString& text, QMessageBox::Icon icon);
    void SetTabStopsFor(const std::string& keyword);

    ListEnvironment& env_;
    std::string keyword_;
    const ListKind* kind_ = nullptr;
    std::unique_ptr<ListSource> source_;
    CleanerHooks hooks_;
    QString title_;
    int helpContext_ = 0;

    std::array<CleanerList*, 2> List1_{};
    ProgressBar* ProgressBar1_ = nullptr;
    QMenuBar* menuBar_ = nullptr;
    int16_t active_ = 0;
    int16_t auxiliary_ = 1;
    int32_t widest_ = 0;
    int rowHeight_ = 0;
    double charWidth_ = 0;
    double dialogUnit_ = 0;
    bool activated_ = false;
    bool filled_ = false;
    bool filling_ = false;
    bool stopRequested_ = false;
};

}  // namespace quillo::gui
