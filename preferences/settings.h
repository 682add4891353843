#pragma once
// The preferences dialog `Settings`: one modal window whose pages are the
// frames of `Frame1`, opened on the page that `PageKeyword` names. Each page
// shows the option variables; its OK validates the page, writes every key of
// the page to the option store and updates the variables; Cancel (also Enter
// and Esc on every page but About) closes it without writing anything. A new
// dialog is built for every opening.
#include <QDialog>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "common/options.h"
#include "platform/schedule.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace quillo {
class OptionStore;
class RegistryStore;
}  // namespace quillo

namespace quillo::gui {

// What the dialog reads and writes.
struct SettingsSources {
    Options& options;             // the option variables
    OptionStore& store;
    RegistryStore& registry;      // the RunOnce record of the schedule
    // Captions of the visible drive items `Drv_`(1) .. `Drv_`(24), each
    // with its leading accelerator mark ("&C:  DATA").
    std::vector<std::string> driveCaptions;
};

// What the dialog does where a test must not block, and what it registers.
struct SettingsHooks {
    std::function<void(const QString&)> showCritical;  // default: a message box
    std::function<void()> beep;                        // default: the system beep
    std::function<Day()> today;                        // default: the local date
    std::string launcherPath;       // default: quillo-autorun beside this program
    std::string autostartEntryPath; // default: in the XDG autostart folder
};

class Settings final : public QDialog {
    Q_OBJECT
public:
    // Placed 70 x 40 pixels right of and below `mainWindow`'s top-left
    // corner; the page is filled and shown at the first activation.
    Settings(QWidget* mainWindow, std::string pageKeyword, SettingsSources sources, SettingsHooks hooks = {});

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BuildAboutPage();
    void BuildDefragPage();
    void BuildAutoPage();
    void BuildSchedulePage();
    void BuildDisplayPage();
    // The frame of a page, its fields laid out top to bottom.
    QGroupBox* MakeFrame(int frame);
    // The page's OK / Cancel / Help array under its fields; Cancel closes
    // the dialog and is the page's default button, Help pops its topic up.
    void AddPageButtons(int frame, std::array<QPushButton*, 3>& buttons, const char* arrayName);
    void FirstActivation();
    void ShowPage(int frame);

    void FillDefragPage();
    void FillAutoPage();
    void FillSchedulePage();
    void FillDisplayPage();

    void DefragOk();
    void AutoOk();
    void ScheduleOk();
    void DisplayOk();

    std::string pageKeyword_;
    SettingsSources sources_;
    SettingsHooks hooks_;
    bool activated_ = false;
    int helpContext_ = 0;

    std::array<QGroupBox*, 7> Frame1_{};
    std::array<QPushButton*, 7> defaultButton_{};
    QPushButton* AboutOK_ = nullptr;
    std::array<QPushButton*, 3> DefragCmd_{};
    std::array<QCheckBox*, 5> DefragChk_{};
    std::array<QLineEdit*, 2> DefragTxt_{};
    std::array<QPushButton*, 3> AutoCmd_{};
    QListWidget* AutoList_ = nullptr;
    QComboBox* RunAs_ = nullptr;
    QCheckBox* AutoChk_ = nullptr;
    std::array<QPushButton*, 3> SchedCmd_{};
    std::array<QRadioButton*, 4> Sched_{};
    std::array<QPushButton*, 3> DisplayCmd_{};
    std::array<QCheckBox*, 3> DisplayCheck_{};
};

}  // namespace quillo::gui
