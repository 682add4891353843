#pragma once
// What the sector viewer's three panes show for one 512-byte sector: the
// offset, hexadecimal and character lines, the text colour, and the marks
// over the fields of each 32-byte directory entry. No drawing here.
#include <QString>

#include <cstdint>
#include <vector>

namespace quillo::gui {

inline constexpr int kDumpLines = 32;      // 16 bytes each
inline constexpr int kBytesPerLine = 16;

// "000", "010", ... "1F0": the offset of the line's first byte.
QString OffsetText(int line);
// 47 characters: byte k as two upper-case hexadecimal digits at column 3k,
// blanks between, "|" between the eighth and the ninth byte.
QString HexLine(const uint8_t* bytes);
// 16 characters: each byte itself when printable (32..126), else ".".
QString CharLine(const uint8_t* bytes);

// Palette number of the panes' text: 4 (red) for sector 0, 5 (magenta) for
// sector 1, 1 (blue) for a sector starting "FILE", 2 (green) for one
// starting "INDX", 0 (black) otherwise.
int SectorColourNumber(int32_t sector, const uint8_t* bytes);

enum class MarkPane { Data, Text };

// A filled box over `count` bytes from `firstByte` of the sector, in one
// pane, in palette colour `colour`, drawn exclusive-or.
struct EntryMark {
    MarkPane pane = MarkPane::Data;
    int firstByte = 0;
    int count = 1;
    int colour = 0;
    bool operator==(const EntryMark&) const = default;
};

// The marks of the 16 entries of a directory sector, in drawing order: a
// deleted entry's first byte (green); the attribute byte in its category's
// colour (folder magenta, label cyan, read-only/hidden/system green, other
// files blue; a long-name entry green, then black); the name and extension
// in the text pane (not for deleted or long-name entries); the first
// cluster's low word, and on FAT32 its high word (magenta). Unused slots
// (first byte 0) get none.
std::vector<EntryMark> DirectoryMarks(const uint8_t* sector, bool fat32);

}  // namespace quillo::gui
