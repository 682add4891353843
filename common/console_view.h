#pragma once
// The console front end's view: log lines on standard output as the engine
// adds them, progress on standard error when it is a terminal.
#include <csignal>
#include <cstdio>

#include "common/engine_state.h"
#include "common/run_view.h"

namespace quillo {

class ConsoleView : public QuietView {
public:
    // `out` null prints no log; `progress` null shows no progress.
    ConsoleView(std::FILE* out, std::FILE* progress);

    void AppendLogLine(const std::string& text) override;
    void SetStatusPair(int pair, const std::string& caption, const std::string& value) override;
    void SetStatusValue(int pair, const std::string& value) override;
    void SetProgressCaption(const std::string& caption) override;
    void Yield() override;

    // While `run` is running, a set `flag` (from a signal handler) presses
    // Stop at the next yield.
    void WatchStopFlag(const volatile std::sig_atomic_t* flag, RunState* run);
    // Shows the files and clusters moved so far with the progress.
    void WatchMoves(const DefragState* defrag) { defrag_ = defrag; }
    // Ends the progress line so that later output starts on a line of its own.
    void EndProgress();

private:
    void ShowProgress();

    std::FILE* out_;
    std::FILE* progress_;  // null when progress is not shown
    const volatile std::sig_atomic_t* stopFlag_ = nullptr;
    RunState* run_ = nullptr;
    const DefragState* defrag_ = nullptr;
    int32_t shownMoves_ = 0;
    bool progressShown_ = false;
    std::string caption_;
    std::string pairs_[2][2];
};

}  // namespace quillo
