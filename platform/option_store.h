#pragma once
// The per-user option store: text values under section "Options" of an INI
// file named after the application (platform/config_paths.h), and the
// encodings of the preference values kept there.
//
// Booleans are stored as "Yes" / "No", numbers as plain decimal text. A key
// that was never written reads as its default; keys are case-insensitive, so
// "AutoBackground" written by the preferences dialog is the value that the
// start-up read of "AutoBackGround" finds. The store reports no errors: a
// missing or unreadable file reads as all defaults.
#include <cstdint>
#include <string>
#include <vector>

#include "common/options.h"
#include "platform/ini_file.h"

namespace quillo {

class OptionStore;

// --- Option semantics ---------------------------------------------------

// Reads every option variable in start-up order: "StartMaximized",
// "HideHisto", "HideLargeList"; "AutoDefrag" (trimmed of blanks),
// "AutoBackGround", "AutoShow"; "Background", "NoHugeDefrag", "NoHugePack",
// "DefragLim", "PackLim", "Silent", "FixedRegistry". Height and Width stay
// 0: the window layout reads them with ReadWindowSize.
Options LoadAllOptions(const OptionStore& store);

struct WindowSize {
    int32_t Height = 0;  // twips, 0 = never recorded
    int32_t Width = 0;
};
WindowSize ReadWindowSize(const OptionStore& store);
// Writes "Height" and then "Width", each only when non-zero, so a size that
// was never measured keeps the stored one.
void SaveWindowSize(OptionStore& store, int32_t height, int32_t width);

// Schedule values, read by the Schedule page and the start-up launcher:
// "Interval" (0 always, 1 daily, 7 weekly, -1 never; default -1) and "Date"
// (default empty).
int32_t ReadInterval(const OptionStore& store);
std::string ReadScheduleDate(const OptionStore& store);

// Writes "Yes" or "No" under `key` and sets `variable` to `checked`.
// Returns whether the store file was written.
bool SaveBooleanOption(OptionStore& store, const std::string& key, bool checked, bool& variable);
// Converts `field` with NumericValue, clamps it to 0..999, puts the clamped
// number back into `field` as plain decimal, stores that same text under
// `key` and returns the number.
int32_t SaveNumericOption(OptionStore& store, const std::string& key, std::string& field);
// Plain writes; return whether the store file was written.
bool SaveTextOption(OptionStore& store, const std::string& key, const std::string& text);
bool SaveNumber(OptionStore& store, const std::string& key, int32_t number);

// True exactly when `text` is "Yes" (case and blanks significant).
bool OptionIsTrue(const std::string& text);
// The longest leading number of `text` (leading blanks skipped, optional
// sign, digits with an optional fraction, an exponent only when digits
// follow it), rounded to the nearest integer with halves to even and clamped
// to the int32 range; 0 when the text does not start with a number.
int32_t NumericValue(const std::string& text);

// --- The store ----------------------------------------------------------

inline constexpr const char* kOptionsSection = "Options";

class OptionStore {
public:
    // Binds to the store file at `path` and reads it once. The file is not
    // created until the first write.
    explicit OptionStore(std::string path);
    // The store of application `appName` in the per-user config folder.
    static OptionStore ForApplication(const std::string& appName);

    // A value of section "Options", or `defaultText` when the key is absent.
    std::string ReadText(const std::string& key, const std::string& defaultText) const;
    // Sets a value of section "Options" and writes the file at once.
    bool WriteText(const std::string& key, const std::string& text);

    // The same for any other section (for instance the front end's "Drives").
    std::string ReadValue(const std::string& section, const std::string& key,
                          const std::string& defaultText) const;
    bool WriteValue(const std::string& section, const std::string& key, const std::string& text);
    bool RemoveValue(const std::string& section, const std::string& key);
    std::vector<IniEntry> ReadSection(const std::string& section) const;
    bool ReplaceSection(const std::string& section, const std::vector<IniEntry>& entries);

    const std::string& Path() const { return path_; }

private:
    // Applies `change` to the copy read at construction and to the file as
    // it is on disk now, then writes the latter, so values written meanwhile
    // by another program (the start-up launcher and "Date") are not lost.
    template <typename Change>
    bool Update(Change change);

    std::string path_;
    IniFile cache_;
};

// Key names of section "Options".
namespace option_keys {
inline constexpr const char* Background = "Background";
inline constexpr const char* NoHugeDefrag = "NoHugeDefrag";
inline constexpr const char* DefragLim = "DefragLim";
inline constexpr const char* NoHugePack = "NoHugePack";
inline constexpr const char* PackLim = "PackLim";
inline constexpr const char* Silent = "Silent";
inline constexpr const char* FixedRegistry = "FixedRegistry";
inline constexpr const char* StartMaximized = "StartMaximized";
inline constexpr const char* HideHisto = "HideHisto";
inline constexpr const char* HideLargeList = "HideLargeList";
inline constexpr const char* AutoDefrag = "AutoDefrag";
inline constexpr const char* AutoBackground = "AutoBackground";  // as the dialog writes it
inline constexpr const char* AutoShow = "AutoShow";
inline constexpr const char* Interval = "Interval";
inline constexpr const char* Date = "Date";
inline constexpr const char* Height = "Height";
inline constexpr const char* Width = "Width";
}  // namespace option_keys

}  // namespace quillo
