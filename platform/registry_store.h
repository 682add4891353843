#pragma once
// The machine registry records the program keeps (the last-defragment
// record, the schedule's RunOnce value, "ActiveXCache"), held in a small
// per-user file beside the option store since Linux has no registry.
//
// Keys are backslash-separated paths and values are addressed by name; both
// compare ASCII case-insensitively. A value is either raw bytes (type 3) or a
// string (type 1). A key exists when it was created or a created key lies
// below it. Every operation reads the file afresh and every change is written
// at once, atomically, so two programs sharing the store see each other's
// records as a registry would show them.
//
// File format: an INI file (platform/ini_file.h), one section per key and
// one entry per value, e.g.
//   [SOFTWARE\Microsoft\Windows\CurrentVersion\explorer\LastOptimize]
//   C:1234-ABCD=hex:d5070c00030017000e001e0005003700
//   [SOFTWARE\Microsoft\Windows\CurrentVersion\RunOnce]
//   Quillo=str:/opt/quillo/Dazo1.exe
// - raw bytes: "hex:" and two lower-case hex digits per byte;
// - strings: "str:" and the text, with '%', control characters and DEL
//   written as %HH (two upper-case hex digits);
// - key paths (leading, trailing and doubled backslashes dropped) and value
//   names: as given, except '%', control characters, DEL, '=', '[', ']',
//   ';', '#' and a blank at either end, which are written as %HH.
// A file that is missing, unreadable or holds no key at all is read as a
// fresh store, which has exactly the keys kLastOptimizeKey and kRunOnceKey
// (as a freshly installed system has them) and no values.
#include <cstdint>
#include <string>
#include <vector>

namespace quillo {

class RegistryStore {
public:
    explicit RegistryStore(std::string path);
    // The store of application `appName` in the per-user config folder.
    static RegistryStore ForApplication(const std::string& appName);

    bool KeyExists(const std::string& keyPath) const;
    // Creates the key (and so every key above it); true when it exists after.
    bool CreateKey(const std::string& keyPath);

    // True and the bytes when the key holds a raw-bytes value of that name.
    bool ReadBinary(const std::string& keyPath, const std::string& valueName,
                    std::vector<uint8_t>& data) const;
    // Sets a raw-bytes value. Fails, writing nothing, when the key does not
    // exist: values go only into keys that were created.
    bool WriteBinary(const std::string& keyPath, const std::string& valueName,
                     const std::vector<uint8_t>& data);
    // True and the text when the key holds a string value of that name.
    bool ReadString(const std::string& keyPath, const std::string& valueName, std::string& text) const;
    // Sets a string value; fails, writing nothing, when the key does not exist.
    bool WriteString(const std::string& keyPath, const std::string& valueName, const std::string& text);
    // Removes a value of either type; false when there was none.
    bool DeleteValue(const std::string& keyPath, const std::string& valueName);

    const std::string& Path() const { return path_; }

private:
    bool WriteEncoded(const std::string& keyPath, const std::string& valueName, const std::string& encoded);

    std::string path_;
};

// One machine value as text: the string value trimmed of blanks (cut at a
// NUL, as a C buffer would hold it), empty when the key or value is missing
// or is not a string.
std::string ReadMachineValue(const RegistryStore& store, const std::string& keyPath,
                             const std::string& valueName);

inline constexpr const char* kLastOptimizeKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\explorer\\LastOptimize";
inline constexpr const char* kRunOnceKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
inline constexpr const char* kInternetSettingsKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

}  // namespace quillo
