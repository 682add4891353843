#pragma once
// The console front end's runs: `check` (analyse and report) and `map` (the
// map-only look from the allocation table alone), one drive after another.
#include <cstdio>

#include "cli/arguments.h"

namespace quillo {
struct RunState;
}

namespace quillo::cli {

class Console;

int RunChecks(Console& console, const Arguments& args, std::FILE* out, std::FILE* err);

// The end-of-run message of a run, one line per line, when there is one.
void PrintEndOfRunMessage(const RunState& run, std::FILE* to);

}  // namespace quillo::cli
