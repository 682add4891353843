// Runs a whole Check (RunDrive in Check mode with the directory scan) on
// damaged copies of a few small FAT volumes, through a scripted device.
//
// Every run must: write nothing, leave the volume released and the device
// closed, and end either without an error stop (and then with its summary
// and sane figures) or with an error stop that names a known reason.
//
// Base volumes: fat12a/fat12b/fat16.img of the directory compiled in as
// QUILLO_CHECK_FUZZ_IMAGE_DIR (the check_fuzz_images target builds them,
// with a full-size fat32.img), plus a small FAT32 twin of fat12b and of
// fat16; or instead exactly the images named in QUILLO_CHECK_FUZZ_IMAGES
// (separated by ':'). Each base is read once at start to find its
// allocation table, its used clusters and every folder sector, which is
// where the damage goes.
//
// Input: one byte choosing the base volume, then operations until the input
// ends. Each operation is an opcode byte followed by its operands (numbers
// little-endian; an operation cut short by the end of the input is dropped):
//   0 table bytes     u24 offset in the first table, u8 length (1..16), bytes
//   1 table entry     u8 mode, u24 index, u32 value: entry `index` (or the
//                     index-th used cluster) of both tables set to the value,
//                     a near link, a special value or a cluster number
//   2 folder bytes    u16 folder sector, u16 offset, u8 length (1..32), bytes
//   3 entry field     u16 folder sector, u8 slot, u8 field, u32 value
//   4 entry cluster   u16 folder sector, u8 slot, u8 mode, u32 value: the
//                     value, a used cluster, any cluster, a folder's, or near
//   5 copy entry      u16 sector, u8 slot, u16 sector, u8 slot (32 bytes)
//   6 boot bytes      u16 offset, u8 length (1..8), bytes
//   7 device          u8 what, u16 value: queue a lock flag (-1..2) for
//                     the lock climbs, fail read number 1 + value, press
//                     Stop at yield number 1 + value, or make the next one
//                     to three level 2 or 3 locks fail, or unlocks stick
//                     (brief hiccups: they must not change the outcome)
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "common/little_endian.h"
#include "engine/run_driver.h"
#include "tests/support/engine_fixture.h"

namespace {

using namespace quillo;
using Op = ScriptedDevice::Op;

constexpr size_t kSector = 512;
constexpr size_t kEntry = 32;

[[noreturn]] void Fail(const char* why) {
    std::fprintf(stderr, "check_fuzz: %s\n", why);
    __builtin_trap();
}

void Require(bool condition, const char* why) {
    if (!condition) Fail(why);
}

// ---- The base volumes, read with a parser of our own -----------------------

struct Base {
    std::string path;
    std::vector<uint8_t> image;
    int fatBits = 0;
    uint32_t reserved = 0;
    uint32_t sectorsPerFat = 0;
    uint32_t sectorsPerCluster = 0;
    uint32_t firstDataSector = 0;
    uint32_t clusterCount = 0;
    uint32_t rootCluster = 0;             // FAT32 only
    uint32_t fixedRootSectors = 0;        // FAT12/16 only
    size_t rootSectorCount = 0;           // the root's among folderSectors
    std::vector<uint32_t> usedClusters;
    std::vector<uint32_t> folderSectors;  // root folder first, then every subfolder's
    std::vector<uint32_t> folderClusters; // first cluster of every folder with one
    std::vector<std::string> rootFolders; // short names of the root's subfolders

    size_t TableBytes() const { return size_t{sectorsPerFat} * kSector; }
    size_t TableOffset(int copy) const { return (size_t{reserved} + copy * size_t{sectorsPerFat}) * kSector; }
    uint32_t EntryCount() const { return clusterCount + 2; }
    uint32_t EndOfChain() const { return fatBits == 12 ? 0xFFF : fatBits == 16 ? 0xFFFF : 0x0FFFFFFF; }
};

uint32_t GetEntry(const Base& b, const uint8_t* table, uint32_t n) {
    if (b.fatBits == 32) return le32(table + n * 4) & 0x0FFFFFFF;
    if (b.fatBits == 16) return le16(table + n * 2);
    const uint32_t word = le16(table + n + n / 2);
    return (n & 1) ? word >> 4 : word & 0xFFF;
}

void PutEntry(const Base& b, uint8_t* table, uint32_t n, uint32_t v) {
    if (b.fatBits == 32) {
        put_le32(table + n * 4, v);
    } else if (b.fatBits == 16) {
        put_le16(table + n * 2, static_cast<uint16_t>(v));
    } else {
        uint8_t* p = table + n + n / 2;
        const uint16_t word = le16(p);
        const uint16_t value = static_cast<uint16_t>(v & 0xFFF);
        put_le16(p, (n & 1) ? static_cast<uint16_t>((word & 0x000F) | (value << 4))
                            : static_cast<uint16_t>((word & 0xF000) | value));
    }
}

void AddChainSectors(Base& b, uint32_t first, std::set<uint32_t>& seen) {
    const uint8_t* table = b.image.data() + b.TableOffset(0);
    for (uint32_t c = first; c >= 2 && c < b.EntryCount() && seen.insert(c).second;
         c = GetEntry(b, table, c)) {
        for (uint32_t s = 0; s < b.sectorsPerCluster; ++s)
            b.folderSectors.push_back(b.firstDataSector + (c - 2) * b.sectorsPerCluster + s);
    }
}

// Appends the sectors of every folder below the folder whose sectors are
// folderSectors[from, to).
void AddSubfolders(Base& b, size_t from, size_t to, std::set<uint32_t>& seen) {
    for (size_t i = from; i < to; ++i) {
        const uint8_t* sector = b.image.data() + size_t{b.folderSectors[i]} * kSector;
        for (size_t e = 0; e < kSector; e += kEntry) {
            const uint8_t* entry = sector + e;
            if (entry[0] == 0 || entry[0] == 0xE5 || entry[0] == '.') continue;
            if ((entry[11] & 0x3F) == 0x0F || !(entry[11] & 0x10)) continue;
            uint32_t first = le16(entry + 26);
            if (b.fatBits == 32) first |= uint32_t{le16(entry + 20)} << 16;
            const size_t start = b.folderSectors.size();
            if (i < b.rootSectorCount && b.rootFolders.size() < 4) {
                std::string name(reinterpret_cast<const char*>(entry), 8);
                name.erase(name.find_last_not_of(' ') + 1);
                b.rootFolders.push_back(name);
            }
            if (first >= 2) b.folderClusters.push_back(first);
            AddChainSectors(b, first, seen);
            AddSubfolders(b, start, b.folderSectors.size(), seen);
        }
    }
}

// The geometry fields of b from the boot sector of `image`.
bool ParseGeometry(const std::vector<uint8_t>& image, Base& b) {
    if (image.size() < kSector || image.size() % kSector != 0) return false;
    const uint8_t* boot = image.data();
    b.sectorsPerCluster = boot[13];
    b.reserved = le16(boot + 14);
    const uint32_t rootEntries = le16(boot + 17);
    const uint32_t total16 = le16(boot + 19);
    const uint32_t totalSectors = total16 ? total16 : le32(boot + 32);
    const uint32_t fat16Size = le16(boot + 22);
    b.sectorsPerFat = fat16Size ? fat16Size : le32(boot + 36);
    const uint32_t rootSectors = rootEntries * kEntry / kSector;
    const uint32_t tablesEnd = b.reserved + 2 * b.sectorsPerFat;
    b.firstDataSector = tablesEnd + rootSectors;
    if (b.sectorsPerCluster == 0 || totalSectors > image.size() / kSector || b.firstDataSector >= totalSectors)
        return false;
    b.clusterCount = (totalSectors - b.firstDataSector) / b.sectorsPerCluster;
    b.fatBits = fat16Size == 0 ? 32 : b.clusterCount < 4085 ? 12 : 16;
    b.fixedRootSectors = rootSectors;
    if (b.fatBits == 32) b.rootCluster = le32(boot + 44);
    return b.TableOffset(2) <= image.size();
}

// Finds the geometry, the used clusters and the folder sectors of b.image.
bool ParseBase(Base& b) {
    if (!ParseGeometry(b.image, b)) return false;
    const uint32_t tablesEnd = b.reserved + 2 * b.sectorsPerFat;
    const uint8_t* table = b.image.data() + b.TableOffset(0);
    for (uint32_t c = 2; c < b.EntryCount(); ++c)
        if (GetEntry(b, table, c) != 0) b.usedClusters.push_back(c);

    std::set<uint32_t> seen;
    if (b.fatBits == 32) {
        b.folderClusters.push_back(b.rootCluster);
        AddChainSectors(b, b.rootCluster, seen);
    } else {
        for (uint32_t s = 0; s < b.fixedRootSectors; ++s) b.folderSectors.push_back(tablesEnd + s);
    }
    b.rootSectorCount = b.folderSectors.size();
    AddSubfolders(b, 0, b.folderSectors.size(), seen);
    return !b.folderSectors.empty() && !b.usedClusters.empty() && !b.folderClusters.empty();
}

bool LoadBase(const std::string& path, Base& b) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    std::fseek(file, 0, SEEK_END);
    b.image.resize(static_cast<size_t>(std::max(0L, std::ftell(file))));
    std::fseek(file, 0, SEEK_SET);
    const bool read = std::fread(b.image.data(), 1, b.image.size(), file) == b.image.size();
    std::fclose(file);
    b.path = path;
    return read && ParseBase(b);
}

// The same files and folders, cluster for cluster, on a FAT32 volume: the
// tools only make FAT32 from 65525 clusters up (33 MB and more, slow to copy
// for every input), but the engine takes the type from the boot sector, so
// a small FAT32 volume reaches every FAT32 path as well. The fixed root
// folder becomes a chain after the last cluster.
Base DeriveFat32(const Base& src) {
    const uint32_t spc = src.sectorsPerCluster;
    const uint32_t oldRoot = src.reserved + 2 * src.sectorsPerFat;
    const uint32_t rootSectors = src.firstDataSector - oldRoot;
    const uint32_t rootClusters = std::max<uint32_t>(1, (rootSectors + spc - 1) / spc);
    const uint32_t clusters = src.clusterCount + rootClusters;
    const uint32_t fatSectors = ((clusters + 2) * 4 + kSector - 1) / kSector;
    const uint32_t reserved = 32;
    const uint32_t dataStart = reserved + 2 * fatSectors;
    const uint32_t total = dataStart + clusters * spc;
    const uint32_t rootCluster = src.clusterCount + 2;

    Base b;
    b.path = src.path + " as FAT32";
    b.image.assign(size_t{total} * kSector, 0);
    uint8_t* boot = b.image.data();
    const uint8_t* oldBoot = src.image.data();
    std::memcpy(boot, oldBoot, 36);
    put_le16(boot + 14, static_cast<uint16_t>(reserved));
    put_le16(boot + 17, 0);
    put_le16(boot + 19, 0);
    put_le16(boot + 22, 0);
    put_le32(boot + 32, total);
    put_le32(boot + 36, fatSectors);
    put_le32(boot + 44, rootCluster);
    put_le16(boot + 48, 1);  // FSInfo
    put_le16(boot + 50, 6);  // backup boot sector
    boot[64] = 0x80;
    boot[66] = 0x29;
    std::memcpy(boot + 67, oldBoot + 39, 4);   // volume id
    std::memcpy(boot + 71, oldBoot + 43, 11);  // label
    std::memcpy(boot + 82, "FAT32   ", 8);
    boot[510] = 0x55;
    boot[511] = 0xAA;
    uint8_t* fsInfo = boot + kSector;
    put_le32(fsInfo, 0x41615252);
    put_le32(fsInfo + 484, 0x61417272);
    put_le32(fsInfo + 488, 0xFFFFFFFF);
    put_le32(fsInfo + 492, 0xFFFFFFFF);
    put_le32(fsInfo + 508, 0xAA550000);
    std::memcpy(boot + 6 * kSector, boot, kSector);

    std::vector<uint8_t> table(size_t{fatSectors} * kSector, 0);
    const uint8_t* oldTable = src.image.data() + src.TableOffset(0);
    const uint32_t oldEnd = src.EndOfChain();
    for (uint32_t n = 2; n < src.EntryCount(); ++n) {
        const uint32_t v = GetEntry(src, oldTable, n);
        put_le32(&table[n * 4], v >= oldEnd - 15 ? 0x0FFFFFFF - (oldEnd - v) : v);
    }
    put_le32(&table[0], 0x0FFFFF00 | oldBoot[21]);
    put_le32(&table[4], 0x0FFFFFFF);
    for (uint32_t k = 0; k < rootClusters; ++k)
        put_le32(&table[(rootCluster + k) * 4], k + 1 < rootClusters ? rootCluster + k + 1 : 0x0FFFFFFF);
    std::memcpy(boot + size_t{reserved} * kSector, table.data(), table.size());
    std::memcpy(boot + size_t{reserved + fatSectors} * kSector, table.data(), table.size());

    std::memcpy(boot + size_t{dataStart} * kSector, src.image.data() + size_t{src.firstDataSector} * kSector,
                size_t{src.clusterCount} * spc * kSector);
    std::memcpy(boot + (size_t{dataStart} + size_t{src.clusterCount} * spc) * kSector,
                src.image.data() + size_t{oldRoot} * kSector, size_t{rootSectors} * kSector);
    if (!ParseBase(b)) Fail("the derived FAT32 volume does not parse");
    return b;
}

std::vector<Base>& Bases() {
    static std::vector<Base> bases;
    return bases;
}

// ---- Reading the input ------------------------------------------------------

class Input {
public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool Empty() const { return at_ >= size_; }
    bool Has(size_t n) const { return size_ - at_ >= n; }
    uint32_t Take(size_t bytes) {  // little-endian, 0 past the end
        uint32_t v = 0;
        for (size_t i = 0; i < bytes; ++i)
            if (at_ < size_) v |= uint32_t{data_[at_++]} << (8 * i);
        return v;
    }
    const uint8_t* Bytes(size_t n) {
        const uint8_t* p = data_ + at_;
        at_ += n;
        return p;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

struct Faults {
    std::vector<uint64_t> failingReads;
    std::vector<int> lockFlags;
    long stopAtYield = -1;
    int failingLocks[4] = {};
    int stuckUnlocks[4] = {};
};

uint8_t* EntryAt(const Base& b, std::vector<uint8_t>& image, uint32_t sectorPick, uint32_t slotPick) {
    const uint32_t sector = b.folderSectors[sectorPick % b.folderSectors.size()];
    return image.data() + size_t{sector} * kSector + (slotPick % (kSector / kEntry)) * kEntry;
}

uint32_t FolderCluster(const Base& b, uint32_t pick) {
    return b.folderClusters[pick % b.folderClusters.size()];
}

uint32_t SpecialValue(const Base& b, uint32_t pick) {
    const uint32_t eoc = b.EndOfChain();
    const uint32_t values[] = {0, eoc, eoc - 7 /* first end mark */, eoc - 8 /* bad */,
                               eoc - 15 /* reserved */, 1, b.clusterCount + 1, b.clusterCount + 2,
                               0xFFFFFFFF, 0xF0000000u | eoc, b.folderClusters[0] /* the root or the first folder */,
                               FolderCluster(b, pick >> 8)};
    return values[pick % std::size(values)];
}

void ApplyOperation(const Base& b, std::vector<uint8_t>& image, Input& in, Faults& faults) {
    const uint8_t op = static_cast<uint8_t>(in.Take(1));
    switch (op % 8) {
    case 0: {  // table bytes
        if (!in.Has(4)) return;
        const size_t offset = in.Take(3) % b.TableBytes();
        const size_t length = std::min<size_t>(1 + in.Take(1) % 16, b.TableBytes() - offset);
        if (!in.Has(length)) return;
        std::memcpy(image.data() + b.TableOffset(0) + offset, in.Bytes(length), length);
        break;
    }
    case 1: {  // table entry
        if (!in.Has(8)) return;
        const uint8_t mode = static_cast<uint8_t>(in.Take(1));
        const uint32_t index = in.Take(3);
        const uint32_t value = in.Take(4);
        const uint32_t n = (mode & 0x10) ? b.usedClusters[index % b.usedClusters.size()]
                                         : index % b.EntryCount();
        uint32_t v = value;
        switch (mode & 3) {
        case 0: break;                                                      // as given
        case 1: v = n + static_cast<uint32_t>(static_cast<int8_t>(value)); break;  // near link
        case 2: v = SpecialValue(b, value); break;
        case 3: v = value % (b.clusterCount + 4); break;                    // any cluster
        }
        PutEntry(b, image.data() + b.TableOffset(0), n, v);
        if (!(mode & 0x20)) PutEntry(b, image.data() + b.TableOffset(1), n, v);
        break;
    }
    case 2: {  // folder bytes
        if (!in.Has(5)) return;
        const uint32_t sector = b.folderSectors[in.Take(2) % b.folderSectors.size()];
        const size_t offset = in.Take(2) % kSector;
        const size_t length = std::min<size_t>(1 + in.Take(1) % 32, kSector - offset);
        if (!in.Has(length)) return;
        std::memcpy(image.data() + size_t{sector} * kSector + offset, in.Bytes(length), length);
        break;
    }
    case 3: {  // entry field
        if (!in.Has(8)) return;
        const uint32_t sectorPick = in.Take(2);
        uint8_t* entry = EntryAt(b, image, sectorPick, in.Take(1));
        const uint8_t field = static_cast<uint8_t>(in.Take(1));
        const uint32_t value = in.Take(4);
        switch (field % 8) {
        case 0: entry[0] = static_cast<uint8_t>(value); break;               // first name byte
        case 1: entry[11] = static_cast<uint8_t>(value); break;              // attributes
        case 2: put_le32(entry + 28, value); break;                          // size
        case 3: entry[0] = (value & 1) ? 0xE5 : 0; break;                    // erased, end
        case 4: entry[11] = static_cast<uint8_t>(entry[11] ^ 0x10); break;   // folder <-> file
        case 5: entry[13] = static_cast<uint8_t>(value); break;              // long name checksum
        case 6: entry[12] = static_cast<uint8_t>(value); break;              // case flags
        case 7: put_le16(entry + 24, static_cast<uint16_t>(value)); break;   // date
        }
        break;
    }
    case 4: {  // entry cluster
        if (!in.Has(8)) return;
        const uint32_t sectorPick = in.Take(2);
        uint8_t* entry = EntryAt(b, image, sectorPick, in.Take(1));
        const uint8_t mode = static_cast<uint8_t>(in.Take(1));
        const uint32_t value = in.Take(4);
        uint32_t c = value;
        switch (mode % 5) {
        case 0: break;
        case 1: c = b.usedClusters[value % b.usedClusters.size()]; break;
        case 2: c = value % (b.clusterCount + 4); break;
        case 4: c = FolderCluster(b, value); break;
        case 3: c = (uint32_t{le16(entry + 20)} << 16 | le16(entry + 26)) +
                    static_cast<uint32_t>(static_cast<int8_t>(value)); break;
        }
        put_le16(entry + 26, static_cast<uint16_t>(c));
        put_le16(entry + 20, static_cast<uint16_t>(c >> 16));
        break;
    }
    case 5: {  // copy entry
        if (!in.Has(6)) return;
        const uint32_t fromSector = in.Take(2);
        const uint8_t* from = EntryAt(b, image, fromSector, in.Take(1));
        const uint32_t toSector = in.Take(2);
        uint8_t* to = EntryAt(b, image, toSector, in.Take(1));
        std::memmove(to, from, kEntry);
        break;
    }
    case 6: {  // boot bytes
        if (!in.Has(3)) return;
        const size_t offset = in.Take(2) % kSector;
        const size_t length = std::min<size_t>(1 + in.Take(1) % 8, kSector - offset);
        if (!in.Has(length)) return;
        std::memcpy(image.data() + offset, in.Bytes(length), length);
        break;
    }
    case 7: {  // device
        if (!in.Has(3)) return;
        const uint8_t what = static_cast<uint8_t>(in.Take(1));
        const uint32_t value = in.Take(2);
        const int level = 2 + (value & 1);
        const int times = 1 + static_cast<int>(value >> 1) % 3;
        switch (what % 5) {
        case 0:
            if (faults.lockFlags.size() < 8) faults.lockFlags.push_back(static_cast<int>(value % 4) - 1);
            break;
        case 1: faults.failingReads.push_back(1 + uint64_t{value}); break;
        case 2: faults.stopAtYield = 1 + long{value}; break;
        case 3: faults.failingLocks[level] = times; break;
        case 4: faults.stuckUnlocks[level] = times; break;
        }
        break;
    }
    }
}

// ---- What every run must leave behind ------------------------------------------

bool LogHas(const testing::RecordingView& view, const std::string& text) {
    for (const std::string& line : view.log)
        if (line.find(text) != std::string::npos) return true;
    return false;
}

bool KnownStopReason(const RunState& run, const testing::RecordingView& view) {
    static const char* const kReasons[] = {
        "Bad cluster #", "Bad Cluster #", "Crosslinked files", "FAT error", "Missing chains",
        "Fragments > 32000", "Error writing drive", "Disk error or incompatible disk",
        "Folder tree too deep"};
    if (run.InternalError || run.OutOfMemory) return true;
    for (const char* reason : kReasons) {
        if (run.ErrorMessage == reason) return true;
        // The volume opening reports its refusal as a log line only.
        if (run.ErrorMessage.empty() && LogHas(view, reason)) return true;
    }
    return false;
}

// What a clean Check must have counted, recounted from the volume as the
// damage left it: the tree walked in the engine's order (a zero first byte
// ends a folder; erased, dot, label and long-name entries are no records),
// and the chain heads and free runs of the table.
struct Recount {
    int64_t files = 0, folders = 0, empty = 0, erased = 0, chains = 0, gaps = 0;
};

class Recounter {
public:
    explicit Recounter(const std::vector<uint8_t>& image) : image_(image) {}

    bool Run(Recount& r) {
        if (!ParseGeometry(image_, b_)) return false;
        table_ = image_.data() + b_.TableOffset(0);
        CountTable(r);
        if (b_.fatBits == 32) {
            ++r.folders;  // the root
            Folder(b_.rootCluster, r, 0);
        } else {
            Folder(0, r, 0);
        }
        return true;
    }

private:
    uint32_t Entry(uint32_t n) const { return GetEntry(b_, table_, n); }
    uint32_t ReservedFirst() const { return b_.EndOfChain() - 15; }

    void CountTable(Recount& r) const {
        const uint32_t last = b_.clusterCount + 1;
        std::vector<uint8_t> successor(size_t{last} + 1, 0);
        for (uint32_t c = 2; c <= last; ++c) {
            const uint32_t v = Entry(c);
            if (v >= 2 && v <= last) successor[v] = 1;
        }
        bool inGap = false;
        for (uint32_t c = 2; c <= last; ++c) {
            const uint32_t v = Entry(c);
            if (v == 0 && !inGap) ++r.gaps;
            inGap = v == 0;
            const bool badOrReserved = v >= ReservedFirst() && v < b_.EndOfChain() - 7;
            if (v != 0 && !successor[c] && !badOrReserved) ++r.chains;
        }
    }

    void Folder(uint32_t first, Recount& r, int depth) {
        std::vector<uint32_t> sectors;
        if (first == 0) {
            const uint32_t root = b_.reserved + 2 * b_.sectorsPerFat;
            for (uint32_t s = 0; s < b_.fixedRootSectors; ++s) sectors.push_back(root + s);
        } else {
            uint32_t c = first;
            for (uint32_t steps = 0; c >= 2 && c <= b_.clusterCount + 1 && steps <= b_.clusterCount; ++steps) {
                for (uint32_t s = 0; s < b_.sectorsPerCluster; ++s)
                    sectors.push_back(b_.firstDataSector + (c - 2) * b_.sectorsPerCluster + s);
                c = Entry(c);
            }
        }
        std::vector<uint32_t> subfolders;
        for (uint32_t sector : sectors) {
            if ((size_t{sector} + 1) * kSector > image_.size()) break;
            const uint8_t* data = image_.data() + size_t{sector} * kSector;
            for (size_t e = 0; e < kSector; e += kEntry) {
                const uint8_t* entry = data + e;
                if (entry[0] == 0) goto done;
                if (entry[0] == 0xE5) { ++r.erased; continue; }
                if (entry[0] == '.' || (entry[11] & 0x08)) continue;
                uint32_t cluster = le16(entry + 26);
                if (b_.fatBits == 32) cluster |= uint32_t{le16(entry + 20)} << 16;
                if (cluster == 0) ++r.empty;
                if (entry[11] & 0x10) {
                    ++r.folders;
                    if (cluster != 0) subfolders.push_back(cluster);
                } else {
                    ++r.files;
                }
            }
        }
    done:
        if (depth < 1000)
            for (uint32_t sub : subfolders) Folder(sub, r, depth + 1);
    }

    const std::vector<uint8_t>& image_;
    Base b_;
    const uint8_t* table_ = nullptr;
};

void RequireSame(int64_t engine, int64_t recounted, const char* what) {
    if (engine == recounted) return;
    std::fprintf(stderr, "check_fuzz: %s: the Check counted %lld, the volume holds %lld\n", what,
                 static_cast<long long>(engine), static_cast<long long>(recounted));
    Fail("a clean Check miscounted the volume");
}

void CheckOutcome(testing::ScriptedDrive& drive) {
    const RunState& run = drive.ctx.run;
    const ScriptedDevice& device = drive.device;
    Require(device.CountOf(Op::Write) == 0, "a Check wrote to the volume");
    Require(!device.IsOpen(), "the run left the device open");
    Require(device.HeldLevel() == -1, "the run left a lock held");
    Require(drive.ctx.dev.DeviceHandle == nullptr, "the run kept a device handle");
    Require(!run.DriveBusy, "an honest device was reported busy");

    bool readFailed = false;
    for (const ScriptedDevice::Request& r : device.Requests())
        readFailed |= r.op == Op::Read && r.result == 0;

    if (run.ErrorStop != 0) {
        if (!KnownStopReason(run, drive.view)) {
            std::fprintf(stderr, "check_fuzz: ErrorMessage \"%s\"\n", run.ErrorMessage.c_str());
            for (const std::string& line : drive.view.log) std::fprintf(stderr, "  log: %s\n", line.c_str());
            Fail("error stop without a known reason");
        }
        if (run.ErrorMessage == "Error writing drive") Require(readFailed, "a disk error without a failed read");
        return;
    }
    if (run.UserAbort) {
        Require(!drive.view.log.empty() && drive.view.log.back() == "(User stop)",
                "a user stop without its stop line");
        return;
    }
    const bool summary = LogHas(drive.view, "Files = ");
    // Without a failed read (a boot sector that cannot be read ends the run
    // quietly), a run without an error stop is a finished Check.
    if (!readFailed) Require(summary, "no error stop, yet no summary");
    if (!summary) return;
    Require(!readFailed, "a failed read ended in a clean summary");
    const ChainState& chains = drive.ctx.chains;
    const ScanState& scan = drive.ctx.scan;
    const int64_t total = drive.ctx.geo.TotalClusters;
    Require(chains.AllocatedClusters >= 0 && chains.AllocatedClusters <= total, "allocated outside the volume");
    Require(chains.OwnedClusters >= 0 && chains.OwnedClusters <= chains.AllocatedClusters,
            "more clusters owned than allocated");
    Require(chains.FragmentedFiles >= 0 && chains.FragmentedFiles <= chains.ChainCount,
            "more fragmented files than chains");
    Require(scan.FileCount >= 0 && scan.FolderCount >= 0 && scan.EmptyFiles >= 0, "negative counts");
    Require(int64_t{scan.FileCount} + scan.FolderCount - scan.EmptyFiles <= chains.ChainCount,
            "more owners than chains without Missing chains");
    Require(chains.GapCount >= 0 && chains.GapCount <= total / 2 + 1, "more gaps than the volume holds");
    // Each listed file or folder owns a fragmented chain of its own (after a
    // restart too: the abandoned pass's lines must not stay).
    Require(drive.ctx.lists.Fragmented.size() <= static_cast<size_t>(chains.FragmentedFiles),
            "more fragmented files listed than counted");

    Recount r;
    Require(Recounter(device.Image()).Run(r), "a clean Check of a volume without geometry");
    RequireSame(scan.FileCount, r.files, "files");
    RequireSame(scan.FolderCount, r.folders, "folders");
    RequireSame(scan.EmptyFiles, r.empty, "entries without clusters");
    RequireSame(scan.ErasedEntries, r.erased, "erased entries");
    RequireSame(chains.ChainCount, r.chains, "chains");
    RequireSame(chains.GapCount, r.gaps, "gaps");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::vector<std::string> paths;
    const char* list = std::getenv("QUILLO_CHECK_FUZZ_IMAGES");
    if (list != nullptr) {
        const std::string all = list;
        for (size_t from = 0; from <= all.size();) {
            const size_t colon = std::min(all.find(':', from), all.size());
            if (colon > from) paths.push_back(all.substr(from, colon - from));
            from = colon + 1;
        }
    } else {
        for (const char* name : {"fat12a.img", "fat12b.img", "fat16.img"})
            paths.push_back(std::string(QUILLO_CHECK_FUZZ_IMAGE_DIR) + "/" + name);
    }
    for (const std::string& path : paths) {
        Base b;
        if (!LoadBase(path, b)) {
            std::fprintf(stderr, "check_fuzz: cannot use base volume %s\n", path.c_str());
            std::exit(1);
        }
        Bases().push_back(std::move(b));
    }
    // Small FAT32 twins of the FAT12/16 bases (not of the listed ones).
    if (list == nullptr) {
        const size_t loaded = Bases().size();
        for (size_t i = 1; i < loaded; ++i) Bases().push_back(DeriveFat32(Bases()[i]));
    }
    for (const Base& b : Bases())
        std::fprintf(stderr, "check_fuzz: %s: FAT%d, %u clusters, %zu used, %zu folder sectors\n",
                     b.path.c_str(), b.fatBits, b.clusterCount, b.usedClusters.size(),
                     b.folderSectors.size());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    Input in(data, size);
    const Base& base = Bases()[in.Take(1) % Bases().size()];
    std::vector<uint8_t> image = base.image;
    Faults faults;
    while (!in.Empty()) ApplyOperation(base, image, in, faults);

    testing::ScriptedDrive drive(std::move(image));
    drive.ctx.run.RunMode = -1;
    drive.ctx.run.ScanFiles = true;
    drive.ctx.run.DriveMenuIndex = 1;
    // Housekeeping folders, so that the scan's classification has some to find.
    const std::vector<std::string>& named = base.rootFolders;
    std::string* const housekeeping[] = {&drive.ctx.scan.TempFolder, &drive.ctx.scan.CookiesFolder,
                                         &drive.ctx.scan.DownloadedProgramsFolder,
                                         &drive.ctx.scan.InternetCacheFolder};
    for (size_t i = 0; i < named.size() && i < std::size(housekeeping); ++i)
        *housekeeping[i] = "C:\\" + named[i] + (i == 0 ? "" : "\\");
    if (!named.empty()) drive.ctx.scan.TempPath = "C:\\" + named[0] + "\\";
    for (uint64_t n : faults.failingReads) drive.device.FailRead(n);
    drive.device.QueueLockFlags(faults.lockFlags);
    if (faults.stopAtYield > 0) drive.view.StopAtYield(faults.stopAtYield, &drive.ctx.run);
    for (int level = 2; level <= 3; ++level) {
        if (faults.failingLocks[level] != 0) drive.device.FailLocks(level, faults.failingLocks[level]);
        if (faults.stuckUnlocks[level] != 0) drive.device.IgnoreUnlocks(level, faults.stuckUnlocks[level]);
    }
    RunDrive(drive.ctx);
    static const bool verbose = std::getenv("QUILLO_CHECK_FUZZ_VERBOSE") != nullptr;
    if (verbose)
        for (const std::string& line : drive.view.log) std::fprintf(stderr, "log: %s\n", line.c_str());
    if (verbose)
        std::fprintf(stderr, "outcome: error stop %d, \"%s\", %zu listed fragmented, %d opens\n",
                     drive.ctx.run.ErrorStop, drive.ctx.run.ErrorMessage.c_str(),
                     drive.ctx.lists.Fragmented.size(), drive.device.CountOf(Op::Open));
    CheckOutcome(drive);
    return 0;
}
