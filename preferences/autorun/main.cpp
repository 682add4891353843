// The log-in launcher: `quillo-autorun [--today YYYY-MM-DD]`.
// Started by the autostart entry that the Schedule page writes. When the
// schedule says a run is due it runs the window program beside it with "*"
// (the "AutoDefrag" drives, shown as "AutoShow" says) and records the date.
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "common/version.h"
#include "platform/autorun.h"
#include "platform/config_paths.h"
#include "platform/option_store.h"
#include "platform/program_folder.h"

namespace {

constexpr const char* kUsage =
    "usage: quillo-autorun [--today YYYY-MM-DD] [--help] [--version]\n"
    "Runs `quillo *` from this program's folder when the AutoDefrag schedule\n"
    "says a run is due, then records the date. --today stands in for the\n"
    "local date. Full documentation: man quillo-autorun\n";

}  // namespace

int main(int argc, char** argv) {
    std::optional<quillo::Day> today = quillo::LocalToday();
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::fputs(quillo::VersionLine("quillo-autorun").c_str(), stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--today") == 0 && i + 1 < argc) {
            today = quillo::ParseScheduleDate(argv[++i]);
            if (today) continue;
        }
        std::fprintf(stderr, "quillo-autorun: cannot use '%s'\n"
                     "Try 'quillo-autorun --help' for more information.\n", argv[i]);
        return 2;
    }
    quillo::OptionStore store = quillo::OptionStore::ForApplication(quillo::kQuilloAppName);
    const std::string program = quillo::ProgramFolder() + "/" + quillo::kQuilloAppName;
    const quillo::AutorunOutcome outcome =
        quillo::RunScheduledDefrag(store, *today, [&](const std::vector<std::string>& arguments) {
            return quillo::RunProgramAndWait(program, arguments);
        });
    if (outcome == quillo::AutorunOutcome::Failed) {
        std::fprintf(stderr, "quillo-autorun: %s did not run to its end\n", program.c_str());
        return 1;
    }
    return 0;
}
