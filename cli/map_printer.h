#pragma once
// The disk map in a terminal: one coloured character per map cell.
#include <cstdio>

namespace quillo {
struct ChainState;
}

namespace quillo::cli {

// Cells the terminal map shows (80 columns, 25 rows).
constexpr int kTerminalMapColumns = 80;
constexpr int kTerminalMapCells = kTerminalMapColumns * 25;

void PrintMap(const ChainState& chains, std::FILE* out);

}  // namespace quillo::cli
