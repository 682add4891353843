#include "mainwindow/window_view.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>

#include <cstdlib>

#include "analysis/cell_map.h"
#include "analysis/size_chart.h"
#include "analysis/statistics.h"
#include "disk/volume_lock.h"
#include "mainwindow/disk_map.h"
#include "mainwindow/frag_gauge_view.h"
#include "mainwindow/free_space_pie.h"
#include "mainwindow/main_window.h"
#include "mainwindow/progress_panel.h"
#include "mainwindow/size_chart_view.h"

namespace quillo::gui {
namespace {

QString Text(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

void WindowView::AppendLogLine(const std::string& text) {
    window_.TxtLog_->addItem(Text(text));
    window_.TxtLog_->scrollToBottom();
}

void WindowView::ClearLogLines() { window_.TxtLog_->clear(); }

void WindowView::SetStatusPair(int pair, const std::string& caption, const std::string& value) {
    window_.Text0_->SetPair(pair, Text(caption), Text(value), true);
}

void WindowView::SetStatusValue(int pair, const std::string& value) {
    window_.Text0_->SetValue(pair, Text(value));
}

void WindowView::SetProgressCaption(const std::string& caption) { window_.Text0_->SetActivity(Text(caption)); }

QLabel* WindowView::LabelOf(ViewLabel label) const {
    switch (label) {
        case ViewLabel::Shared: return window_.Label4_;
        case ViewLabel::LargeFiles: return window_.Label12_;
        default: return window_.Text0_->Label(static_cast<int>(label));
    }
}

void WindowView::ShowLabel(ViewLabel label, bool visible) {
    if (QLabel* shown = LabelOf(label)) shown->setVisible(visible);
}

void WindowView::SetLabelCaption(ViewLabel label, const std::string& caption) {
    if (QLabel* captioned = LabelOf(label)) captioned->setText(Text(caption));
}

void WindowView::ClearTextPanel() { window_.Text0_->update(); }

void WindowView::PaintMapCell(int32_t cell, uint8_t category) { window_.picMap_->PaintCell(cell, category); }

DiskMap::LegendConditions WindowView::Legend() const {
    const EngineContext& ctx = *window_.ctx_;
    DiskMap::LegendConditions legend;
    legend.scanFiles = ctx.run.ScanFiles;
    legend.freeRunTable = ctx.chains.GapCount > 0;
    legend.swapOnDrive = ctx.chains.SwapFirstCluster != 0;
    legend.runMode = ctx.run.RunMode;
    return legend;
}

void WindowView::RedrawMap() {
    EngineContext& ctx = *window_.ctx_;
    if (ctx.chains.MapCells.size() <= 1) return;
    window_.picMap_->RedrawMap(ctx.chains.MapCells, Legend());
    if (ctx.chains.GapCount > 0) RedrawGaps(ctx);
}

void WindowView::RedrawLegend() { window_.picMap_->DrawLegend(Legend()); }

void WindowView::RedrawGauge() {
    const EngineContext& ctx = *window_.ctx_;
    if (ctx.geo.TotalClusters <= 0) return;
    window_.FragBar_->Show(ComputeFragGauge(ctx));
}

void WindowView::RedrawSizeChart(const std::string& caption) {
    window_.PicHistoF_->Draw(BuildSizeChart(window_.ctx_->scan.SizeHistogram, caption));
}

void WindowView::RedrawPie() {
    const Geometry& geo = window_.ctx_->geo;
    window_.Text1_->Draw(geo.FreeClusters, geo.TotalClusters);
}

void WindowView::AddLargeFile(const std::string& entry) { window_.lstLarge_->addItem(Text(entry)); }

void WindowView::AddFragmentedFile(const std::string& entry, bool isFolder) {
    auto* item = new QListWidgetItem(Text(entry), window_.lstInuse_);
    item->setData(Qt::UserRole, isFolder);
}

int32_t WindowView::TextWidth(const std::string& text) {
    return window_.lstLarge_->fontMetrics().horizontalAdvance(Text(text));
}

void WindowView::BringToFront() {
    window_.raise();
    window_.activateWindow();
}

void WindowView::RepaintNow() { window_.repaint(); }

void WindowView::Yield() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void WindowView::EndProgram() {
    ReleaseVolume(*window_.ctx_);
    std::exit(1);
}

}  // namespace quillo::gui
