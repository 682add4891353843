#pragma once
// The version of every Quillo program, from the project's build description.
#include <string>

namespace quillo {

inline constexpr const char* kQuilloVersion = QUILLO_VERSION;

// What `--version` prints, as GNU programs do: "quillo-cli (Quillo) 0.1".
inline std::string VersionLine(const std::string& program) {
    return program + " (Quillo) " + kQuilloVersion + "\n";
}

}  // namespace quillo
