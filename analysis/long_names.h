#pragma once
// Long file names as the volume itself stores them: the long-name entries
// (attribute 0x0F) that precede a short entry in its folder, checked against
// the entry's 8.3 name and turned into UTF-8. Used where no mounted file
// system can be asked for the long form of a path.
#include <cstdint>
#include <string>

namespace quillo {

// Collects the pieces of one long name while a folder is read entry by entry.
// The pieces go into a fixed buffer; nothing is allocated until the name is
// asked for, so an ordinary entry costs no allocation.
class LongNameCollector {
public:
    // Forgets what was collected (an erased entry, a label, a used name).
    void Reset() {
        expected_ = 0;
        pieceCount_ = 0;
    }
    // Feeds one long-name entry. A piece out of sequence, or with another
    // checksum, drops the pieces collected so far.
    void AddPiece(const uint8_t* entry);
    // Whether the collected pieces form the whole long name of `shortEntry`:
    // every piece seen, down to number 1, with the checksum of its 8.3 name.
    bool BelongsTo(const uint8_t* shortEntry) const;
    // The long name of `shortEntry`, or its short name as shown (see
    // DisplayShortName) when no long name belongs to it.
    std::string NameFor(const uint8_t* shortEntry) const;

private:
    static constexpr int kMaxPieces = 20;       // 20 x 13 units hold 255 characters
    static constexpr int kUnitsPerPiece = 13;

    uint16_t units_[kMaxPieces * kUnitsPerPiece] = {};
    int expected_ = 0;    // number of the next piece; 0 when none is awaited
    int pieceCount_ = 0;  // pieces of the name, from its first (last-numbered) piece
    uint8_t checksum_ = 0;
};

// True for a long-name piece: the attribute byte's low six bits are 0x0F.
bool IsLongNamePiece(const uint8_t* entry);
// The checksum of the 11-byte 8.3 name that every piece of its long name carries.
uint8_t ShortNameChecksum(const uint8_t* name11);
// The short name as a long path shows it: NAME.EXT with the lower-case flags
// of byte 12 applied (0x08 the name, 0x10 the extension), bytes above 127
// read in code page 850, in UTF-8.
std::string DisplayShortName(const uint8_t* entry);
// UTF-16 code units to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(const uint16_t* units, int count);

}  // namespace quillo
