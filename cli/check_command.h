#pragma once
// The console front end's runs, one drive after another: `check` (analyse
// and report), `defrag` (analyse, then defragment) and `map` (the map-only
// look from the allocation table alone).
#include <cstdio>

#include "cli/arguments.h"

namespace quillo {
struct RunState;
}

namespace quillo::cli {

class Console;

int RunDrives(Console& console, const Arguments& args, std::FILE* out, std::FILE* err);

// The end-of-run message of a run, one line per line, when there is one.
void PrintEndOfRunMessage(const RunState& run, std::FILE* to);

}  // namespace quillo::cli
