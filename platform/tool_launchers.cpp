#include "platform/tool_launchers.h"

#include <algorithm>
#include <cctype>

#include "platform/process_launch.h"

namespace quillo {
namespace {

constexpr char kExplorerPrefix[] = "Explorer.exe /e: /root,";
constexpr char kSystemInformation[] =
    "C:\\Program Files\\Common Files\\Microsoft Shared\\MSINFO\\MSINFO32.EXE";

struct Launcher {
    const char* item;
    const char* commandLine;  // the drive or the folder follows where it ends in a blank or ","
};

const Launcher kLaunchers[] = {
    {"ScanDisk_", "Scandskw.exe "},
    {"regcheck_", "Scanregw.exe"},
    {"msconfig_", "msconfig.exe"},
    {"sysfile_", "sfc.exe"},
    {"sysinfo_", kSystemInformation},
    {"ASDagent_", "asd.exe"},
    {"Downloads_", kExplorerPrefix},
    {"History_", kExplorerPrefix},
};

// The counterparts of each program, best first, and how they run.
struct Counterpart {
    const char* program;  // lower case, as the command line names it
    LaunchKind kind;
    std::vector<std::vector<std::string>> candidates;
};

const std::vector<Counterpart>& Counterparts() {
    static const std::vector<Counterpart> table = {
        // The volume checker, reading only; the window gives it the volume.
        {"scandskw.exe", LaunchKind::CheckerWindow, {{"fsck.fat", "-n"}}},
        // The settings database of the desktop stands in for the registry.
        {"scanregw.exe", LaunchKind::Detached, {{"dconf-editor"}}},
        // Start-up programs and session settings.
        {"msconfig.exe", LaunchKind::Detached, {{"gnome-tweaks"}, {"xfce4-session-settings"}}},
        // Installed files checked against their packages' checksums.
        {"sfc.exe", LaunchKind::CheckerWindow, {{"debsums", "--silent"}}},
        {"msinfo32.exe", LaunchKind::Detached, {{"hardinfo"}, {"lshw-gtk"}}},
        // Devices and services that failed at start-up: the system journal.
        {"asd.exe", LaunchKind::Detached, {{"gnome-logs"}}},
        {"explorer.exe", LaunchKind::Detached, {{"xdg-open"}}},
    };
    return table;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

const std::vector<std::string>& LauncherItems() {
    static const std::vector<std::string> items = [] {
        std::vector<std::string> names;
        for (const Launcher& launcher : kLaunchers) names.push_back(launcher.item);
        return names;
    }();
    return items;
}

std::string LauncherCommandLine(const std::string& item, const std::string& driveString,
                                const LauncherFolders& folders) {
    for (const Launcher& launcher : kLaunchers) {
        if (item != launcher.item) continue;
        if (item == "ScanDisk_") return launcher.commandLine + driveString;
        if (item == "Downloads_") return launcher.commandLine + folders.downloadedPrograms;
        if (item == "History_") return launcher.commandLine + folders.history;
        return launcher.commandLine;
    }
    return {};
}

LinuxLaunch MapCommandLine(const std::string& commandLine) {
    const std::string lower = Lower(commandLine);
    const size_t exe = lower.find(".exe");
    if (exe == std::string::npos) return {};
    const size_t slash = lower.rfind('\\', exe);
    const size_t begin = slash == std::string::npos ? 0 : slash + 1;
    const std::string program = lower.substr(begin, exe + 4 - begin);
    const std::string arguments = Trim(commandLine.substr(exe + 4));
    for (const Counterpart& counterpart : Counterparts()) {
        if (program != counterpart.program) continue;
        LinuxLaunch launch;
        launch.kind = counterpart.kind;
        std::string extra;
        if (program == "scandskw.exe") {
            launch.drive = arguments;
            if (launch.drive.empty()) return {};
        } else if (program == "explorer.exe") {
            const size_t root = Lower(arguments).find("/root,");
            extra = root == std::string::npos ? std::string() : Trim(arguments.substr(root + 6));
            if (extra.empty()) return {};
        }
        for (const std::vector<std::string>& candidate : counterpart.candidates) {
            const std::string path = FindProgram(candidate.front());
            if (path.empty()) continue;
            launch.argv = candidate;
            launch.argv.front() = path;
            if (!extra.empty()) launch.argv.push_back(extra);
            return launch;
        }
        return {};
    }
    return {};
}

}  // namespace quillo
