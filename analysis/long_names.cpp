#include "analysis/long_names.h"

#include <cctype>

#include "common/little_endian.h"
#include "disk/dir_entry_layout.h"

namespace quillo {
namespace {

// Fields of a long-name piece.
constexpr int kSequenceOffset = 0;      // 1..20, 0x40 on the first piece stored
constexpr uint8_t kFirstStoredPiece = 0x40;
constexpr uint8_t kSequenceMask = 0x1F;
constexpr uint8_t kLongNameAttributes = 0x0F;
constexpr int kChecksumOffset = 13;
// Where the 13 UTF-16 units of a piece lie: 5 at 1, 6 at 14, 2 at 28.
constexpr struct { int offset; int units; } kUnitRanges[] = {{1, 5}, {14, 6}, {28, 2}};

// Fields of a short entry.
constexpr uint8_t kLowerCaseName = 0x08;
constexpr uint8_t kLowerCaseExtension = 0x10;

// Short names are stored in the OEM code page; 850 is what the formatting
// tools write by default. Code points of bytes 128..255.
constexpr uint16_t kCodePage850[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00F8, 0x00A3, 0x00D8, 0x00D7, 0x0192,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,
    0x00BF, 0x00AE, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x00C1, 0x00C2, 0x00C0,
    0x00A9, 0x2563, 0x2551, 0x2557, 0x255D, 0x00A2, 0x00A5, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x00E3, 0x00C3,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x00A4,
    0x00F0, 0x00D0, 0x00CA, 0x00CB, 0x00C8, 0x0131, 0x00CD, 0x00CE,
    0x00CF, 0x2518, 0x250C, 0x2588, 0x2584, 0x00A6, 0x00CC, 0x2580,
    0x00D3, 0x00DF, 0x00D4, 0x00D2, 0x00F5, 0x00D5, 0x00B5, 0x00FE,
    0x00DE, 0x00DA, 0x00DB, 0x00D9, 0x00FD, 0x00DD, 0x00AF, 0x00B4,
    0x00AD, 0x00B1, 0x2017, 0x00BE, 0x00B6, 0x00A7, 0x00F7, 0x00B8,
    0x00B0, 0x00A8, 0x00B7, 0x00B9, 0x00B3, 0x00B2, 0x25A0, 0x00A0,
};

void AppendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// Appends a blank-padded field without its trailing blanks, lower-cased on request.
void AppendField(std::string& out, const uint8_t* field, int length, bool lower) {
    while (length > 0 && field[length - 1] == ' ') --length;
    for (int i = 0; i < length; ++i) {
        const uint8_t byte = field[i];
        if (byte < 0x80) {
            out += static_cast<char>(lower ? std::tolower(byte) : byte);
        } else {
            AppendUtf8(out, kCodePage850[byte - 0x80]);
        }
    }
}

}  // namespace

bool IsLongNamePiece(const uint8_t* entry) {
    return (entry[kAttributesOffset] & 0x3F) == kLongNameAttributes;
}

uint8_t ShortNameChecksum(const uint8_t* name11) {
    uint8_t sum = 0;
    for (int i = 0; i < 11; ++i) sum = static_cast<uint8_t>(((sum & 1) << 7) + (sum >> 1) + name11[i]);
    return sum;
}

void LongNameCollector::AddPiece(const uint8_t* entry) {
    const uint8_t sequence = entry[kSequenceOffset];
    const int number = sequence & kSequenceMask;
    const uint8_t checksum = entry[kChecksumOffset];
    if (sequence & kFirstStoredPiece) {
        // The pieces are stored last first: this one starts a new name.
        if (number < 1 || number > kMaxPieces) {
            Reset();
            return;
        }
        pieceCount_ = number;
        checksum_ = checksum;
    } else if (expected_ == 0 || number != expected_ || checksum != checksum_) {
        Reset();
        return;
    }
    uint16_t* units = units_ + (number - 1) * kUnitsPerPiece;
    for (const auto& range : kUnitRanges)
        for (int i = 0; i < range.units; ++i) *units++ = le16(entry + range.offset + 2 * i);
    expected_ = number - 1;
    if (expected_ == 0) expected_ = -1;  // complete: no further piece fits
}

bool LongNameCollector::BelongsTo(const uint8_t* shortEntry) const {
    return expected_ == -1 && pieceCount_ > 0 && units_[0] != 0 &&
           checksum_ == ShortNameChecksum(shortEntry);
}

std::string LongNameCollector::NameFor(const uint8_t* shortEntry) const {
    if (!BelongsTo(shortEntry)) return DisplayShortName(shortEntry);
    int length = 0;
    const int limit = pieceCount_ * kUnitsPerPiece;
    while (length < limit && units_[length] != 0) ++length;
    return Utf16ToUtf8(units_, length);
}

std::string DisplayShortName(const uint8_t* entry) {
    const uint8_t flags = entry[kCaseFlagsOffset];
    std::string name;
    AppendField(name, entry, kNameLength, flags & kLowerCaseName);
    std::string extension;
    AppendField(extension, entry + kExtensionOffset, kExtensionLength, flags & kLowerCaseExtension);
    if (!extension.empty()) name += '.' + extension;
    return name;
}

std::string Utf16ToUtf8(const uint16_t* units, int count) {
    std::string out;
    out.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        uint32_t code = units[i];
        if (code >= 0xD800 && code < 0xDC00 && i + 1 < count && units[i + 1] >= 0xDC00 &&
            units[i + 1] < 0xE000) {
            code = 0x10000 + ((code - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        } else if (code >= 0xD800 && code < 0xE000) {
            code = 0xFFFD;
        }
        AppendUtf8(out, code);
    }
    return out;
}

}  // namespace quillo
