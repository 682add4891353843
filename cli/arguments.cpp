#include "cli/arguments.h"

#include <cctype>

namespace quillo::cli {
namespace {

struct CommandShape {
    const char* name;
    size_t minDrives;
    size_t maxDrives;
};

constexpr CommandShape kCommands[] = {
    {"drives", 0, 0},
    {"info", 1, 1},
    {"check", 1, 24},
    {"defrag", 1, 24},
    {"map", 1, 24},
    {"list", 0, 1},  // the keyword comes first; "Frags" needs its drive
};

}  // namespace

std::optional<char> ParseDriveLetter(const std::string& text) {
    if (text.empty() || text.size() > 2) return std::nullopt;
    if (text.size() == 2 && text[1] != ':') return std::nullopt;
    const unsigned char c = static_cast<unsigned char>(text[0]);
    if (!std::isalpha(c) || c > 127) return std::nullopt;
    return static_cast<char>(std::toupper(c));
}

std::optional<Arguments> ParseArguments(const std::vector<std::string>& args, std::string& error) {
    Arguments parsed;
    size_t i = 0;
    for (; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--disk" || arg == "--floppy") {
            if (i + 1 >= args.size()) {
                error = arg + " needs a path";
                return std::nullopt;
            }
            parsed.disks.push_back({args[++i], arg == "--floppy"});
        } else if (arg == "--json") {
            parsed.json = true;
        } else if (arg == "--map") {
            parsed.map = true;
        } else if (arg == "--help" || arg == "--version") {
            (arg == "--help" ? parsed.help : parsed.version) = true;
            return parsed;
        } else if (arg.rfind("--", 0) == 0) {
            error = "unknown option " + arg;
            return std::nullopt;
        } else {
            break;
        }
    }
    if (i >= args.size()) {
        error = "no command given (drives, info, check, defrag, map, list)";
        return std::nullopt;
    }
    parsed.command = args[i++];
    const CommandShape* shape = nullptr;
    for (const CommandShape& candidate : kCommands)
        if (parsed.command == candidate.name) shape = &candidate;
    if (shape == nullptr) {
        error = "unknown command " + parsed.command;
        return std::nullopt;
    }
    if (parsed.command == "list") {
        if (i >= args.size()) {
            error = "list needs a list: Temps, TempInternet, URLcache, Cookies, Duplicates, TaskList or Frags DRIVE";
            return std::nullopt;
        }
        parsed.listKeyword = args[i++];
    }
    for (; i < args.size(); ++i) {
        if (args[i] == "--json" || args[i] == "--map") {
            (args[i] == "--json" ? parsed.json : parsed.map) = true;
            continue;
        }
        const std::optional<char> letter = ParseDriveLetter(args[i]);
        if (!letter) {
            error = "not a drive letter: " + args[i];
            return std::nullopt;
        }
        parsed.drives.push_back(*letter);
    }
    if (parsed.drives.size() < shape->minDrives || parsed.drives.size() > shape->maxDrives) {
        error = parsed.command + (shape->maxDrives == 0   ? " takes no drive"
                                  : shape->maxDrives == 1 ? " takes one drive"
                                                          : " takes one or more drives");
        return std::nullopt;
    }
    return parsed;
}

}  // namespace quillo::cli
