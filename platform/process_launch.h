#pragma once
// Starting another program the way the Tools launchers do: found on the
// PATH, in a session (and so a process group) of its own, with its standard
// streams on /dev/null, and never waited for.
#include <string>
#include <vector>

namespace quillo {

// The executable `name` stands for: itself when it contains a "/", else the
// first executable file of that name in a folder of $PATH, then of /usr/sbin
// and /sbin. Empty when none.
std::string FindProgram(const std::string& name);

// Starts argv[0] (found as above) with the other elements as its arguments
// and returns at once. Only a short-lived intermediate process is reaped, so
// the program leaves no zombie and is never waited for. False when the
// program is not found or no process could be made; nothing is shown then.
bool StartDetached(const std::vector<std::string>& argv);

}  // namespace quillo
