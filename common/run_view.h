#pragma once
// The one way the engine reaches a window. The Qt main window implements it,
// the console front end prints, tests record. Every call is made from the
// engine's single thread.
#include <cstdint>
#include <string>

namespace quillo {

// Numbered labels of the main window that the engine shows, hides or captions.
enum class ViewLabel : int {
    Restarting = 3,    // "Another task has modified the disk... restarting."
    Shared = 4,        // "(shared)"
    Moving = 10,       // "Moving:"
    MovingValue = 11,
    LargeFiles = 12,   // "Large files:"
};

class RunView {
public:
    virtual ~RunView() = default;

    // Appends one line to the visible log. The engine has already decided that
    // logging is on; the view only shows it.
    virtual void AppendLogLine(const std::string& text) = 0;
    // Empties the visible log.
    virtual void ClearLogLines() = 0;

    // Status pairs 1 and 2 of the progress frame. SetStatusPair repaints at once.
    virtual void SetStatusPair(int pair, const std::string& caption, const std::string& value) = 0;
    virtual void SetStatusValue(int pair, const std::string& value) = 0;
    virtual void SetProgressCaption(const std::string& caption) = 0;

    virtual void ShowLabel(ViewLabel label, bool visible) = 0;
    virtual void SetLabelCaption(ViewLabel label, const std::string& caption) = 0;
    // Clears the picture panel that stands in for the log during a scan.
    virtual void ClearTextPanel() = 0;

    // Map and charts.
    virtual void PaintMapCell(int32_t cell, uint8_t category) = 0;
    virtual void RedrawMap() = 0;
    virtual void RedrawLegend() = 0;
    virtual void RedrawGauge() = 0;
    // The size chart of the run's histogram, under the given title.
    virtual void RedrawSizeChart(const std::string& caption) = 0;
    virtual void RedrawPie() = 0;

    // Lists of the last run; the engine keeps them too (RunLists).
    virtual void AddLargeFile(const std::string& entry) = 0;
    virtual void AddFragmentedFile(const std::string& entry, bool isFolder) = 0;
    // Width of a line of the large-file list in the window's text measure.
    virtual int32_t TextWidth(const std::string& text) = 0;

    virtual void BringToFront() = 0;
    virtual void RepaintNow() = 0;
    // Lets the window serve pending events (Stop, repaints). Handlers only set
    // flags while a run is active.
    virtual void Yield() = 0;
    // Ends the program at once: the lock could not be brought down from its
    // top level. A view that returns (a test double) lets the run stop instead.
    virtual void EndProgram() = 0;
};

// A view that shows nothing: the base of views that care about a few calls.
class QuietView : public RunView {
public:
    void AppendLogLine(const std::string&) override {}
    void ClearLogLines() override {}
    void SetStatusPair(int, const std::string&, const std::string&) override {}
    void SetStatusValue(int, const std::string&) override {}
    void SetProgressCaption(const std::string&) override {}
    void ShowLabel(ViewLabel, bool) override {}
    void SetLabelCaption(ViewLabel, const std::string&) override {}
    void ClearTextPanel() override {}
    void PaintMapCell(int32_t, uint8_t) override {}
    void RedrawMap() override {}
    void RedrawLegend() override {}
    void RedrawGauge() override {}
    void RedrawSizeChart(const std::string&) override {}
    void RedrawPie() override {}
    void AddLargeFile(const std::string&) override {}
    void AddFragmentedFile(const std::string&, bool) override {}
    int32_t TextWidth(const std::string& text) override { return static_cast<int32_t>(text.size()); }
    void BringToFront() override {}
    void RepaintNow() override {}
    void Yield() override {}
    void EndProgram() override;
};

}  // namespace quillo
