#pragma once
// The 32-byte directory entry of a FAT folder: each field's offset and
// width, named once, and the marks its first byte carries.
#include <cstdint>

namespace quillo {

constexpr int kEntrySize = 32;
constexpr int kNameOffset = 0;          // 8 bytes, blank padded
constexpr int kNameLength = 8;
constexpr int kExtensionOffset = 8;     // 3 bytes, blank padded
constexpr int kExtensionLength = 3;
constexpr int kNameFieldLength = 11;    // name and extension together
constexpr int kAttributesOffset = 11;   // 1 byte
constexpr int kCaseFlagsOffset = 12;    // 1 byte
constexpr int kCreateTimeOffset = 14;   // 16 bits, DOS time
constexpr int kCreateDateOffset = 16;   // 16 bits, DOS date
constexpr int kAccessDateOffset = 18;   // 16 bits, DOS date
constexpr int kClusterHighOffset = 20;  // 16 bits, FAT32 only
constexpr int kWriteTimeOffset = 22;    // 16 bits, DOS time
constexpr int kWriteDateOffset = 24;    // 16 bits, DOS date
constexpr int kClusterLowOffset = 26;   // 16 bits
constexpr int kSizeOffset = 28;         // 32 bits

constexpr uint8_t kEndOfFolder = 0x00;  // first byte: this slot and all after it unused
constexpr uint8_t kErasedEntry = 0xE5;  // first byte: an erased entry

}  // namespace quillo
