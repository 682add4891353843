#pragma once
// The console front end's commands. Each writes its report to `out`,
// problems to `err`, and returns the exit status.
#include <cstdio>

#include "cli/arguments.h"

namespace quillo::cli {

int RunCommand(const Arguments& args, std::FILE* out, std::FILE* err);

}  // namespace quillo::cli
