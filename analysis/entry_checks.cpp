#include "analysis/entry_checks.h"

#include <cstring>

#include "common/engine_state.h"
#include "common/little_endian.h"
#include "disk/dir_entry_layout.h"

namespace quillo {
namespace {

constexpr uint8_t kKanjiLeadByte = 0x05;  // a first byte 0xE5, stored so as not to read as erased
constexpr char kDotName[] = ".          ";
constexpr char kDotDotName[] = "..         ";

bool IsFolderNamed(const uint8_t* entry, const char* name) {
    return std::memcmp(entry, name, kNameFieldLength) == 0 && (entry[kAttributesOffset] & kAttrFolder) != 0;
}

}  // namespace

uint32_t ShortEntryCluster(const Geometry& geo, const uint8_t* entry) {
    uint32_t cluster = le16(entry + kClusterLowOffset);
    if (geo.IsFat32) cluster |= static_cast<uint32_t>(le16(entry + kClusterHighOffset)) << 16;
    return cluster;
}

bool IsBadShortName(const uint8_t* entry) {
    if (entry[0] == ' ') return true;
    for (int i = 0; i < kNameFieldLength; ++i) {
        const uint8_t c = entry[i];
        if (i == 0 && c == kKanjiLeadByte) continue;
        if (c < 0x20 || c == 0x7F || std::strchr("*?<>|\"\\/:.", c) != nullptr) return true;
    }
    return false;
}

std::string DotEntriesFault(const Geometry& geo, const uint8_t* firstTwoSlots, uint32_t folderCluster) {
    const uint8_t* dot = firstTwoSlots;
    const uint8_t* dotDot = firstTwoSlots + 32;
    if (!IsFolderNamed(dot, kDotName)) return "No \".\" entry";
    if (ShortEntryCluster(geo, dot) != folderCluster) return "\".\" names another folder";
    if (!IsFolderNamed(dotDot, kDotDotName)) return "No \"..\" entry";
    return "";
}

bool FolderNames::Add(const uint8_t* entry) {
    return names_.emplace(reinterpret_cast<const char*>(entry), kNameFieldLength).second;
}

}  // namespace quillo
