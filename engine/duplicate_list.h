#pragma once
// The "Duplicates" list: the duplicate-name scan's rows; Open extracts a
// read-only copy, Delete takes the files out of their volumes by way of the
// Trash.
#include "engine/list_source.h"

namespace quillo {

class DuplicateScan;

class DuplicateListSource final : public ListSource {
public:
    explicit DuplicateListSource(ListEnvironment& env) : ListSource(env) {}

    FillEnd Fill(ListSink& sink) override;
    RowTarget Target(const ListRow& row) const override;
    DeleteOutcome Delete(const std::vector<ListRow>& selected) override;
    bool HoldsVolume() const override;

private:
    DuplicateScan* scan_ = nullptr;  // while Fill runs
    bool errorStop_ = false;         // the last scan ended on an error: nothing is deleted
};

}  // namespace quillo
