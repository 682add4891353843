#pragma once
// What `quillo-cli --help` and `--version` print, and the hint that follows a
// usage error, in the GNU programs' form.

namespace quillo::cli {

extern const char* const kUsageText;

// "Try 'quillo-cli --help' for more information." on standard error.
void PrintTryHelp(const char* program);

}  // namespace quillo::cli
