#pragma once
// The pages of the preferences dialog: the keyword that opens each, its
// frame number, caption and help context.
#include <array>
#include <string>

namespace quillo::gui {

struct SettingsPage {
    const char* keyword;  // `PageKeyword`
    int frame;            // index in `Frame1`
    const char* caption;  // the frame's caption
    int helpContext;      // the topic of F1 and the page's Help button
};

inline constexpr std::array<SettingsPage, 5> kSettingsPages{{
    {"About", 0, "Quillo", 10},
    {"Defrag", 3, "Defrag preferences", 490},
    {"Auto", 4, "AutoDefrag preferences", 450},
    {"Schedule", 5, "AutoDefrag schedule", 570},
    // The Display item has no help context of its own; its page has a topic.
    {"Display", 6, "Display preferences", 480},
}};

// The page opened by `keyword` (exact match); null for any other keyword.
const SettingsPage* FindSettingsPage(const std::string& keyword);
// The page of frame `frame`; null for a number that is no page.
const SettingsPage* SettingsPageOfFrame(int frame);

}  // namespace quillo::gui
