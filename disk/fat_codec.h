#pragma once
// The one place that knows the three widths of an allocation-table entry.
// In memory every entry is 32 bits with FAT32 meanings: 0 free, 0x0FFFFFF7
// bad, 0x0FFFFFF8 and above end of chain; only the low 28 bits count.
#include <cstdint>

namespace quillo {

constexpr uint32_t kFatMask = 0x0FFFFFFF;
constexpr uint32_t kFatFirstReserved = 0x0FFFFFF0;  // from here up: not a link
constexpr uint32_t kFatBad = 0x0FFFFFF7;
constexpr uint32_t kFatEndOfChain = 0x0FFFFFF8;

// FAT16 word to the 32-bit form: 0xFFF0 and above become 0x0FFFFFF0...
inline uint32_t WidenFat16(uint16_t raw) {
    return raw >= 0xFFF0 ? raw + 0x0FFF0000u : raw;
}

// Entry n of a packed FAT12 table (12 bits at byte n + n/2), widened.
inline uint32_t ReadFat12Entry(const uint8_t* table, uint32_t n) {
    const uint32_t offset = n + n / 2;
    const uint32_t word = table[offset] | (table[offset + 1] << 8);
    const uint32_t value = (n & 1) ? word >> 4 : word & 0xFFF;
    return value >= 0xFF0 ? value + 0x0FFFF000u : value;
}

// Stores the low 12 bits of v as entry n, keeping the neighbour's nibble.
inline void WriteFat12Entry(uint8_t* table, uint32_t n, uint32_t v) {
    const uint32_t offset = n + n / 2;
    if (n & 1) {
        table[offset] = static_cast<uint8_t>((table[offset] & 0x0F) | ((v & 0x0F) << 4));
        table[offset + 1] = static_cast<uint8_t>((v & 0xFFF) >> 4);
    } else {
        table[offset] = static_cast<uint8_t>(v & 0xFF);
        table[offset + 1] =
            static_cast<uint8_t>((table[offset + 1] & 0xF0) | ((v >> 8) & 0x0F));
    }
}

}  // namespace quillo
