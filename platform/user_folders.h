#pragma once
// The user folders that the cleaner's lists and the Tools launchers name,
// found once at start-up. On Linux the internet folders are those of the
// first browser profile found (browser_profiles.h).
#include <string>
#include <vector>

#include "platform/browser_profiles.h"

namespace quillo {

class RegistryStore;

// Each with a trailing '/'; empty when there is no such folder.
struct UserFolders {
    std::string internetCache;       // the first profile's cache folder
    std::string cookies;             // the folder holding the first profile's cookie store
    std::string history;             // the first profile's folder
    std::string downloadedPrograms;  // "ActiveXCache" when set, else the download folder
};

UserFolders FindUserFolders(const std::vector<BrowserProfile>& profiles, const RegistryStore& registry);

// The user's download folder as `xdg-user-dir DOWNLOAD` names it: the
// XDG_DOWNLOAD_DIR of `$XDG_CONFIG_HOME/user-dirs.dirs`, else the home
// folder. No trailing '/'.
std::string DownloadFolder();

}  // namespace quillo
