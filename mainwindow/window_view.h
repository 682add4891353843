#pragma once
// The engine's view of the main window: every call lands on one of the
// window's panels. Runs on the window's thread, inside the run command.
#include "common/run_view.h"
#include "mainwindow/disk_map.h"

class QLabel;

namespace quillo::gui {

class NTQuilF;

class WindowView final : public RunView {
public:
    explicit WindowView(NTQuilF& window) : window_(window) {}

    void AppendLogLine(const std::string& text) override;
    void ClearLogLines() override;
    void SetStatusPair(int pair, const std::string& caption, const std::string& value) override;
    void SetStatusValue(int pair, const std::string& value) override;
    void SetProgressCaption(const std::string& caption) override;
    void ShowLabel(ViewLabel label, bool visible) override;
    void SetLabelCaption(ViewLabel label, const std::string& caption) override;
    void ClearTextPanel() override;
    void PaintMapCell(int32_t cell, uint8_t category) override;
    void RedrawMap() override;
    void RedrawLegend() override;
    void RedrawGauge() override;
    void RedrawSizeChart(const std::string& caption) override;
    void RedrawPie() override;
    void AddLargeFile(const std::string& entry) override;
    void AddFragmentedFile(const std::string& entry, bool isFolder) override;
    int32_t TextWidth(const std::string& text) override;
    void BringToFront() override;
    void RepaintNow() override;
    void Yield() override;
    void EndProgram() override;

    // What the legend shows for the run as it stands.
    DiskMap::LegendConditions Legend() const;

private:
    QLabel* LabelOf(ViewLabel label) const;
    NTQuilF& window_;
};

}  // namespace quillo::gui
