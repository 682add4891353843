#pragma once
// The "Frags" list: the fragmented files and folders the last run found,
// each by its long path, " (folder)" for a folder, the run's note and the
// size. Properties shows the entry as the volume holds it.
#include "engine/list_source.h"

namespace quillo {

class FragmentedListSource final : public ListSource {
public:
    explicit FragmentedListSource(ListEnvironment& env) : ListSource(env) {}

    FillEnd Fill(ListSink& sink) override;
    RowTarget Target(const ListRow& row) const override;
};

}  // namespace quillo
