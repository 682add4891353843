#pragma once
// A list sink that keeps what a list source gives it, answers the error
// question as told, and can ask for a stop after a number of yields.
#include <string>
#include <vector>

#include "engine/list_source.h"

namespace quillo::test {

class RecordingSink : public ListSink {
public:
    std::vector<ListRow> rows;
    std::vector<std::string> auxiliary;
    std::vector<int> progress;
    std::vector<std::string> errorDrives;
    int limitMessages = 0;
    bool continueAfterError = true;
    int stopAfterYields = -1;  // -1: never
    int yields = 0;

    void AddAuxiliaryRow(const std::string& text) override { auxiliary.push_back(text); }
    void SetProgress(int percent) override { progress.push_back(percent); }
    bool KeepGoing() override { return stopAfterYields < 0 || ++yields <= stopAfterYields; }
    bool ContinueAfterError(const std::string& drive) override {
        errorDrives.push_back(drive);
        return continueAfterError;
    }
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const ListRow& row : rows) texts.push_back(row.text);
        return texts;
    }

protected:
    void AppendRow(ListRow row) override { rows.push_back(std::move(row)); }
    void ShowLimitMessage() override { ++limitMessages; }
};

}  // namespace quillo::test
