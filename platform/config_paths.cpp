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

}  // namespace

std::string HomeFolder() {
    std::string home = NonEmptyEnv("HOME");
    if (!home.empty()) return home;
    // A session started without HOME (a service, a bare cron job) still has
    // a home folder in the password database.
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr)
        return found->pw_dir;
    return ".";
}

namespace {

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

}  // namespace

std::string ConfigFolder() {
    std::string xdg = NonEmptyEnv("XDG_CONFIG_HOME");
    if (!xdg.empty()) return WithoutTrailingSlashes(xdg);
    return WithoutTrailingSlashes(HomeFolder()) + "/.config";
}

std::string DataFolder() {
    std::string xdg = NonEmptyEnv("XDG_DATA_HOME");
    if (!xdg.empty()) return WithoutTrailingSlashes(xdg);
    return WithoutTrailingSlashes(HomeFolder()) + "/.local/share";
}

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
