#include "common/console_view.h"

namespace quillo {

ConsoleView::ConsoleView(std::FILE* out, std::FILE* progress) : out_(out), progress_(progress) {}

void ConsoleView::AppendLogLine(const std::string& text) {
    if (out_ == nullptr) return;
    EndProgress();
    std::fprintf(out_, "%s\n", text.c_str());
    std::fflush(out_);
}

void ConsoleView::SetStatusPair(int pair, const std::string& caption, const std::string& value) {
    if (pair < 1 || pair > 2) return;
    pairs_[pair - 1][0] = caption;
    pairs_[pair - 1][1] = value;
    ShowProgress();
}

void ConsoleView::SetStatusValue(int pair, const std::string& value) {
    if (pair < 1 || pair > 2) return;
    pairs_[pair - 1][1] = value;
    ShowProgress();
}

void ConsoleView::SetProgressCaption(const std::string& caption) {
    caption_ = caption;
    ShowProgress();
}

void ConsoleView::Yield() {
    if (defrag_ != nullptr && defrag_->MovedCount != shownMoves_) {
        shownMoves_ = defrag_->MovedCount;
        ShowProgress();
    }
    if (stopFlag_ != nullptr && *stopFlag_ != 0 && run_ != nullptr && !run_->StopRequested) {
        run_->StopRequested = true;
        run_->UserAbort = true;
    }
}

void ConsoleView::WatchStopFlag(const volatile std::sig_atomic_t* flag, RunState* run) {
    stopFlag_ = flag;
    run_ = run;
}

void ConsoleView::EndProgress() {
    if (progress_ == nullptr || !progressShown_) return;
    std::fputs("\r\033[K", progress_);  // clear the progress line
    std::fflush(progress_);
    progressShown_ = false;
}

void ConsoleView::ShowProgress() {
    if (progress_ == nullptr) return;
    progressShown_ = true;
    std::fprintf(progress_, "\r\033[K%s  %s %s  %s %s", caption_.c_str(), pairs_[0][0].c_str(),
                 pairs_[0][1].c_str(), pairs_[1][0].c_str(), pairs_[1][1].c_str());
    if (defrag_ != nullptr && defrag_->MovedCount > 0)
        std::fprintf(progress_, "  moved %d files, %d clusters", defrag_->MovedCount,
                     defrag_->MovedClusters);
    std::fflush(progress_);
}

}  // namespace quillo
