// quillo-cli: the console front end of Quillo.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/usage.h"
#include "common/version.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    const auto parsed = quillo::cli::ParseArguments(args, error);
    if (!parsed) {
        std::fprintf(stderr, "quillo-cli: %s\n", error.c_str());
        quillo::cli::PrintTryHelp("quillo-cli");
        return quillo::cli::kExitUsage;
    }
    if (parsed->help) {
        std::fputs(quillo::cli::kUsageText, stdout);
        return quillo::cli::kExitDone;
    }
    if (parsed->version) {
        std::fputs(quillo::VersionLine("quillo-cli").c_str(), stdout);
        return quillo::cli::kExitDone;
    }
    return quillo::cli::RunCommand(*parsed, stdout, stderr);
}
