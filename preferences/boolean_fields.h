#pragma once
// Check boxes that show and save boolean options, one key and option
// variable per box.
#include <QCheckBox>

#include <array>
#include <cstddef>

#include "common/options.h"
#include "platform/option_store.h"

namespace quillo::gui {

struct BooleanOption {
    const char* key;
    bool Options::*variable;
};

// Checks each box whose option variable is true.
template <size_t N>
void ShowBooleanOptions(const std::array<QCheckBox*, N>& boxes, const std::array<BooleanOption, N>& fields,
                        const Options& options) {
    for (size_t i = 0; i < N; ++i) boxes[i]->setChecked(options.*fields[i].variable);
}

// Saves the boxes in order, each as "Yes" or "No" under its key, and sets the
// variables.
template <size_t N>
void SaveBooleanOptions(const std::array<QCheckBox*, N>& boxes, const std::array<BooleanOption, N>& fields,
                        OptionStore& store, Options& options) {
    for (size_t i = 0; i < N; ++i)
        SaveBooleanOption(store, fields[i].key, boxes[i]->isChecked(), options.*fields[i].variable);
}

}  // namespace quillo::gui
