#pragma once
// The console front end's command line:
//   quillo-cli [--disk PATH]... [--floppy PATH]... [--json] [--map] COMMAND [DRIVE]...
//   quillo-cli [--disk PATH]... [--json] list KEYWORD [DRIVE]
#include <optional>
#include <string>
#include <vector>

namespace quillo::cli {

struct AttachedPath {
    std::string path;
    bool floppy = false;
};

struct Arguments {
    std::vector<AttachedPath> disks;
    std::string command;        // "drives", "info", "check", "defrag", "map", "list"
    std::string listKeyword;    // list: "Temps", "Duplicates", "TaskList", "Frags", ...
    std::vector<char> drives;   // upper-case letters
    bool json = false;
    bool map = false;           // print the map as coloured cells
    bool help = false;          // --help: print the usage, nothing else
    bool version = false;       // --version
};

// Parses argv; on a usage error returns nullopt with a one-line message.
std::optional<Arguments> ParseArguments(const std::vector<std::string>& args, std::string& error);

// "C", "c", "C:", "c:" -> 'C'; anything else -> nullopt.
std::optional<char> ParseDriveLetter(const std::string& text);

}  // namespace quillo::cli
