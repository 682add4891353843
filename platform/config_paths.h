#pragma once
// Where the per-user configuration files live: the folder of the XDG base
// directory rules, and the option store and registry store named after the
// application.
#include <string>

namespace quillo {

// Application name shared by the window program and the console front end,
// so that both run with the same preferences.
inline constexpr const char* kQuilloAppName = "quillo";

// `$XDG_CONFIG_HOME` when set and non-empty, else `$HOME/.config` (the
// password database's home folder when HOME is unset). Never ends in '/'.
std::string ConfigFolder();

// `$HOME` when set and non-empty, else the password database's home folder.
std::string HomeFolder();

// The user's login name (the password database's, else `$USER`, else the
// user number).
std::string UserName();

// `$XDG_DATA_HOME` when set and non-empty, else `$HOME/.local/share`. Never
// ends in '/'.
std::string DataFolder();

// `$XDG_CACHE_HOME` when set and non-empty, else `$HOME/.cache`. Never ends
// in '/'.
std::string CacheFolder();

// The temporary folder: `$TMPDIR` when set and non-empty, else `/tmp`,
// without a trailing '/'; empty when it is not a folder.
std::string TemporaryFolder();

// `<ConfigFolder()>/<appName>.ini`: the option store.
std::string OptionStorePath(const std::string& appName);

// `<ConfigFolder()>/<appName>.registry`: the registry-record store.
std::string RegistryStorePath(const std::string& appName);

}  // namespace quillo
