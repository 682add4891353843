#pragma once
// Where the running program lives, so that programs installed side by side
// (the window program and its log-in launcher) find each other wherever the
// folder is.
#include <string>

namespace quillo {

// The folder of the running executable (from /proc/self/exe); "." when the
// system does not say.
std::string ProgramFolder();

// The running executable's file name; `fallback` when the system does not say.
std::string ProgramFileName(const std::string& fallback);

}  // namespace quillo
