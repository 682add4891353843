#include "platform/user_folders.h"

#include <optional>
#include <sstream>

#include "platform/config_paths.h"
#include "platform/ini_file.h"
#include "platform/registry_store.h"

namespace quillo {
namespace {

// The value of `name` in a shell fragment of plain assignments
// (`NAME="$HOME/Folder"`), the last one counting, as the shell would have
// it; nullopt when it is not assigned.
std::optional<std::string> ShellAssignment(const std::string& text, const std::string& name) {
    std::optional<std::string> value;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(name + "=", 0) != 0) continue;
        std::string v = line.substr(name.size() + 1);
        if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
        if (v.rfind("$HOME", 0) == 0) v = HomeFolder() + v.substr(5);
        value = v;
    }
    return value;
}

std::string WithSlash(std::string folder) {
    while (!folder.empty() && folder.back() == '/') folder.pop_back();
    return folder + "/";
}

}  // namespace

std::string DownloadFolder() {
    std::string text;
    ReadSmallFile(ConfigFolder() + "/user-dirs.dirs", 1 << 16, text);
    std::string folder = ShellAssignment(text, "XDG_DOWNLOAD_DIR").value_or(HomeFolder());
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

UserFolders FindUserFolders(const std::vector<BrowserProfile>& profiles, const RegistryStore& registry) {
    UserFolders folders;
    if (!profiles.empty()) {
        const BrowserProfile& first = profiles.front();
        folders.internetCache = WithSlash(first.cacheFolder);
        folders.cookies = WithSlash(first.cookieStore.substr(0, first.cookieStore.find_last_of('/')));
        folders.history = WithSlash(first.folder);
    }
    // A value too short to name a folder is no value.
    const std::string activeX = ReadMachineValue(registry, kInternetSettingsKey, "ActiveXCache");
    folders.downloadedPrograms = WithSlash(activeX.size() >= 5 ? activeX : DownloadFolder());
    return folders;
}

}  // namespace quillo
