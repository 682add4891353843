#include "platform/browser_profiles.h"

#include <sys/stat.h>

#include <algorithm>

#include "platform/config_paths.h"
#include "platform/folder_names.h"
#include "platform/ini_file.h"

namespace quillo {
namespace {

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string LastComponent(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void AddProfile(std::vector<BrowserProfile>& profiles, BrowserProfile profile) {
    while (profile.folder.size() > 1 && profile.folder.back() == '/') profile.folder.pop_back();
    if (!IsFolder(profile.folder)) return;
    for (const BrowserProfile& known : profiles)
        if (known.folder == profile.folder) return;
    profile.name = LastComponent(profile.folder);
    profiles.push_back(std::move(profile));
}

// The profiles of one Firefox root (the folder holding profiles.ini).
void AddFirefoxProfiles(const std::string& root, std::vector<BrowserProfile>& profiles) {
    const IniFile ini = IniFile::Load(root + "/profiles.ini");
    struct Listed {
        std::string path;
        bool relative;
        bool isDefault;
    };
    std::vector<Listed> listed;
    std::vector<std::string> installDefaults;
    for (const std::string& section : ini.SectionNames()) {
        std::string value;
        if (section.rfind("Install", 0) == 0 && ini.Read(section, "Default", value)) {
            installDefaults.push_back(value);
        } else if (section.rfind("Profile", 0) == 0 && ini.Read(section, "Path", value) && !value.empty()) {
            std::string relative, isDefault;
            ini.Read(section, "IsRelative", relative);
            ini.Read(section, "Default", isDefault);
            listed.push_back({value, relative == "1", isDefault == "1"});
        }
    }
    // An installation's default profile is the one the browser opens.
    std::stable_partition(listed.begin(), listed.end(), [](const Listed& p) { return p.isDefault; });
    std::stable_partition(listed.begin(), listed.end(), [&](const Listed& p) {
        return std::find(installDefaults.begin(), installDefaults.end(), p.path) != installDefaults.end();
    });
    for (const Listed& p : listed) {
        BrowserProfile profile;
        profile.browser = Browser::Firefox;
        profile.folder = p.relative ? root + "/" + p.path : p.path;
        profile.cacheFolder = p.relative ? CacheFolder() + "/mozilla/firefox/" + p.path : profile.folder;
        profile.cookieStore = profile.folder + "/cookies.sqlite";
        AddProfile(profiles, std::move(profile));
    }
}

void AddChromiumProfiles(std::vector<BrowserProfile>& profiles) {
    const std::string root = ConfigFolder() + "/chromium";
    std::vector<std::string> names = SortedFolderNames(root);
    std::stable_partition(names.begin(), names.end(), [](const std::string& name) { return name == "Default"; });
    for (const std::string& name : names) {
        if (!IsFile(root + "/" + name + "/Preferences")) continue;
        BrowserProfile profile;
        profile.browser = Browser::Chromium;
        profile.folder = root + "/" + name;
        profile.cacheFolder = CacheFolder() + "/chromium/" + name;
        // Where the network service keeps it, else where older releases did.
        profile.cookieStore = profile.folder + "/Network/Cookies";
        if (!IsFile(profile.cookieStore)) profile.cookieStore = profile.folder + "/Cookies";
        AddProfile(profiles, std::move(profile));
    }
}

}  // namespace

std::string BrowserProfile::CacheEntriesFolder() const {
    return cacheFolder + (browser == Browser::Firefox ? "/cache2/entries" : "/Cache/Cache_Data");
}

const char* BrowserName(Browser browser) { return browser == Browser::Firefox ? "firefox" : "chromium"; }

std::vector<BrowserProfile> FindBrowserProfiles() {
    std::vector<BrowserProfile> profiles;
    AddFirefoxProfiles(HomeFolder() + "/.mozilla/firefox", profiles);
    AddFirefoxProfiles(ConfigFolder() + "/mozilla/firefox", profiles);
    AddChromiumProfiles(profiles);
    return profiles;
}

}  // namespace quillo
