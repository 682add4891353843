#pragma once
// The console front end run as a user would, for the end-to-end tests.
#include <string>

#include "tests/support/test_images.h"

namespace quillo::test {

struct ConsoleRun {
    int status = -1;
    std::string output;  // stdout and stderr: log lines, then with --json one object per drive

    // The last JSON object of the output.
    std::string Json() const {
        const size_t brace = output.rfind("\n{");
        return output.substr(brace == std::string::npos ? 0 : brace + 1);
    }
};

// `quillo-cli <args>`, keeping its option store under `configHome`.
inline ConsoleRun RunConsole(const std::string& args, const std::string& configHome) {
    ConsoleRun r;
    r.status = RunCommand("XDG_CONFIG_HOME=" + ShellQuote(configHome) + " " QUILLO_CLI_PATH " " + args, &r.output);
    return r;
}

}  // namespace quillo::test
