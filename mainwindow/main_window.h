#pragma once
// The main window: owns a program run from start-up to exit, and every
// command that checks or defragments a drive goes through its run command.
#include <QMainWindow>

#include <functional>
#include <memory>
#include <string>

#include "common/clock.h"
#include "common/engine_context.h"
#include "disk/drive_menu.h"
#include "engine/end_of_run.h"
#include "engine/run_driver.h"
#include "mainwindow/attached_disks.h"
#include "mainwindow/image_toolbar.h"
#include "platform/option_store.h"
#include "platform/registry_store.h"

class QLabel;
class QListWidget;
class QSplashScreen;
class QTimer;

namespace quillo::gui {

class DiskMap;
class FragGaugeView;
class FreeSpacePie;
class MainMenuBar;
class ProgressPanel;
class SizeChartView;
class WindowView;

// What the window does where a test must not block or end the process.
struct WindowHooks {
    std::function<void(MessageStyle, const QString&)> showMessage;  // default: a message box
    std::function<void()> beep;                                     // default: the system beep
    std::function<void()> endProgram;                               // default: quit the event loop
    int showDelayMs = 1000;  // the pause before the window shows at start-up
};

// The cleaner keyword a Tools item opens ("Duplicate_" -> "Duplicates");
// null for any other item.
const char* CleanerKeywordOf(const QString& item);

// The log's line while no disk is attached.
inline constexpr const char* kNoDiskHint = "No disk attached: use Disk > Open disk image...";

// Exit status of an unattended run whose drive list names no attached drive
// (the console front end's "unknown drive").
inline constexpr int kExitNoDrive = 2;

// For programs that drive the window themselves (screenshots, benchmarks):
// no pause, no beep, messages printed to standard error.
WindowHooks ScriptedRunHooks();

class NTQuilF : public QMainWindow {
    Q_OBJECT
public:
    explicit NTQuilF(WindowHooks hooks = {});
    ~NTQuilF() override;

    // Start-up: options, layout, drive menu, then either an unattended run of
    // `commandLine` (drive letters or "*"), which ends the program, or the
    // first drive's map. `disks` are attached and remembered first.
    void FormLoad(const std::vector<AttachedDisk>& disks, const std::string& commandLine);
    bool Ended() const { return ended_; }
    // The program's exit status once it ended: kExitNoDrive when the drive
    // list of an unattended run named no attached drive, else 0.
    int ExitStatus() const { return exitStatus_; }

    // Commands, as the menus, toolbar and keys start them.
    void SelectDrive(int index);
    void DefragCommand();
    void CheckDiskCommand();
    void AllDrivesLoop(bool defragment);
    void StepDrive(int step);  // -1 previous, +1 next
    void StopCommand();
    void ExitCommand();
    // Attaches an image (the Disk menu's "&Open disk image...") and selects
    // its first volume; false when it gives no drive.
    bool AttachDiskImage(const std::string& typedPath);
    // Opens the cleaner window modally on the list `keyword` names
    // ("Temps", "Duplicates", "TaskList", "Frags", ...), the interface locked.
    void OpenCleanerList(const std::string& keyword);
    // A drive of the Disk menu is selected: Check and Defragment have
    // something to work on.
    bool DriveSelected() const;
    // The drive list of an unattended run; `checkOnly` > 0 checks instead.
    // Returns how many drives it ran.
    int RunDriveList(const std::string& list, int checkOnly);
    // Tools and Help: HexExplorer on the selected drive, a launcher item
    // ("ScanDisk_", "regcheck_" ...), the help window at its contents.
    void HexExplorerCommand();
    void LauncherCommand(const std::string& item);
    void TopicsCommand();
    // Shows the preferences dialog modally on the page `keyword` names; the
    // interface is not locked.
    void OpenPreferences(const std::string& keyword);
    // Shows or hides the large-file list and the file-size graph, and
    // maximises or restores the window, as the display options say now.
    void ReapplyDisplayOptions();

    // Window state.
    bool Ready = false;
    bool RunActive = false;
    bool RunInProgress = false;
    bool MapRedrawPending = false;
    bool InResize = false;
    Qt::WindowStates LastWindowState = Qt::WindowNoState;
    std::string CommandList;
    std::string DriveCaption;
    std::string PageKeyword;
    std::string TempPath;
    std::string TempFolder;
    std::string InternetCacheFolder;  // the first browser profile's cache folder, with '/'
    std::string HistoryFolder;  // what "Internet &history..." opens
    bool IsWin98 = true;

    // The engine and the parts of the window, for the view and for tests.
    EngineContext& ctx() { return *ctx_; }
    DriveMenu& driveMenu() { return driveMenu_; }
    AttachedDrives& drives() { return drives_; }
    MainMenuBar& menus() { return *menus_; }
    ImageToolbar& toolbar() { return *Image1_; }
    DiskMap& picMap() { return *picMap_; }
    FreeSpacePie& pie() { return *Text1_; }
    FragGaugeView& gauge() { return *FragBar_; }
    SizeChartView& sizeChart() { return *PicHistoF_; }
    ProgressPanel& progressPanel() { return *Text0_; }
    QListWidget& log() { return *TxtLog_; }
    QListWidget& largeList() { return *lstLarge_; }
    QListWidget& fragmentedList() { return *lstInuse_; }
    QLabel& driveTitle() { return *Label0_; }
    QLabel& sharedLabel() { return *Label4_; }
    QLabel& largeCaption() { return *Label12_; }
    QTimer& timer() { return *Timer1_; }
    // Substitutes the defragment phase of the run driver (tests).
    void SetDefragmentPhase(DefragmentPhase phase) { phase_ = std::move(phase); }
    // Lays the panels out for the current window size (the arrange step).
    void Arrange();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    // Disk images dropped onto the window are attached.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void BuildWidgets();
    void ConnectCommands();
    void ConnectDesktop();  // dropped images, removable volumes (window_desktop.cpp)
    void OnMenuItem(const QString& name);
    // The Tools and Help items of tools_commands.cpp; false for other names.
    bool OnToolsItem(const QString& name);
    // The Preferences items and About; false for any other item.
    bool OnPreferencesItem(const QString& name);
    void OnToolbar(ToolbarAction action);
    void InitialLayout();
    void SyncDriveItems();
    void RunCommand();
    void RunCommandWithRestart();
    void LockInterface();
    void UnlockInterface();
    void ResetLists();
    void DiscardMapCells();
    void UpdateDriveButtons();
    void ShowEndOfRunMessage();
    void ShowMainWindow(int windowState);
    void FatalStop(const QString& message, MessageStyle style);
    void SaveWindowSize();
    void PlaceSharedLabel();
    void ApplyBackground(const QColor& colour);
    void RecomputeMapGeometry();
    void OnWindowResized();
    void Beep();

    WindowHooks hooks_;
    SystemClock clock_;
    AttachedDrives drives_;
    DriveMenu driveMenu_;
    OptionStore store_;
    RegistryStore registry_;
    std::unique_ptr<WindowView> view_;
    std::unique_ptr<EngineContext> ctx_;
    DefragmentPhase phase_;
    bool ended_ = false;
    int exitStatus_ = 0;
    bool inRunCommand_ = false;  // from the run command's first yield to its end
    int twipsPerPixel_ = 15;
    int32_t lastNormalHeight_ = 0;  // twips
    int32_t lastNormalWidth_ = 0;
    QTimer* resizeRedraw_ = nullptr;

    MainMenuBar* menus_ = nullptr;
    ImageToolbar* Image1_ = nullptr;
    QLabel* Label0_ = nullptr;
    QLabel* Label4_ = nullptr;
    QLabel* Label12_ = nullptr;
    FreeSpacePie* Text1_ = nullptr;
    FragGaugeView* FragBar_ = nullptr;
    ProgressPanel* Text0_ = nullptr;
    QListWidget* TxtLog_ = nullptr;
    SizeChartView* PicHistoF_ = nullptr;
    QListWidget* lstLarge_ = nullptr;
    QListWidget* lstInuse_ = nullptr;
    DiskMap* picMap_ = nullptr;
    QTimer* Timer1_ = nullptr;
    QSplashScreen* splash_ = nullptr;

    friend class WindowView;
};

}  // namespace quillo::gui
