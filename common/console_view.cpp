#include "common/console_view.h"

namespace quillo {

ConsoleView::ConsoleView(std::FILE* out, std::FILE* progress) : out_(out), progress_(progress) {}

void ConsoleView::AppendLogLine(const std::string& text) {
    if (progress_ != nullptr) std::fputs("\r\033[K", progress_);  // clear the progress line
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

void ConsoleView::ShowProgress() {
    if (progress_ == nullptr) return;
    std::fprintf(progress_, "\r\033[K%s  %s %s  %s %s", caption_.c_str(), pairs_[0][0].c_str(),
                 pairs_[0][1].c_str(), pairs_[1][0].c_str(), pairs_[1][1].c_str());
    std::fflush(progress_);
}

}  // namespace quillo
