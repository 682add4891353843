#pragma once
// A small INI document: named sections holding ordered key/value entries.
//
// File format (UTF-8 or any 8-bit text, LF or CRLF line ends):
//   [Section]
//   Key=value
// Section and key names are compared ASCII case-insensitively; a name written
// under another capitalisation addresses the same entry and keeps the
// spelling it was first written with. A value is everything after the first
// '=' up to the line end, verbatim (blanks included); we write `key=value`
// with nothing added. Names are trimmed of blanks on reading. Lines starting
// with ';' or '#' and lines that are neither a header nor hold an '=' are
// ignored. Entries before the first header belong to the section named "".
// When a file repeats a section the entries are merged; when it repeats a
// key the first one counts.
//
// Neither names nor values can hold a line break (Write turns CR and LF into
// blanks); a key cannot hold '=' nor start with '[', ';' or '#'. Callers that
// need arbitrary names encode them first.
#include <string>
#include <vector>

namespace quillo {

struct IniEntry {
    std::string key;
    std::string value;
};

class IniFile {
public:
    // Reads the file at `path`. A missing, unreadable or oversized file, a
    // directory or other non-regular file, or binary data (a NUL byte) gives
    // an empty document. Never throws.
    static IniFile Load(const std::string& path);

    // Writes the document atomically: a temporary file in the same folder,
    // flushed to disk, then renamed over `path`, so a crash leaves either
    // the old file or the new one. Creates missing folders. Returns false
    // (and leaves the old file and no temporary behind) on any failure.
    bool Save(const std::string& path) const;

    // True and the value in `value` when the key exists in the section.
    bool Read(const std::string& section, const std::string& key, std::string& value) const;
    // Sets or adds the entry; adds the section at the end when missing.
    void Write(const std::string& section, const std::string& key, const std::string& value);
    // Removes the entry; false when there was none. The section stays.
    bool Remove(const std::string& section, const std::string& key);

    bool HasSection(const std::string& section) const;
    // Adds an empty section at the end when missing.
    void AddSection(const std::string& section);
    // The section's entries in file order; empty when the section is missing.
    std::vector<IniEntry> ReadSection(const std::string& section) const;
    // Replaces all entries of the section (created when missing); later
    // duplicates of a key in `entries` are dropped.
    void ReplaceSection(const std::string& section, const std::vector<IniEntry>& entries);
    // Section names in file order.
    std::vector<std::string> SectionNames() const;

    bool Empty() const { return sections_.empty(); }

    // The document as file text.
    std::string ToText() const;
    // Parses file text; never throws on any input.
    static IniFile FromText(const std::string& text);

private:
    struct Section {
        std::string name;
        std::vector<IniEntry> entries;
    };

    Section* FindSection(const std::string& name);
    const Section* FindSection(const std::string& name) const;
    Section& SectionFor(const std::string& name);

    std::vector<Section> sections_;
};

// ASCII case-insensitive equality, the comparison used for every name.
bool NamesEqual(const std::string& a, const std::string& b);

// Reads a whole regular file of at most `maxBytes`; false for anything else.
bool ReadSmallFile(const std::string& path, size_t maxBytes, std::string& contents);
// Replaces `path` with `contents` atomically (see IniFile::Save).
bool WriteFileAtomically(const std::string& path, const std::string& contents);

}  // namespace quillo
