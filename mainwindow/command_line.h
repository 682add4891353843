#pragma once
// The window program's command line: disks to attach, then the drive list of
// an unattended run.
#include <string>
#include <vector>

#include "disk/drive_letters.h"

namespace quillo::gui {

struct CommandLine {
    std::vector<AttachedDisk> disks;  // --disk PATH, --floppy PATH, in order
    std::string driveList;            // the rest, joined by blanks and trimmed
    std::vector<std::string> open;    // --open IMAGE...: attach each and select the first
    bool help = false;
    bool version = false;
    bool listTopics = false;          // --help-topics
    std::string error;                // non-empty: the line cannot be used
};

// `arguments` without the program name.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

extern const char* const kUsage;

}  // namespace quillo::gui
