#pragma once
// The running processes as paths of their executables.
#include <string>
#include <vector>

namespace quillo {

// One entry per process under `procRoot`, in the order the folder lists
// them: the target of /proc/<pid>/exe; for a process whose link we may not
// read, the first word of its command line; for a kernel thread (no command
// line either), its name in brackets, as ps shows it. Processes that end
// while we look are left out.
std::vector<std::string> RunningExecutables(const std::string& procRoot = "/proc");

// Whether a name under /proc (a process) or /proc/<pid>/fd (a descriptor)
// is a number: digits only.
bool IsNumberName(const char* name);

}  // namespace quillo
