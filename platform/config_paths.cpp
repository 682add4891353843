#include "platform/config_paths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace quillo {
namespace {

std::string NonEmptyEnv(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

// The password database's entry of the user running us, when it has one.
template <typename Field>
std::string PasswordField(Field field) {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->*field != nullptr)
        return found->*field;
    return "";
}

}  // namespace

std::string HomeFolder() {
    std::string home = NonEmptyEnv("HOME");
    if (!home.empty()) return home;
    // A session started without HOME (a service, a bare cron job) still has
    // a home folder in the password database.
    home = PasswordField(&passwd::pw_dir);
    return home.empty() ? "." : home;
}

std::string UserName() {
    std::string name = PasswordField(&passwd::pw_name);
    if (name.empty()) name = NonEmptyEnv("USER");
    return name.empty() ? std::to_string(getuid()) : name;
}

namespace {

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

// A base folder of the XDG rules: the variable's value when set and
// non-empty, else the fallback below the home folder.
std::string XdgFolder(const char* variable, const char* belowHome) {
    std::string xdg = NonEmptyEnv(variable);
    if (!xdg.empty()) return WithoutTrailingSlashes(xdg);
    return WithoutTrailingSlashes(HomeFolder()) + belowHome;
}

}  // namespace

std::string ConfigFolder() { return XdgFolder("XDG_CONFIG_HOME", "/.config"); }

std::string DataFolder() { return XdgFolder("XDG_DATA_HOME", "/.local/share"); }

std::string CacheFolder() { return XdgFolder("XDG_CACHE_HOME", "/.cache"); }

std::string TemporaryFolder() {
    std::string folder = NonEmptyEnv("TMPDIR");
    if (folder.empty()) folder = "/tmp";
    folder = WithoutTrailingSlashes(folder);
    struct stat st {};
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? folder : "";
}

std::string OptionStorePath(const std::string& appName) {
    return ConfigFolder() + "/" + appName + ".ini";
}

std::string RegistryStorePath(const std::string& appName) {
    return ConfigFolder() + "/" + appName + ".registry";
}

}  // namespace quillo
