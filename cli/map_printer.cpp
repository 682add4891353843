#include "cli/map_printer.h"

#include "common/engine_state.h"

namespace quillo::cli {
namespace {

// The 16-colour palette the categories are numbered in, as terminal colours.
const char* const kAnsiForeground[16] = {"30", "34", "32", "36", "31", "35", "33", "37",
                                         "90", "94", "92", "96", "91", "95", "93", "97"};

struct LegendEntry {
    uint8_t category;
    const char* word;
};

constexpr LegendEntry kLegend[] = {
    {kCellFiles, "Files"},   {kCellFragments, "Fragments"}, {kCellFixed, "Fixed"},
    {kCellEmpty, "Empty"},   {kCellPartial, "Partial"},     {kCellMoving, "Moving"},
    {kCellTo, "To"},
};

void PrintCell(uint8_t category, std::FILE* out) {
    if (category == kCellNone || category > 15) {
        std::fputc(' ', out);
        return;
    }
    std::fprintf(out, "\033[%sm\u2588\033[0m", kAnsiForeground[category]);
}

}  // namespace

void PrintMap(const ChainState& chains, std::FILE* out) {
    bool seen[16] = {};
    int column = 0;
    for (uint8_t category : chains.MapCells) {
        PrintCell(category, out);
        if (category < 16) seen[category] = true;
        if (++column == kTerminalMapColumns) {
            std::fputc('\n', out);
            column = 0;
        }
    }
    if (column != 0) std::fputc('\n', out);
    for (const LegendEntry& entry : kLegend) {
        if (!seen[entry.category]) continue;
        PrintCell(entry.category, out);
        std::fprintf(out, " %s  ", entry.word);
    }
    std::fprintf(out, "\n");
}

}  // namespace quillo::cli
