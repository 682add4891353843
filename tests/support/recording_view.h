#pragma once
// A view that records what the engine showed and can press Stop at a chosen
// yield, the way the window's Stop command does during a run.
#include <string>
#include <vector>

#include "common/engine_state.h"
#include "common/run_view.h"

namespace quillo::testing {

class RecordingView : public QuietView {
public:
    // At yield number `n` (1-based) set StopRequested and UserAbort on `run`.
    void StopAtYield(long n, RunState* run) {
        stopAt_ = n;
        run_ = run;
    }

    void AppendLogLine(const std::string& text) override { log.push_back(text); }
    void ClearLogLines() override { log.clear(); }
    void ShowLabel(ViewLabel label, bool visible) override {
        labels.push_back((visible ? "show " : "hide ") + std::to_string(static_cast<int>(label)));
    }
    void RedrawMap() override { ++mapRedraws; }
    // Returns, unlike the quiet view's, so that the run stops instead of the process.
    void EndProgram() override {}
    void Yield() override {
        ++yields;
        if (run_ != nullptr && yields == stopAt_) {
            run_->StopRequested = true;
            run_->UserAbort = true;
        }
    }

    std::vector<std::string> log;
    std::vector<std::string> labels;
    long yields = 0;
    int mapRedraws = 0;

private:
    long stopAt_ = -1;
    RunState* run_ = nullptr;
};

}  // namespace quillo::testing
