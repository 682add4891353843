// quillo-cli: the console front end of Quillo.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    const auto parsed = quillo::cli::ParseArguments(args, error);
    if (!parsed) {
        std::fprintf(stderr, "quillo-cli: %s\n", error.c_str());
        return quillo::cli::kExitUsage;
    }
    return quillo::cli::RunCommand(*parsed, stdout, stderr);
}
