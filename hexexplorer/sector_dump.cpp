#include "hexexplorer/sector_dump.h"

#include <cstring>

#include "common/engine_state.h"
#include "disk/dir_entry_layout.h"
#include "disk/volume_device.h"

namespace quillo::gui {
namespace {

constexpr int kEntriesPerSector = kSectorSize / kEntrySize;
constexpr uint8_t kAttrReadOnlyHiddenSystem = kAttrReadOnly | kAttrHidden | kAttrSystem;
// A long-name piece carries read-only, hidden, system and label together.
constexpr uint8_t kLongNameBits = kAttrReadOnlyHiddenSystem | kAttrVolumeLabel;

// Palette numbers of the marks.
constexpr int kBlack = 0;
constexpr int kBlue = 1;
constexpr int kGreen = 2;
constexpr int kCyan = 3;
constexpr int kMagenta = 5;

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr int kHexLineLength = kBytesPerLine * 3 - 1;
constexpr int kSeparatorColumn = 23;  // the blank between byte 7 and byte 8

// The category colour of an entry's attribute byte.
int CategoryColour(uint8_t attributes) {
    if (attributes & kAttrFolder) return kMagenta;
    if (attributes & kAttrVolumeLabel)
        return (attributes & kLongNameBits) == kLongNameBits ? kBlack : kCyan;
    return (attributes & kAttrReadOnlyHiddenSystem) != 0 ? kGreen : kBlue;
}

}  // namespace

QString OffsetText(int line) {
    return QString::number(line * kBytesPerLine + 4096, 16).toUpper().right(3);
}

QString HexLine(const uint8_t* bytes) {
    QString line(kHexLineLength, QChar(' '));
    line[kSeparatorColumn] = QChar('|');
    for (int k = 0; k < kBytesPerLine; ++k) {
        line[3 * k] = QChar(kHexDigits[bytes[k] >> 4]);
        line[3 * k + 1] = QChar(kHexDigits[bytes[k] & 0x0F]);
    }
    return line;
}

QString CharLine(const uint8_t* bytes) {
    QString line(kBytesPerLine, QChar('.'));
    for (int k = 0; k < kBytesPerLine; ++k)
        if (bytes[k] >= 32 && bytes[k] <= 126) line[k] = QChar(bytes[k]);
    return line;
}

int SectorColourNumber(int32_t sector, const uint8_t* bytes) {
    if (sector == 0) return 4;
    if (sector == 1) return 5;
    if (std::memcmp(bytes, "FILE", 4) == 0) return 1;
    if (std::memcmp(bytes, "INDX", 4) == 0) return 2;
    return 0;
}

std::vector<EntryMark> DirectoryMarks(const uint8_t* sector, bool fat32) {
    std::vector<EntryMark> marks;
    for (int slot = 0; slot < kEntriesPerSector; ++slot) {
        const int e = slot * kEntrySize;
        const uint8_t* entry = sector + e;
        if (entry[0] == kEndOfFolder) continue;
        const bool deleted = entry[0] == kErasedEntry;
        if (deleted) marks.push_back({MarkPane::Data, e, 1, kGreen});
        const uint8_t attributes = entry[kAttributesOffset];
        const int colour = CategoryColour(attributes);
        const bool longName = (attributes & kAttrVolumeLabel) && colour == kBlack;
        if (longName) marks.push_back({MarkPane::Data, e + kAttributesOffset, 1, kGreen});
        marks.push_back({MarkPane::Data, e + kAttributesOffset, 1, colour});
        if (!deleted && !longName) {
            marks.push_back({MarkPane::Text, e, kNameLength, colour});
            if (entry[kExtensionOffset] != ' ')
                marks.push_back({MarkPane::Text, e + kExtensionOffset, kExtensionLength, colour});
        }
        marks.push_back({MarkPane::Data, e + kClusterLowOffset, 1, kMagenta});
        marks.push_back({MarkPane::Data, e + kClusterLowOffset + 1, 1, kMagenta});
        if (fat32) {
            marks.push_back({MarkPane::Data, e + kClusterHighOffset, 1, kMagenta});
            marks.push_back({MarkPane::Data, e + kClusterHighOffset + 1, 1, kMagenta});
        }
    }
    return marks;
}

}  // namespace quillo::gui
