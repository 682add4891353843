#include "platform/startup_launcher.h"

#include <cstdio>

#include "platform/config_paths.h"
#include "platform/ini_file.h"
#include "platform/registry_store.h"

namespace quillo {
namespace {

bool HasControlCharacter(const std::string& text) {
    for (unsigned char c : text)
        if (c < 0x20 || c == 0x7F) return true;
    return false;
}

// A string value of a desktop entry: a backslash is written doubled.
std::string EntryString(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\') out += '\\';
        out += c;
    }
    return out;
}

// One argument of an Exec line: quoted, with the characters that quoting
// does not protect escaped, and '%' doubled so it is no field code.
std::string ExecArgument(const std::string& argument) {
    std::string quoted = "\"";
    for (char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        if (c == '%') quoted += '%';
        quoted += c;
    }
    return quoted + "\"";
}

}  // namespace

std::string AutostartEntryPath() {
    return ConfigFolder() + "/autostart/" + kLauncherProgramName + ".desktop";
}

std::string AutostartEntryText(const std::string& launcherPath) {
    if (launcherPath.empty() || launcherPath[0] != '/' || HasControlCharacter(launcherPath)) return std::string();
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Quillo AutoDefrag\n"
           "Comment=Defragments the AutoDefrag drives when the schedule says a run is due\n"
           "Exec=" + EntryString(ExecArgument(launcherPath)) + "\n"
           "TryExec=" + EntryString(launcherPath) + "\n"
           "Terminal=false\n"
           "NoDisplay=true\n"
           "X-GNOME-Autostart-enabled=true\n";
}

bool UpdateStartupRegistration(RegistryStore& registry, const std::string& entryPath, int32_t interval,
                               const std::string& launcherPath) {
    if (!registry.CreateKey(kRunOnceKey)) return false;
    if (interval < 0) {
        registry.DeleteValue(kRunOnceKey, kRunOnceValueName);
        std::remove(entryPath.c_str());
        return true;
    }
    const std::string entry = AutostartEntryText(launcherPath);
    if (entry.empty() || !WriteFileAtomically(entryPath, entry)) return false;
    return registry.WriteString(kRunOnceKey, kRunOnceValueName, launcherPath);
}

}  // namespace quillo
