#pragma once
// `quillo-cli list KEYWORD [DRIVE]`: the rows of one of the cleaner's lists,
// built as the window builds them, one per line (or with --json an array of
// objects with each row's fields). It never deletes anything.
#include <cstdio>

#include "cli/arguments.h"

namespace quillo::cli {

class Console;

int ListRows(Console& console, const Arguments& args, std::FILE* out, std::FILE* err);

}  // namespace quillo::cli
