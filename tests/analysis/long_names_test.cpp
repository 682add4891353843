#include "analysis/long_names.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "common/little_endian.h"

namespace quillo {
namespace {

using Entry = std::array<uint8_t, 32>;

Entry ShortEntry(const char* name11, uint8_t caseFlags = 0) {
    Entry e{};
    std::memcpy(e.data(), name11, 11);
    e[12] = caseFlags;
    return e;
}

// The long-name pieces of `name` for `owner`, in stored order: last piece first.
std::vector<Entry> Pieces(std::u16string units, const Entry& owner) {
    units.push_back(0);
    while (units.size() % 13 != 0) units.push_back(0xFFFF);
    const int count = static_cast<int>(units.size() / 13);
    const int offsets[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
    std::vector<Entry> pieces;
    for (int n = count; n >= 1; --n) {
        Entry e{};
        e[0] = static_cast<uint8_t>(n | (n == count ? 0x40 : 0));
        e[11] = 0x0F;
        e[13] = ShortNameChecksum(owner.data());
        for (int i = 0; i < 13; ++i) put_le16(e.data() + offsets[i], units[(n - 1) * 13 + i]);
        pieces.push_back(e);
    }
    return pieces;
}

std::string NameAfter(const std::vector<Entry>& pieces, const Entry& owner) {
    LongNameCollector collector;
    for (const Entry& piece : pieces) collector.AddPiece(piece.data());
    return collector.NameFor(owner.data());
}

TEST(LongNames, WholeSequencesGiveUtf8AndBrokenOnesTheShortName) {
    const Entry owner = ShortEntry("RSUM20~1TXT");
    const std::vector<Entry> pieces = Pieces(u"R\u00e9sum\u00e9 2024 \U0001F600.txt", owner);
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(NameAfter(pieces, owner), "R\xC3\xA9sum\xC3\xA9 2024 \xF0\x9F\x98\x80.txt");
    EXPECT_EQ(NameAfter(Pieces(u"Thirteen.char", owner), owner), "Thirteen.char");  // no terminator

    EXPECT_EQ(NameAfter({pieces[0]}, owner), "RSUM20~1.TXT");              // piece 1 missing
    EXPECT_EQ(NameAfter({pieces[1], pieces[0]}, owner), "RSUM20~1.TXT");   // out of order
    EXPECT_EQ(NameAfter(pieces, ShortEntry("RSUM20~2TXT")), "RSUM20~2.TXT");  // checksum differs
    Entry foreign = pieces[1];
    foreign[13] ^= 1;
    EXPECT_EQ(NameAfter({pieces[0], foreign}, owner), "RSUM20~1.TXT");
}

TEST(LongNames, ShortNamesShowCaseFlagsAndOemBytes) {
    EXPECT_EQ(DisplayShortName(ShortEntry("README  TXT", 0x08).data()), "readme.TXT");
    EXPECT_EQ(DisplayShortName(ShortEntry("README  TXT", 0x18).data()), "readme.txt");
    EXPECT_EQ(DisplayShortName(ShortEntry("NOEXT      ").data()), "NOEXT");
    EXPECT_EQ(DisplayShortName(ShortEntry("CAF\x90    TXT").data()), "CAF\xC3\x89.TXT");
    const uint16_t lone[] = {'a', 0xD800, 'b'};
    EXPECT_EQ(Utf16ToUtf8(lone, 3), "a\xEF\xBF\xBD" "b");
}

}  // namespace
}  // namespace quillo
