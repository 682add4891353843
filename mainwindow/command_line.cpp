#include "mainwindow/command_line.h"

#include "mainwindow/attached_disks.h"

namespace quillo::gui {

const char* const kUsage =
    "usage: quillo [--disk PATH]... [--floppy PATH] [DRIVES]\n"
    "   or: quillo [--disk PATH]... --open [IMAGE]...\n"
    "  --disk PATH     attach a disk image or block device (remembered for the next start)\n"
    "  --floppy PATH   attach a floppy image as A:\n"
    "  --open IMAGE... attach every image that follows, as Disk > Open disk image... does\n"
    "  DRIVES          defragment these drives unattended and end, e.g. \"C D\", \"C: D:\", \"CD\"\n"
    "                  or \"/C,D\"; \"*\" takes the AutoDefrag preference. Ends with status 2\n"
    "                  when no letter names an attached drive\n"
    "  --help          display this help and exit\n"
    "  --version       output version information and exit\n"
    "  --help-topics   list the help topics built into the program and exit\n"
    "Full documentation: man quillo\n";

namespace {

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine line;
    std::string rest;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            line.help = true;
            continue;
        }
        if (argument == "--version" || argument == "--help-topics") {
            (argument == "--version" ? line.version : line.listTopics) = true;
            continue;
        }
        if (argument == "--open") {  // what a file manager's "Open With" hands over
            line.open.assign(arguments.begin() + static_cast<long>(i) + 1, arguments.end());
            break;
        }
        bool floppy = argument.rfind("--floppy", 0) == 0;
        if (floppy || argument.rfind("--disk", 0) == 0) {
            const std::string option = floppy ? "--floppy" : "--disk";
            std::string path;
            if (argument.size() > option.size() && argument[option.size()] == '=') {
                path = argument.substr(option.size() + 1);
            } else if (argument == option && i + 1 < arguments.size()) {
                path = arguments[++i];
            } else if (argument == option) {
                line.error = option + " needs a path";
                return line;
            } else {
                rest += (rest.empty() ? "" : " ") + argument;
                continue;
            }
            if (path.empty()) {
                line.error = option + " needs a path";
                return line;
            }
            line.disks.push_back({AbsolutePath(path), floppy});
            continue;
        }
        rest += (rest.empty() ? "" : " ") + argument;
    }
    line.driveList = Trimmed(rest);
    return line;
}

}  // namespace quillo::gui
