#include "preferences/settings_pages.h"

namespace quillo::gui {

const SettingsPage* FindSettingsPage(const std::string& keyword) {
    for (const SettingsPage& page : kSettingsPages)
        if (keyword == page.keyword) return &page;
    return nullptr;
}

const SettingsPage* SettingsPageOfFrame(int frame) {
    for (const SettingsPage& page : kSettingsPages)
        if (page.frame == frame) return &page;
    return nullptr;
}

}  // namespace quillo::gui
