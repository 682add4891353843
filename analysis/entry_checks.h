#pragma once
// What the directory scan demands of the entries of a folder before it trusts
// the volume: short names a FAT file system can hold, once each in a folder,
// and a subfolder that begins with its own "." and ".." entries. An entry that
// fails is damage only a file-system check can mend, so the scan stops there.
#include <cstdint>
#include <string>
#include <unordered_set>

namespace quillo {

struct Geometry;

// The first cluster an entry names: offset 26, plus offset 20 x 65536 on FAT32.
uint32_t ShortEntryCluster(const Geometry& geo, const uint8_t* entry);

// A short name that fsck.fat renames: a control character, one of
// * ? < > | " \ / : or a dot in the 11-byte field, or a blank first character.
// A first byte 0x05 stands for 0xE5 and is a character like any other.
bool IsBadShortName(const uint8_t* entry);

// What is wrong with the first two slots of the subfolder whose first cluster
// is `folderCluster`: "." naming the folder itself, then "..", both folders.
// Empty when both are there. Where ".." points is not judged here.
std::string DotEntriesFault(const Geometry& geo, const uint8_t* firstTwoSlots, uint32_t folderCluster);

// The short names met in one folder, to find a name used twice.
class FolderNames {
public:
    void Clear() { names_.clear(); }
    // False when an entry of this folder already has the same 11-byte name.
    bool Add(const uint8_t* entry);

private:
    std::unordered_set<std::string> names_;
};

}  // namespace quillo
