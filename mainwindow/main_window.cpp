#include "mainwindow/main_window.h"

#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QLayout>
#include <QListWidget>
#include <QMessageBox>
#include <QScreen>
#include <QSplashScreen>
#include <QThread>
#include <QTimer>

#include <filesystem>

#include "common/log.h"
#include "disk/volume_lock.h"
#include "mainwindow/disk_map.h"
#include "mainwindow/drive_list.h"
#include "mainwindow/frag_gauge_view.h"
#include "mainwindow/free_space_pie.h"
#include "mainwindow/image_toolbar.h"
#include "mainwindow/map_geometry.h"
#include "mainwindow/menu_bar.h"
#include "mainwindow/palette.h"
#include "mainwindow/progress_panel.h"
#include "mainwindow/size_chart_view.h"
#include "mainwindow/splash_window.h"
#include "mainwindow/window_layout.h"
#include "mainwindow/window_view.h"
#include "platform/config_paths.h"

namespace quillo::gui {
namespace {

constexpr int kBandHeight = 150;  // the top band: pie, log, chart, large files
constexpr int kPieWidth = 132;
constexpr int kLogWidth = 330;
constexpr int kChartWidth = 300;
constexpr int kDesignedWidth = 1000;
constexpr int kDesignedHeight = 640;

void ProcessEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

std::string ApplicationFolder() {
    std::error_code error;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string(".") : exe.parent_path().string();
}

std::string ExecutableName() {
    std::error_code error;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string("quillo") : exe.filename().string();
}

// Beside the executable, or beside the option store when that folder is not
// ours to write (an installed program).
std::string LogFilePath() {
    std::string folder = ApplicationFolder();
    if (::access(folder.c_str(), W_OK) != 0) folder = ConfigFolder();
    return folder + "/" + ExecutableName() + ".LOG";
}

std::string TemporaryFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return std::filesystem::is_directory(folder) ? folder : "";
}

}  // namespace

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
    connect(Image1_, &ImageToolbar::command, this, &NTQuilF::OnToolbar);
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
    } else if (name == "OpenImage_") {
        const QString path = QFileDialog::getOpenFileName(this, "Open disk image");
        if (!path.isEmpty()) AttachDiskImage(path.toStdString());
    }
    // The Preferences, Tools and Help windows come later; their items wait.
}

void NTQuilF::OnToolbar(ToolbarAction which) {
    if (which == ToolbarAction::None) return;
    if (which == ToolbarAction::Stop) {
        Image1_->ShowPressedFace(which, true);
        StopCommand();
        return;
    }
    Image1_->ShowPressedFace(which, true);
    ProcessEvents();
    switch (which) {
        case ToolbarAction::Defragment: DefragCommand(); break;
        case ToolbarAction::CheckDisk: CheckDiskCommand(); break;
        case ToolbarAction::PreviousDisk: StepDrive(-1); break;
        case ToolbarAction::NextDisk: StepDrive(+1); break;
        default: break;  // "List fragments" opens the cleaner window, which comes later
    }
    Image1_->ShowPressedFace(which, false);
}

// ---- start-up

void NTQuilF::FormLoad(const std::vector<AttachedDisk>& disks, const std::string& commandLine) {
#if !defined(__linux__)
    // The volume device exists for Linux images and block devices only.
    FatalStop("Windows 95 or 98 required.", MessageStyle::Critical);
    return;
#endif
    // Screen and options.
    QScreen* screen = QGuiApplication::primaryScreen();
    const bool paletteDisplay = screen != nullptr && IsPaletteDisplay(screen->depth(), 1);
    QPalette panel = palette();
    panel.setColor(QPalette::Window, PanelBackground(paletteDisplay));
    setPalette(panel);
    ctx_->options = LoadAllOptions(store_);
    const Options& options = ctx_->options;
    lstLarge_->setVisible(!options.HideLargeList);
    Label12_->setVisible(!options.HideLargeList);
    PicHistoF_->setVisible(!options.HideHisto);
    InitialLayout();

    // Drives: the remembered ones and those named now.
    const std::vector<AttachedDisk> all = MergeDisks(RememberedDisks(store_), disks);
    const std::vector<std::string> problems = drives_.Attach(all);
    if (!disks.empty()) RememberDisks(store_, all);
    for (const std::string& problem : problems) std::fprintf(stderr, "quillo: %s\n", problem.c_str());

    ProcessEvents();
    ProcessEvents();
    ProcessEvents();
    if (!isVisible() && hooks_.showDelayMs > 0) {
        splash_ = MakeSplashWindow();
        splash_->show();
    }
    TempFolder = TemporaryFolder();
    TempPath = TempFolder.empty() ? "" : TempFolder + "/";

    FillDriveMenu(driveMenu_, drives_);
    SyncDriveItems();
    ctx_->log.LogPath = LogFilePath();
    WriteLogFile(*ctx_, true);

    ProcessEvents();
    CommandList = commandLine;
    if (CommandList == "*") CommandList = "/" + options.AutoDefrag;
    Timer1_->start();

    if (!CommandList.empty()) {
        ShowMainWindow(options.AutoShow);
        Ready = true;
        ctx_->options.Background = options.AutoBackground;
        RunDriveList(CommandList, 0);
        FatalStop("", MessageStyle::None);
        return;
    }
    if (options.StartMaximized) ShowMainWindow(2);
    // The first hard-disk item that exists; with nothing attached there is
    // nothing to draw yet.
    int first = -1;
    for (int i : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 0}) {
        if (driveMenu_.items[i].visible) {
            first = i;
            break;
        }
    }
    if (first >= 0) {
        SelectDrive(first);
    } else {
        TxtLog_->addItem("No disk attached: use Disk > Open disk image...");
    }
    if (!isVisible()) {
        delete splash_;
        splash_ = nullptr;
        show();
    }
    Ready = true;
}

void NTQuilF::ShowMainWindow(int windowState) {
    QElapsedTimer wait;
    wait.start();
    while (wait.elapsed() < hooks_.showDelayMs) {
        ProcessEvents();
        QThread::msleep(10);
    }
    if (windowState == 1) showMinimized();
    else if (windowState == 2) showMaximized();
    else showNormal();
    ProcessEvents();
    delete splash_;
    splash_ = nullptr;
}

void NTQuilF::SyncDriveItems() {
    for (int i = 0; i < DriveMenu::kItemCount; ++i) {
        QAction* item = menus_->DriveItem(i);
        item->setText(QString::fromStdString(driveMenu_.items[i].caption));
        item->setVisible(driveMenu_.items[i].visible);
    }
}

void NTQuilF::FatalStop(const QString& message, MessageStyle style) {
    ReleaseVolume(*ctx_);
    RunActive = false;
    if (!message.isEmpty()) hooks_.showMessage(style, message);
    ended_ = true;
    hooks_.endProgram();
}

// ---- commands

void NTQuilF::SelectDrive(int index) {
    if (index < 0 || index >= DriveMenu::kItemCount) return;
    ResetLists();
    if (index != ctx_->run.DriveMenuIndex) {
        DiscardMapCells();
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
    Label4_->move(Label0_->x() + Label0_->width() + 4, Label0_->y() + (Label0_->height() - Label4_->height()) / 2);
    if (!CommandList.empty()) return;
    ClearLog(*ctx_);
    ctx_->run.ScanFiles = false;
    ctx_->run.RunMode = -1;
    ctx_->geo.TotalClusters = 0;
    RunCommandWithRestart();
    if (ctx_->geo.TotalClusters == 0) {
        DiscardMapCells();
        picMap_->ClearMap();
        FragBar_->HideAll();
        Text1_->Draw(0, 0);
    }
}

void NTQuilF::DefragCommand() {
    ClearLog(*ctx_);
    ResetLists();
    ctx_->run.RunMode = 1;
    ctx_->run.ScanFiles = true;
    RunCommandWithRestart();
    Beep();
}

void NTQuilF::CheckDiskCommand() {
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

bool NTQuilF::AttachDiskImage(const std::string& path) {
    if (RunActive) return false;
    ReleaseVolume(*ctx_);
    const std::vector<AttachedDisk> previous = drives_.Disks();
    const std::vector<AttachedDisk> all = MergeDisks(previous, {{path, false}});
    const std::vector<std::string> problems = drives_.Attach(all);
    driveMenu_ = DriveMenu{};
    FillDriveMenu(driveMenu_, drives_);
    SyncDriveItems();
    ctx_->run.DriveMenuIndex = -1;  // the old letters may name other volumes now
    char first = 0;
    std::error_code error;
    for (char letter : drives_.Table().Letters()) {
        const DriveAssignment* drive = drives_.Table().Find(letter);
        if (drive != nullptr && (drive->path == path || std::filesystem::equivalent(drive->path, path, error))) {
            first = letter;
            break;
        }
    }
    if (first == 0) {
        drives_.Attach(previous);
        driveMenu_ = DriveMenu{};
        FillDriveMenu(driveMenu_, drives_);
        SyncDriveItems();
        QString text = "No FAT volume found on " + QString::fromStdString(path) + ".";
        for (const std::string& problem : problems) text += "\n" + QString::fromStdString(problem);
        hooks_.showMessage(MessageStyle::Information, text);
        return false;
    }
    RememberDisks(store_, all);
    SelectDrive(MenuIndexForDriveLetter(first));
    return true;
}

void NTQuilF::RunDriveList(const std::string& list, int checkOnly) {
    for (char letter : DriveListLetters(list)) {
        for (int i = 0; i < DriveMenu::kItemCount; ++i) {
            const DriveMenuItem& item = driveMenu_.items[i];
            if (!item.visible || item.caption.size() < 2 || item.caption[1] != letter) continue;
            ctx_->run.DriveMenuIndex = i;
            SelectDrive(i);
            ctx_->run.ScanFiles = true;
            ctx_->run.RunMode = checkOnly > 0 ? -1 : 1;
            AddLogLine(*ctx_, "Drive " + ctx_->run.DriveString);
            RunCommandWithRestart();
            if (ctx_->run.StopRequested) return;
        }
    }
}

// ---- the run command

void NTQuilF::RunCommand() {
    ProcessEvents();
    ProcessEvents();
    ProcessEvents();
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
    ProcessEvents();
    ShowEndOfRunMessage();
}

void NTQuilF::RunCommandWithRestart() {
    const bool outermost = !inRunCommand_;
    inRunCommand_ = true;
    MapRedrawPending = false;
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
    if (ctx_->run.ScanFiles && ctx_->run.RunMode == 1) WriteLogFile(*ctx_, false);
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
    QApplication::restoreOverrideCursor();
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

// ---- layout, resize and the exit paths

void NTQuilF::InitialLayout() {
    QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi = screen != nullptr ? screen->logicalDotsPerInch() : 96.0;
    twipsPerPixel_ = TwipsPerPixel(dpi);
    picMap_->SetCellSize(CellSizeForDpi(dpi));
    Text1_->SetPie(ComputePieGeometry(twipsPerPixel_, kBandHeight));

    const QRect work = screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1280, 1024);
    SizeLimits limits;
    limits.MaxHeight = work.height() * twipsPerPixel_;
    limits.MaxWidth = work.width() * twipsPerPixel_;
    const int bandTop = Image1_->sizeHint().height() + 4;
    const int chrome = menuBar()->sizeHint().height() + 3;
    const QSize minimum(kPieWidth + 1 + kLogWidth + 2, bandTop + kBandHeight + 1 + chrome);
    setMinimumSize(minimum);
    limits.MinHeight = std::min(minimum.height() * twipsPerPixel_, limits.MaxHeight);
    limits.MinWidth = minimum.width() * twipsPerPixel_;

    const WindowSize stored = ReadWindowSize(store_);
    const WindowLengths size = RestoreWindowSize(
        {kDesignedHeight * twipsPerPixel_, kDesignedWidth * twipsPerPixel_}, {stored.Height, stored.Width}, limits);
    resize(size.Width / twipsPerPixel_, size.Height / twipsPerPixel_);
    layout()->activate();  // the central widget takes its size now, not at the first show
    Arrange();
    RecomputeMapGeometry();
}

void NTQuilF::Arrange() {
    QWidget* central = centralWidget();
    const int innerWidth = central->width();
    const int innerHeight = central->height();
    if (windowState() == Qt::WindowNoState && isVisible()) {
        lastNormalHeight_ = height() * twipsPerPixel_;
        lastNormalWidth_ = width() * twipsPerPixel_;
    }
    const QSize bar = Image1_->sizeHint();
    Image1_->setGeometry(2, 2, bar.width(), bar.height());
    Label0_->move(bar.width() + 16, 2 + (bar.height() - Label0_->height()) / 2);
    const int bandTop = bar.height() + 4;
    Text1_->setGeometry(0, bandTop, kPieWidth, kBandHeight);
    // The gauge stands just right of the pie, as tall as its diameter.
    const PieGeometry& pie = Text1_->Pie();
    FragBar_->SetBarSize(10, 2 * pie.PieRadius);
    FragBar_->move(pie.PieCenterX + pie.PieRadius + 4, pie.PieCenterY - pie.PieRadius);
    const QRect log(Text1_->geometry().right() + 2, bandTop, kLogWidth, kBandHeight);
    TxtLog_->setGeometry(log);
    Text0_->setGeometry(log);
    int right = log.right() + 2;
    PicHistoF_->setGeometry(right, bandTop, kChartWidth, kBandHeight);
    if (!ctx_->options.HideHisto) right = PicHistoF_->geometry().right() + 2;
    else right = PicHistoF_->x();
    const int captionHeight = Label12_->sizeHint().height();
    const int listWidth = std::max(0, innerWidth - right);
    Label12_->setGeometry(right, bandTop, listWidth, captionHeight);
    lstLarge_->setGeometry(right, bandTop + captionHeight, listWidth, kBandHeight - captionHeight);
    const int mapTop = bandTop + kBandHeight + 1;
    picMap_->setGeometry(0, mapTop, std::max(1, innerWidth), std::max(1, innerHeight - mapTop));
}

void NTQuilF::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (InResize) return;
    InResize = true;
    const Qt::WindowStates state = windowState();
    if (!(state & Qt::WindowMinimized) && !(LastWindowState & Qt::WindowMinimized)) {
        Arrange();
        if (!RunInProgress) {
            RecomputeMapGeometry();
            if (Ready) resizeRedraw_->start();  // many resize events, one redraw
        }
        MapRedrawPending = RunInProgress;
    }
    LastWindowState = state;
    InResize = false;
}

void NTQuilF::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) LastWindowState = windowState();
}

void NTQuilF::OnWindowResized() {
    // A command that started since draws at the new size anyway.
    if (RunActive || inRunCommand_ || ctx_->chains.MapCells.size() <= 1) return;
    ctx_->run.RunMode = -1;
    ctx_->log.LogEnabled = false;
    ctx_->run.ScanFiles = false;
    RunCommandWithRestart();
}

void NTQuilF::RecomputeMapGeometry() {
    const MapGeometry before = picMap_->Geometry();
    picMap_->RecomputeGeometry();
    const MapGeometry& after = picMap_->Geometry();
    // Cells of the old grid stand elsewhere in the new one: start blank.
    if (after.CellsPerRow != before.CellsPerRow || after.CellRows != before.CellRows) picMap_->ClearMap();
}

void NTQuilF::SaveWindowSize() { quillo::SaveWindowSize(store_, lastNormalHeight_, lastNormalWidth_); }

void NTQuilF::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        StopCommand();
        return;
    }
    if (event->text() == QString(QChar(5))) return;  // Ctrl+E is swallowed
    QMainWindow::keyPressEvent(event);
}

void NTQuilF::closeEvent(QCloseEvent* event) {
    if (ended_) {
        event->accept();
        return;
    }
    StopCommand();
    if (RunActive) {
        event->ignore();
        return;
    }
    if (Ready) {
        SaveWindowSize();
        ReleaseVolume(*ctx_);
    }
    ended_ = true;
    event->accept();
    hooks_.endProgram();
}

}  // namespace quillo::gui
