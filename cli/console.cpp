#include "cli/console.h"

#include <unistd.h>

#include "disk/drive_letters.h"
#include "platform/config_paths.h"
#include "platform/option_store.h"

namespace quillo::cli {
namespace {

std::vector<DriveAssignment> Attach(const Arguments& args, std::FILE* err) {
    std::vector<AttachedDisk> disks;
    for (const AttachedPath& p : args.disks) disks.push_back({p.path, p.floppy});
    DriveLetterResult result = AssignDriveLetters(disks);
    for (const auto* problems : {&result.errors, &result.warnings})
        for (const DiskProblem& problem : *problems)
            std::fprintf(err, "quillo-cli: %s: %s\n", problem.path.c_str(), problem.message.c_str());
    return std::move(result.drives);
}

}  // namespace

Console::Console(const Arguments& args, std::FILE* out, std::FILE* err)
    : table_(Attach(args, err)),
      view_(out, isatty(fileno(err)) ? err : nullptr),
      registry_(RegistryStore::ForApplication(kQuilloAppName)),
      ctx_(view_, clock_, table_) {
    ctx_.driveMenu = &menu_;
    ctx_.registry = &registry_;
    // The window program's preferences; the console front end never writes them.
    ctx_.options = LoadAllOptions(OptionStore::ForApplication(kQuilloAppName));
}

void Console::Select(char letter) {
    ctx_.run.DriveMenuIndex = MenuIndexForDriveLetter(letter);
    ctx_.run.DriveString = std::string(1, letter) + ":";
    ctx_.run.RootPath = ctx_.run.DriveString + "\\";
}

}  // namespace quillo::cli
