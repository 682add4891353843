// The window's layout, resizing, keys and the close request.
#include "mainwindow/main_window.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMenuBar>
#include <QLabel>
#include <QLayout>
#include <QListWidget>
#include <QScreen>
#include <QTimer>

#include "disk/volume_lock.h"
#include "mainwindow/disk_map.h"
#include "mainwindow/frag_gauge_view.h"
#include "mainwindow/free_space_pie.h"
#include "mainwindow/help_contexts.h"
#include "mainwindow/help_system.h"
#include "mainwindow/map_geometry.h"
#include "mainwindow/progress_panel.h"
#include "mainwindow/size_chart_view.h"
#include "mainwindow/window_layout.h"

namespace quillo::gui {
namespace {

constexpr int kBandHeight = 150;  // the top band: pie, log, chart, large files
constexpr int kPieWidth = 132;
constexpr int kLogWidth = 330;
constexpr int kChartWidth = 300;
constexpr int kDesignedWidth = 1000;
constexpr int kDesignedHeight = 640;

}  // namespace

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
    PlaceSharedLabel();
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

// "(shared)" stands 4 pixels right of the drive title's text.
void NTQuilF::PlaceSharedLabel() {
    Label4_->adjustSize();
    Label4_->move(Label0_->x() + Label0_->width() + 4, Label0_->y() + (Label0_->height() - Label4_->height()) / 2);
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
    // Esc is the window's shortcut (ConnectCommands).
    if (event->key() == Qt::Key_F1) {  // an open menu answers F1 itself (menu_help)
        ShowHelpPopup(this, kMainWindowHelpContext);
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
