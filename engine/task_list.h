#pragma once
// The "TaskList" list: one row per running process, the path of its
// executable; for looking only.
#include "engine/list_source.h"

namespace quillo {

class TaskListSource final : public ListSource {
public:
    // `procRoot`: where the processes are read from (tests point elsewhere).
    explicit TaskListSource(ListEnvironment& env, std::string procRoot = "/proc")
        : ListSource(env), procRoot_(std::move(procRoot)) {}

    FillEnd Fill(ListSink& sink) override;
    RowTarget Target(const ListRow& row) const override;

private:
    std::string procRoot_;
};

}  // namespace quillo
