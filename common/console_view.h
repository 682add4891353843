#pragma once
// The console front end's view: log lines on standard output as the engine
// adds them, progress on standard error when it is a terminal.
#include <cstdio>

#include "common/run_view.h"

namespace quillo {

class ConsoleView : public QuietView {
public:
    ConsoleView(std::FILE* out, std::FILE* progress);

    void AppendLogLine(const std::string& text) override;
    void SetStatusPair(int pair, const std::string& caption, const std::string& value) override;
    void SetStatusValue(int pair, const std::string& value) override;
    void SetProgressCaption(const std::string& caption) override;

private:
    void ShowProgress();

    std::FILE* out_;
    std::FILE* progress_;  // null when progress is not shown
    std::string caption_;
    std::string pairs_[2][2];
};

}  // namespace quillo
