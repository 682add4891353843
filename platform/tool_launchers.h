#pragma once
// The Tools menu's launchers. Each item keeps the command line the original
// system knows it by; one table maps that command line to what runs on
// Linux: the first of its counterparts that is on the PATH, or nothing.
#include <string>
#include <vector>

namespace quillo {

// The folders that two of the command lines name.
struct LauncherFolders {
    std::string downloadedPrograms;
    std::string history;
};

// The launcher items, in menu order: "ScanDisk_", "regcheck_", "msconfig_",
// "sysfile_", "sysinfo_", "ASDagent_", "Downloads_", "History_".
const std::vector<std::string>& LauncherItems();

// The command line of launcher `item`, with the selected drive ("C:") and
// the folders filled in ("Scandskw.exe C:", "Explorer.exe /e: /root,FOLDER");
// empty for a name that is no launcher.
std::string LauncherCommandLine(const std::string& item, const std::string& driveString,
                                const LauncherFolders& folders);

enum class LaunchKind {
    Nothing,        // no counterpart here: the item does nothing
    Detached,       // start `argv` detached and forget it
    CheckerWindow,  // run `argv` with its output and verdict shown in a window
};

struct LinuxLaunch {
    LaunchKind kind = LaunchKind::Nothing;
    std::vector<std::string> argv;  // program (as found on the PATH) and arguments
    std::string drive;              // the volume to check, "D:"; empty for the rest
};

// What runs for `commandLine` here. The program is the line's first word up
// to ".exe" (in any case, after the last "\"); the rest are its arguments.
// A volume check names its drive; the checker's argv then lacks the volume,
// which the window supplies. "Explorer.exe /e: /root," with no folder, and
// programs without a counterpart on the PATH, map to Nothing.
LinuxLaunch MapCommandLine(const std::string& commandLine);

}  // namespace quillo
