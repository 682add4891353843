#include "platform/ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <unordered_map>
#include <unordered_set>

namespace quillo {
namespace {

// Larger than any store we write by orders of magnitude; a bigger file is not
// ours and is not worth holding in memory.
constexpr size_t kMaxIniBytes = 16 * 1024 * 1024;

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string LowerAsciiText(std::string text) {
    for (char& c : text) c = LowerAscii(c);
    return text;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string TrimBlanks(const std::string& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

std::string WithoutLineBreaks(std::string text) {
    for (char& c : text)
        if (c == '\r' || c == '\n') c = ' ';
    return text;
}

std::string ParentFolder(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

bool WriteAll(int fd, const std::string& contents) {
    size_t done = 0;
    while (done < contents.size()) {
        ssize_t n = ::write(fd, contents.data() + done, contents.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// Makes the rename itself durable; a failure here leaves a complete file
// either way, so it is not reported.
void SyncFolder(const std::string& folder) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

bool NamesEqual(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

namespace {

template <typename Entries>
auto FindEntry(Entries& entries, const std::string& key) {
    auto it = entries.begin();
    while (it != entries.end() && !NamesEqual(it->key, key)) ++it;
    return it;
}

}  // namespace

bool ReadSmallFile(const std::string& path, size_t maxBytes, std::string& contents) {
    contents.clear();
    // O_NONBLOCK so that a FIFO at the path cannot hang the open.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
              static_cast<uint64_t>(info.st_size) <= maxBytes;
    try {
        // Read to the end rather than to the stat size: the file may grow
        // under us, and the bound must still hold.
        char chunk[8192];
        while (ok) {
            ssize_t n = ::read(fd, chunk, sizeof chunk);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                ok = n == 0;
                break;
            }
            if (contents.size() + static_cast<size_t>(n) > maxBytes) ok = false;
            else contents.append(chunk, static_cast<size_t>(n));
        }
    } catch (...) {
        ok = false;
    }
    ::close(fd);
    if (!ok) contents.clear();
    return ok;
}

bool WriteFileAtomically(const std::string& path, const std::string& contents) {
    const std::string folder = ParentFolder(path);
    std::error_code error;
    std::filesystem::create_directories(folder, error);  // checked by the open below

    std::string temp = path + ".tmp-XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) return false;
    // Flush the data before the rename makes it the store, so a crash never
    // leaves the store name pointing at a file whose contents were not written.
    bool ok = WriteAll(fd, contents) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok) ok = ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    SyncFolder(folder);
    return true;
}

IniFile IniFile::Load(const std::string& path) {
    try {
        std::string text;
        if (!ReadSmallFile(path, kMaxIniBytes, text)) return IniFile();
        if (text.find('\0') != std::string::npos) return IniFile();  // not a text file
        return FromText(text);
    } catch (...) {
        return IniFile();
    }
}

bool IniFile::Save(const std::string& path) const {
    try {
        return WriteFileAtomically(path, ToText());
    } catch (...) {
        return false;
    }
}

IniFile IniFile::FromText(const std::string& text) {
    IniFile ini;
    // Hashed by lower-cased name so that a large file of junk parses in
    // linear time; the sections themselves keep their first spelling.
    std::unordered_map<std::string, size_t> sectionIndex;
    std::vector<std::unordered_set<std::string>> keysSeen;
    size_t current = SIZE_MAX;
    auto enter = [&](const std::string& name) {
        auto [it, added] = sectionIndex.emplace(LowerAsciiText(name), ini.sections_.size());
        if (added) {
            ini.sections_.push_back({name, {}});
            keysSeen.emplace_back();
        }
        current = it->second;
    };

    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();

        std::string trimmed = TrimBlanks(line);
        if (trimmed.empty() || trimmed[0] == ';' || trimmed[0] == '#') continue;
        if (trimmed[0] == '[' && trimmed.back() == ']' && trimmed.size() >= 2) {
            enter(TrimBlanks(trimmed.substr(1, trimmed.size() - 2)));
            continue;
        }
        size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        std::string key = TrimBlanks(line.substr(0, equals));
        if (current == SIZE_MAX) enter("");
        if (keysSeen[current].insert(LowerAsciiText(key)).second)
            ini.sections_[current].entries.push_back({key, line.substr(equals + 1)});
    }
    return ini;
}

std::string IniFile::ToText() const {
    std::string text;
    for (const Section& section : sections_) {
        if (section.name.empty() && section.entries.empty()) continue;
        if (!text.empty()) text += '\n';
        if (!section.name.empty() || &section != &sections_.front())
            text += "[" + section.name + "]\n";
        for (const IniEntry& entry : section.entries) text += entry.key + "=" + entry.value + "\n";
    }
    return text;
}

bool IniFile::Read(const std::string& section, const std::string& key, std::string& value) const {
    const Section* found = FindSection(section);
    if (found == nullptr) return false;
    auto entry = FindEntry(found->entries, key);
    if (entry == found->entries.end()) return false;
    value = entry->value;
    return true;
}

void IniFile::Write(const std::string& section, const std::string& key, const std::string& value) {
    Section& target = SectionFor(WithoutLineBreaks(section));
    const std::string cleanKey = WithoutLineBreaks(key);
    const std::string cleanValue = WithoutLineBreaks(value);
    auto entry = FindEntry(target.entries, cleanKey);
    if (entry != target.entries.end()) entry->value = cleanValue;
    else target.entries.push_back({cleanKey, cleanValue});
}

bool IniFile::Remove(const std::string& section, const std::string& key) {
    Section* found = FindSection(section);
    if (found == nullptr) return false;
    auto entry = FindEntry(found->entries, key);
    if (entry == found->entries.end()) return false;
    found->entries.erase(entry);
    return true;
}

bool IniFile::HasSection(const std::string& section) const { return FindSection(section) != nullptr; }

void IniFile::AddSection(const std::string& section) { SectionFor(WithoutLineBreaks(section)); }

std::vector<IniEntry> IniFile::ReadSection(const std::string& section) const {
    const Section* found = FindSection(section);
    return found != nullptr ? found->entries : std::vector<IniEntry>();
}

void IniFile::ReplaceSection(const std::string& section, const std::vector<IniEntry>& entries) {
    Section& target = SectionFor(WithoutLineBreaks(section));
    target.entries.clear();
    for (const IniEntry& entry : entries) {
        const std::string key = WithoutLineBreaks(entry.key);
        if (FindEntry(target.entries, key) == target.entries.end())
            target.entries.push_back({key, WithoutLineBreaks(entry.value)});
    }
}

std::vector<std::string> IniFile::SectionNames() const {
    std::vector<std::string> names;
    for (const Section& section : sections_) names.push_back(section.name);
    return names;
}

IniFile::Section* IniFile::FindSection(const std::string& name) {
    for (Section& section : sections_)
        if (NamesEqual(section.name, name)) return &section;
    return nullptr;
}

const IniFile::Section* IniFile::FindSection(const std::string& name) const {
    for (const Section& section : sections_)
        if (NamesEqual(section.name, name)) return &section;
    return nullptr;
}

IniFile::Section& IniFile::SectionFor(const std::string& name) {
    if (Section* found = FindSection(name)) return *found;
    sections_.push_back({name, {}});
    return sections_.back();
}

}  // namespace quillo
