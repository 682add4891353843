// The window's widgets and its commands: drive selection, Check, Defrag, the
// all-drives loop, Stop, Exit and the run command they all go through.
#include "mainwindow/main_window.h"

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QShortcut>
#include <QSplashScreen>
#include <QTimer>

#include <cstdio>

#include "common/log.h"
#include "disk/volume_lock.h"
#include "mainwindow/disk_map.h"
#include "mainwindow/drive_list.h"
#include "mainwindow/frag_gauge_view.h"
#include "mainwindow/free_space_pie.h"
#include "mainwindow/menu_bar.h"
#include "mainwindow/menu_help.h"
#include "mainwindow/progress_panel.h"
#include "mainwindow/size_chart_view.h"
#include "mainwindow/window_view.h"
#include "platform/config_paths.h"

namespace quillo::gui {

WindowHooks ScriptedRunHooks() {
    WindowHooks hooks;
    hooks.showDelayMs = 0;
    hooks.beep = [] {};
    hooks.showMessage = [](MessageStyle, const QString& text) {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    };
    return hooks;
}

NTQuilF::NTQuilF(WindowHooks hooks)
    : hooks_(std::move(hooks)),
      store_(OptionStore::ForApplication(kQuilloAppName)),
      registry_(RegistryStore::ForApplication(kQuilloAppName)),
      view_(std::make_unique<WindowView>(*this)),
      ctx_(std::make_unique<EngineContext>(*view_, clock_, drives_)) {
    setObjectName("NTQuilF");
    setWindowTitle("Quillo");
    ctx_->driveMenu = &driveMenu_;
    ctx_->registry = &registry_;
    if (!hooks_.showMessage) {
        hooks_.showMessage = [this](MessageStyle style, const QString& text) {
            if (style == MessageStyle::Critical) QMessageBox::critical(this, "Quillo", text);
            else QMessageBox::information(this, "Quillo", text);
        };
    }
    if (!hooks_.beep) hooks_.beep = [] { QApplication::beep(); };
    if (!hooks_.endProgram) hooks_.endProgram = [] { QCoreApplication::exit(0); };
    setAcceptDrops(true);
    BuildWidgets();
    ConnectCommands();
}

NTQuilF::~NTQuilF() {
    ReleaseVolume(*ctx_);
    delete splash_;
}

void NTQuilF::BuildWidgets() {
    menus_ = new MainMenuBar(this);
    setMenuBar(menus_);
    auto* central = new QWidget(this);
    setCentralWidget(central);
    Image1_ = new ImageToolbar(central);
    Label0_ = new QLabel(central);
    Label0_->setObjectName("Label0");
    QFont titleFont = Label0_->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.3);
    Label0_->setFont(titleFont);
    Label4_ = new QLabel("(shared)", central);
    Label4_->setObjectName("Label4");
    Label4_->hide();
    Text1_ = new FreeSpacePie(central);
    FragBar_ = new FragGaugeView(Text1_);
    TxtLog_ = new QListWidget(central);
    TxtLog_->setObjectName("TxtLog");
    TxtLog_->setSelectionMode(QAbstractItemView::NoSelection);  // the log never keeps a selection
    TxtLog_->setFocusPolicy(Qt::NoFocus);
    Text0_ = new ProgressPanel(central);
    Text0_->hide();
    PicHistoF_ = new SizeChartView(central);
    Label12_ = new QLabel("Large files:", central);
    Label12_->setObjectName("Label12");
    Label12_->setToolTip("Lists files larger than 5Mb. Enabled only after running Check or Defragment disk.");
    lstLarge_ = new QListWidget(central);
    lstLarge_->setObjectName("lstLarge");
    lstLarge_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    lstInuse_ = new QListWidget(this);
    lstInuse_->setObjectName("lstInuse");
    lstInuse_->hide();
    picMap_ = new DiskMap(central);
    Timer1_ = new QTimer(this);
    Timer1_->setSingleShot(true);
    Timer1_->setInterval(30000);
    resizeRedraw_ = new QTimer(this);
    resizeRedraw_->setSingleShot(true);
    resizeRedraw_->setInterval(40);
    Label12_->setEnabled(false);
    lstLarge_->setEnabled(false);
}

void NTQuilF::ConnectCommands() {
    connect(menus_, &MainMenuBar::itemTriggered, this, &NTQuilF::OnMenuItem);
    InstallMenuHelp(*menus_);
    ConnectDesktop();
    connect(Image1_, &ImageToolbar::command, this, &NTQuilF::OnToolbar);
    // Esc stops wherever the focus lies in the window. A key press goes to
    // the focused widget, and after a command chosen from the menus by
    // keyboard that is the menu bar, which keeps Esc for itself; a window
    // shortcut comes first (the menu bar still claims Esc while one of its
    // menus is highlighted, and an open menu takes it to close).
    auto* stop = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    stop->setContext(Qt::WindowShortcut);
    connect(stop, &QShortcut::activated, this, &NTQuilF::StopCommand);
    connect(Timer1_, &QTimer::timeout, this, [this] {
        // Ends a program that never got to its first pass, but not one still
        // waiting for the user to attach a disk.
        bool anyDrive = false;
        for (const DriveMenuItem& item : driveMenu_.items) anyDrive = anyDrive || item.visible;
        if (ctx_->scan.RecyclePath.empty() && anyDrive && !RunActive) {
            ended_ = true;
            hooks_.endProgram();
        }
    });
    connect(resizeRedraw_, &QTimer::timeout, this, &NTQuilF::OnWindowResized);
}

void NTQuilF::OnMenuItem(const QString& name) {
    if (OnPreferencesItem(name)) return;
    if (name.startsWith("Drv_")) {
        SelectDrive(name.mid(4).toInt());
    } else if (name == "Defrag_") {
        DefragCommand();
    } else if (name == "CheckDisk_") {
        CheckDiskCommand();
    } else if (name == "DefragAll_") {
        AllDrivesLoop(true);
        Beep();
    } else if (name == "CheckAll_") {
        AllDrivesLoop(false);
    } else if (name == "Exit_") {
        ExitCommand();
    } else if (const char* keyword = CleanerKeywordOf(name)) {
        OpenCleanerList(keyword);
    } else if (name == "OpenImage_") {
        const QString path = QFileDialog::getOpenFileName(this, "Open disk image");
        if (!path.isEmpty()) AttachDiskImage(path.toStdString());
    } else {
        OnToolsItem(name);
    }
}

void NTQuilF::OnToolbar(ToolbarAction which) {
    if (which == ToolbarAction::None) return;
    if (which == ToolbarAction::Stop) {
        Image1_->ShowPressedFace(which, true);
        StopCommand();
        return;
    }
    Image1_->ShowPressedFace(which, true);
    view_->Yield();
    switch (which) {
        case ToolbarAction::Defragment: DefragCommand(); break;
        case ToolbarAction::CheckDisk: CheckDiskCommand(); break;
        case ToolbarAction::PreviousDisk: StepDrive(-1); break;
        case ToolbarAction::NextDisk: StepDrive(+1); break;
        case ToolbarAction::ListFragments: OpenCleanerList("Frags"); break;
        default: break;
    }
    Image1_->ShowPressedFace(which, false);
}
// ---- commands

void NTQuilF::SelectDrive(int index) {
    if (index < 0 || index >= DriveMenu::kItemCount) return;
    ResetLists();
    if (index != ctx_->run.DriveMenuIndex) {
        DiscardMapCells();  // and the picture: a smaller volume would leave the old rows showing
        Image1_->SetListFragmentsActive(false);
    }
    ctx_->run.DriveMenuIndex = index;
    DriveCaption = driveMenu_.items[index].caption;
    if (!DriveCaption.empty() && DriveCaption[0] == '&') DriveCaption.erase(0, 1);
    ctx_->run.DriveString = DriveCaption.substr(0, 2);
    ctx_->run.RootPath = ctx_->run.DriveString + "\\";
    Label0_->setText(QString::fromStdString(DriveCaption));
    Label0_->adjustSize();
    Label4_->hide();
    PlaceSharedLabel();
    if (!CommandList.empty()) return;
    ClearLog(*ctx_);
    ctx_->run.ScanFiles = false;
    ctx_->run.RunMode = -1;
    ctx_->geo.TotalClusters = 0;
    RunCommandWithRestart();
    if (ctx_->geo.TotalClusters == 0) {
        DiscardMapCells();
        FragBar_->HideAll();
        Text1_->Draw(0, 0);
    }
}

bool NTQuilF::DriveSelected() const {
    const int index = ctx_->run.DriveMenuIndex;
    return !ctx_->run.DriveString.empty() && index >= 0 && index < DriveMenu::kItemCount &&
           driveMenu_.items[index].visible;
}

void NTQuilF::DefragCommand() {
    if (!DriveSelected()) return;  // nothing attached: the log keeps its hint
    ClearLog(*ctx_);
    ResetLists();
    ctx_->run.RunMode = 1;
    ctx_->run.ScanFiles = true;
    RunCommandWithRestart();
    Beep();
}

void NTQuilF::CheckDiskCommand() {
    if (!DriveSelected()) return;
    ClearLog(*ctx_);
    ResetLists();
    ctx_->run.ScanFiles = true;
    ctx_->run.RunMode = -1;
    RunCommandWithRestart();
}

void NTQuilF::AllDrivesLoop(bool defragment) {
    CommandList = " ";
    ctx_->run.StopRequested = false;
    for (int i = 1; i <= 24; ++i) {
        if (!driveMenu_.items[i].visible) continue;
        SelectDrive(i);
        if (ctx_->run.StopRequested) break;
        if (defragment) DefragCommand();
        else CheckDiskCommand();
        if (ctx_->run.StopRequested) break;
    }
    CommandList.clear();
}

void NTQuilF::StepDrive(int step) {
    int index = ctx_->run.DriveMenuIndex;
    for (int tries = 0; tries < 24; ++tries) {
        index += step;
        if (index < 1) index = 24;
        if (index > 24) index = 1;
        if (driveMenu_.items[index].visible) {
            SelectDrive(index);
            return;
        }
    }
}

void NTQuilF::StopCommand() {
    ctx_->run.StopRequested = true;
    if (!RunActive) return;
    ctx_->run.UserAbort = true;
    RunActive = RunInProgress;
    if (RunInProgress && !ctx_->dev.LockRaised) Text0_->ShowPleaseWait();
}

void NTQuilF::ExitCommand() {
    StopCommand();
    if (RunActive) return;
    ReleaseVolume(*ctx_);
    SaveWindowSize();
    ended_ = true;
    hide();
    hooks_.endProgram();
}

int NTQuilF::RunDriveList(const std::string& list, int checkOnly) {
    int ran = 0;
    for (char letter : DriveListLetters(list)) {
        for (int i = 0; i < DriveMenu::kItemCount; ++i) {
            const DriveMenuItem& item = driveMenu_.items[i];
            if (!item.visible || item.caption.size() < 2 || item.caption[1] != letter) continue;
            SelectDrive(i);  // another drive than the last: its map starts blank
            ctx_->run.ScanFiles = true;
            ctx_->run.RunMode = checkOnly > 0 ? -1 : 1;
            AddLogLine(*ctx_, "Drive " + ctx_->run.DriveString);
            RunCommandWithRestart();
            ++ran;
            if (ctx_->run.StopRequested) return ran;
        }
    }
    return ran;
}

// ---- the run command

void NTQuilF::RunCommand() {
    view_->Yield();
    view_->Yield();
    view_->Yield();
    QApplication::setOverrideCursor(Qt::BusyCursor);
    const bool scan = ctx_->run.ScanFiles;
    if (scan) {
        Text0_->SetActivity("Checking disk");
        Text0_->ResetPairs();
        TxtLog_->hide();
        Text0_->show();
        Image1_->SetRunning(true);
        Image1_->SetListFragmentsActive(false);
    }
    LockInterface();
    ctx_->chains.CellCount = picMap_->Geometry().CellCount;
    RunInProgress = true;
    RunDrive(*ctx_, phase_);
    RunInProgress = false;
    if (ctx_->run.ErrorStop != 0) PicHistoF_->ClearChart();
    if (scan) {
        if (lstInuse_->count() > 0) Image1_->SetListFragmentsActive(true);
        if (lstLarge_->count() > 0) {
            lstLarge_->setEnabled(true);
            Label12_->setEnabled(true);
        }
        Text0_->hide();
        TxtLog_->show();
        Image1_->SetRunning(false);
    }
    UnlockInterface();
    view_->Yield();
    ShowEndOfRunMessage();
}

void NTQuilF::RunCommandWithRestart() {
    const bool outermost = !inRunCommand_;
    inRunCommand_ = true;
    MapRedrawPending = false;
    // A Defragment's lines go to the log file even when a resize made a
    // map-only pass follow it.
    const bool defragment = ctx_->run.ScanFiles && ctx_->run.RunMode == 1;
    RunCommand();
    while (MapRedrawPending) {
        MapRedrawPending = false;
        RecomputeMapGeometry();
        if (ctx_->run.ErrorStop == 0) {
            ctx_->log.LogEnabled = false;
            ctx_->run.ScanFiles = false;
            ctx_->run.RunMode = -1;
            RunCommand();
        }
    }
    if (defragment) WriteLogFile(*ctx_, false);
    if (outermost) inRunCommand_ = false;
}

void NTQuilF::LockInterface() {
    RunActive = true;
    menus_->SetCommandsEnabled(false, !TempPath.empty(), IsWin98);
    Image1_->SetEnabled(false);
}

void NTQuilF::UnlockInterface() {
    RunActive = false;
    menus_->SetCommandsEnabled(true, !TempPath.empty(), IsWin98);
    Image1_->SetEnabled(true);
    UpdateDriveButtons();
    QApplication::restoreOverrideCursor();
}

void NTQuilF::UpdateDriveButtons() {
    const bool selected = DriveSelected();
    Image1_->SetDiskButtonsGreyed(!selected);
    menus_->Item("Defrag_")->setEnabled(selected);
    menus_->Item("CheckDisk_")->setEnabled(selected);
}

void NTQuilF::ResetLists() {
    lstInuse_->clear();
    lstLarge_->clear();
    ctx_->lists = RunLists{};
    lstLarge_->setEnabled(false);
    Label12_->setEnabled(false);
}

void NTQuilF::DiscardMapCells() {
    ctx_->chains.MapCells.assign(1, 0);
    ctx_->chains.GapCount = 0;
    picMap_->ClearMap();
}

void NTQuilF::ShowEndOfRunMessage() {
    const EndOfRunMessage message = ChooseEndOfRunMessage(ctx_->run);
    if (message.text.empty()) return;
    QString text = QString::fromStdString(message.text);
    text.replace("\r\n", "\n");
    hooks_.showMessage(message.style, text);
}

void NTQuilF::Beep() {
    if (!ctx_->options.Silent) hooks_.beep();
}

}  // namespace quillo::gui
