#pragma once
// Helpers for tests that build FAT images with mkfs.fat, mtools and the test
// tools, and check them with fatinspect.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillo::test {

// ---- commands and files

// Runs `command` through /bin/sh; stdout and stderr go to `output` when given.
// Returns the exit status, or -1 when the command could not run or was killed.
int RunCommand(const std::string& command, std::string* output = nullptr);
// `text` quoted for the shell.
std::string ShellQuote(const std::string& text);
// mkfs.fat, the mtools (mcopy, mdir) and python3 (for the test tools) are present.
bool HaveFatTools();

// A fresh directory under the test temporary directory, removed with its
// contents when the object goes away.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

std::vector<uint8_t> ReadFileBytes(const std::string& path);
// The whole file as text ("" when it cannot be read); a file made of `text`.
std::string ReadFileText(const std::string& path);
void WriteFileText(const std::string& path, const std::string& text);
// Writes `bytes` at `offset`, creating the file when needed and keeping the rest.
bool WriteFileBytes(const std::string& path, uint64_t offset, const std::vector<uint8_t>& bytes);
// Makes the file exactly `bytes` long (sparse).
bool SetFileSize(const std::string& path, uint64_t bytes);

// ---- building images

// `mkfs.fat -C <path> <sizeKiB>` with `mkfsArgs` (e.g. "-F 12 -f 2 -n LABEL").
// Deterministic: "--invariant" is always passed. False with `error` on failure.
bool MakeFatImage(const std::string& path, uint64_t sizeKiB, const std::string& mkfsArgs,
                  std::string* error = nullptr);
// Runs tests/tools/mkfragimg `path` `args`.
bool MakeFragImage(const std::string& path, const std::string& args, std::string* error = nullptr);

// Fills the 16-byte partition entry `slot` (0..3) of an MBR or EBR sector.
void PutPartitionEntry(uint8_t* sector, int slot, uint8_t type, uint32_t firstLba, uint32_t sectors);
// Sets the 0x55AA signature of a sector.
void PutSignature(uint8_t* sector);

// A boot sector as mkfs.fat lays it out, for hand-made cases: FAT12/16 when
// fatBits is 12 or 16, else FAT32 (root at cluster 2). Fields can be changed
// afterwards through the little-endian helpers.
struct BootSectorSpec {
    int fatBits = 16;
    uint32_t totalSectors = 32768;
    uint32_t sectorsPerCluster = 4;
    uint32_t reservedSectors = 4;
    uint32_t sectorsPerFat = 32;
    uint32_t rootEntries = 512;  // ignored for FAT32
    std::string label = "NO NAME";
};
std::vector<uint8_t> MakeBootSector(const BootSectorSpec& spec);
// A bare volume image of `spec.totalSectors` sectors holding only its boot sector.
bool MakeBootImage(const std::string& path, const BootSectorSpec& spec);

// ---- fatinspect

// `fatinspect <image> <args> --json`; the JSON text, or "" when it exits with 2.
std::string FatinspectJson(const std::string& image, const std::string& args = "");
// A member of the top-level JSON object as text: strings unquoted, other values
// as written ("null", "12", "[...]", "{...}"). Nullopt when absent.
std::optional<std::string> JsonField(const std::string& json, const std::string& key);
// A numeric member; nullopt when absent or not a number.
std::optional<int64_t> JsonNumber(const std::string& json, const std::string& key);
// Element `index` of a JSON array given as text, as text (see JsonField).
std::optional<std::string> JsonArrayItem(const std::string& arrayJson, size_t index);

}  // namespace quillo::test
