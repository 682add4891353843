#include "platform/registry_store.h"

#include <utility>

#include "platform/config_paths.h"
#include "platform/ini_file.h"

namespace quillo {
namespace {

constexpr const char* kBinaryPrefix = "hex:";
constexpr const char* kStringPrefix = "str:";
constexpr size_t kPrefixLength = 4;
constexpr const char* kUpperHex = "0123456789ABCDEF";
constexpr const char* kLowerHex = "0123456789abcdef";

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

std::string PercentEscape(const std::string& text, bool isName) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        bool escape = c == '%' || IsControl(c);
        if (isName)
            escape = escape || c == '=' || c == '[' || c == ']' || c == ';' || c == '#' ||
                     (c == ' ' && (i == 0 || i + 1 == text.size()));
        if (escape) {
            out += '%';
            out += kUpperHex[c >> 4];
            out += kUpperHex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// A '%' that does not start a valid escape is kept as it is.
std::string PercentUnescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexDigitValue(text[i + 1]) >= 0 &&
            HexDigitValue(text[i + 2]) >= 0) {
            out += static_cast<char>(HexDigitValue(text[i + 1]) * 16 + HexDigitValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// The section name of a key path; empty for a path that names no key.
std::string KeySection(const std::string& keyPath) {
    std::string normal;
    size_t pos = 0;
    while (pos <= keyPath.size()) {
        size_t end = keyPath.find('\\', pos);
        if (end == std::string::npos) end = keyPath.size();
        if (end > pos) {
            if (!normal.empty()) normal += '\\';
            normal += keyPath.substr(pos, end - pos);
        }
        pos = end + 1;
    }
    return PercentEscape(normal, true);
}

std::string EncodeBinary(const std::vector<uint8_t>& data) {
    std::string out = kBinaryPrefix;
    for (uint8_t byte : data) {
        out += kLowerHex[byte >> 4];
        out += kLowerHex[byte & 15];
    }
    return out;
}

bool DecodeBinary(const std::string& stored, std::vector<uint8_t>& data) {
    if (stored.compare(0, kPrefixLength, kBinaryPrefix) != 0) return false;
    if ((stored.size() - kPrefixLength) % 2 != 0) return false;
    std::vector<uint8_t> bytes;
    for (size_t i = kPrefixLength; i < stored.size(); i += 2) {
        int high = HexDigitValue(stored[i]), low = HexDigitValue(stored[i + 1]);
        if (high < 0 || low < 0) return false;
        bytes.push_back(static_cast<uint8_t>(high * 16 + low));
    }
    data = std::move(bytes);
    return true;
}

bool HasAnyKey(const IniFile& ini) {
    for (const std::string& name : ini.SectionNames())
        if (!name.empty()) return true;
    return false;
}

IniFile LoadStore(const std::string& path) {
    IniFile ini = IniFile::Load(path);
    if (!HasAnyKey(ini)) {
        ini = IniFile();
        ini.AddSection(KeySection(kLastOptimizeKey));
        ini.AddSection(KeySection(kRunOnceKey));
    }
    return ini;
}

bool SectionExists(const IniFile& ini, const std::string& section) {
    if (section.empty()) return false;
    const std::string below = section + "\\";
    for (const std::string& name : ini.SectionNames())
        if (NamesEqual(name, section) ||
            (name.size() > below.size() && NamesEqual(name.substr(0, below.size()), below)))
            return true;
    return false;
}

bool ReadStored(const std::string& path, const std::string& keyPath, const std::string& valueName,
                std::string& stored) {
    return LoadStore(path).Read(KeySection(keyPath), PercentEscape(valueName, true), stored);
}

}  // namespace

RegistryStore::RegistryStore(std::string path) : path_(std::move(path)) {}

RegistryStore RegistryStore::ForApplication(const std::string& appName) {
    return RegistryStore(RegistryStorePath(appName));
}

bool RegistryStore::KeyExists(const std::string& keyPath) const {
    return SectionExists(LoadStore(path_), KeySection(keyPath));
}

bool RegistryStore::CreateKey(const std::string& keyPath) {
    const std::string section = KeySection(keyPath);
    if (section.empty()) return false;
    IniFile ini = LoadStore(path_);
    if (ini.HasSection(section)) return true;
    ini.AddSection(section);
    return ini.Save(path_);
}

bool RegistryStore::ReadBinary(const std::string& keyPath, const std::string& valueName,
                               std::vector<uint8_t>& data) const {
    std::string stored;
    return ReadStored(path_, keyPath, valueName, stored) && DecodeBinary(stored, data);
}

bool RegistryStore::WriteBinary(const std::string& keyPath, const std::string& valueName,
                                const std::vector<uint8_t>& data) {
    return WriteEncoded(keyPath, valueName, EncodeBinary(data));
}

bool RegistryStore::ReadString(const std::string& keyPath, const std::string& valueName,
                               std::string& text) const {
    std::string stored;
    if (!ReadStored(path_, keyPath, valueName, stored)) return false;
    if (stored.compare(0, kPrefixLength, kStringPrefix) != 0) return false;
    text = PercentUnescape(stored.substr(kPrefixLength));
    return true;
}

bool RegistryStore::WriteString(const std::string& keyPath, const std::string& valueName,
                                const std::string& text) {
    return WriteEncoded(keyPath, valueName, kStringPrefix + PercentEscape(text, false));
}

bool RegistryStore::DeleteValue(const std::string& keyPath, const std::string& valueName) {
    IniFile ini = LoadStore(path_);
    if (!ini.Remove(KeySection(keyPath), PercentEscape(valueName, true))) return false;
    return ini.Save(path_);
}

bool RegistryStore::WriteEncoded(const std::string& keyPath, const std::string& valueName,
                                 const std::string& encoded) {
    const std::string section = KeySection(keyPath);
    IniFile ini = LoadStore(path_);
    if (!SectionExists(ini, section)) return false;
    ini.Write(section, PercentEscape(valueName, true), encoded);
    return ini.Save(path_);
}

std::string ReadMachineValue(const RegistryStore& store, const std::string& keyPath,
                             const std::string& valueName) {
    std::string text;
    if (!store.ReadString(keyPath, valueName, text)) return std::string();
    text = text.substr(0, text.find('\0'));
    size_t begin = text.find_first_not_of(' ');
    if (begin == std::string::npos) return std::string();
    return text.substr(begin, text.find_last_not_of(' ') - begin + 1);
}

}  // namespace quillo
