#pragma once
// Registering the log-in launcher that runs the scheduled defragmentation.
//
// Two records name the launcher while a schedule is set: the value "Quillo"
// under the RunOnce key of the registry store (the launcher's absolute path)
// and an XDG autostart entry, which is what makes a desktop session start
// the launcher at the next log-in. The entry stays until the schedule is set
// to "Never"; the launcher itself decides at each log-in whether a run is due.
#include <cstdint>
#include <string>

namespace quillo {

class RegistryStore;

// The launcher program's file name, installed beside the window program.
inline constexpr const char* kLauncherProgramName = "quillo-autorun";
// The RunOnce value that names the launcher.
inline constexpr const char* kRunOnceValueName = "Quillo";

// `<ConfigFolder()>/autostart/quillo-autorun.desktop`.
std::string AutostartEntryPath();

// The desktop entry that starts `launcherPath` at log-in; empty when the
// path is not absolute or holds a control character, which no entry can
// carry.
std::string AutostartEntryText(const std::string& launcherPath);

// Brings both records in line with `interval`: a negative one (Never)
// removes them, where a failure is not reported; any other writes the
// autostart entry and then the RunOnce value. False when the RunOnce key
// cannot be created or either record cannot be written (the RunOnce value
// is then not attempted when the entry failed).
bool UpdateStartupRegistration(RegistryStore& registry, const std::string& entryPath, int32_t interval,
                               const std::string& launcherPath);

}  // namespace quillo
