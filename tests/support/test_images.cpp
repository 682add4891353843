#include "tests/support/test_images.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "common/little_endian.h"

namespace quillo::test {

// ---- commands and files

int RunCommand(const std::string& command, std::string* output) {
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return -1;
    std::string text;
    std::array<char, 4096> buffer;
    size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) text.append(buffer.data(), n);
    const int status = ::pclose(pipe);
    if (output) *output = std::move(text);
    if (status == -1 || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

std::string ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

bool HaveFatTools() {
    for (const char* program : {"mkfs.fat", "mcopy", "mdir", "python3"})
        if (RunCommand(std::string("PATH=\"$PATH:/sbin:/usr/sbin\" command -v ") + program) != 0) return false;
    return true;
}

TempDir::TempDir() {
    std::string pattern = ::testing::TempDir() + "quillo-test-XXXXXX";
    if (::mkdtemp(pattern.data())) path_ = pattern;
}

TempDir::~TempDir() {
    if (path_.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string ReadFileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

bool WriteFileBytes(const std::string& path, uint64_t offset, const std::vector<uint8_t>& bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const ssize_t n = ::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset));
    ::close(fd);
    return n == static_cast<ssize_t>(bytes.size());
}

bool SetFileSize(const std::string& path, uint64_t bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool ok = ::ftruncate(fd, static_cast<off_t>(bytes)) == 0;
    ::close(fd);
    return ok;
}

// ---- building images

namespace {

std::string ToolPath(const std::string& tool) { return std::string(QUILLO_TOOLS_DIR) + "/" + tool; }

bool RunOrExplain(const std::string& command, std::string* error) {
    std::string output;
    // mkfs.fat lives in /usr/sbin, which a normal user's PATH may lack.
    const int status = RunCommand("PATH=\"$PATH:/sbin:/usr/sbin\" LC_ALL=C " + command, &output);
    if (status == 0) return true;
    if (error) *error = command + " failed (" + std::to_string(status) + "): " + output;
    return false;
}

}  // namespace

bool MakeFatImage(const std::string& path, uint64_t sizeKiB, const std::string& mkfsArgs,
                  std::string* error) {
    std::remove(path.c_str());
    return RunOrExplain("mkfs.fat --invariant -S 512 -C " + mkfsArgs + " " + ShellQuote(path) + " " +
                            std::to_string(sizeKiB),
                        error);
}

bool MakeFragImage(const std::string& path, const std::string& args, std::string* error) {
    return RunOrExplain("python3 " + ShellQuote(ToolPath("mkfragimg")) + " " + ShellQuote(path) +
                            " " + args,
                        error);
}

void PutPartitionEntry(uint8_t* sector, int slot, uint8_t type, uint32_t firstLba, uint32_t sectors) {
    uint8_t* e = sector + 446 + 16 * slot;
    std::fill(e, e + 16, 0);
    e[4] = type;
    put_le32(e + 8, firstLba);
    put_le32(e + 12, sectors);
}

void PutSignature(uint8_t* sector) {
    sector[510] = 0x55;
    sector[511] = 0xAA;
}

std::vector<uint8_t> MakeBootSector(const BootSectorSpec& spec) {
    std::vector<uint8_t> s(512, 0);
    const bool fat32 = spec.fatBits == 32;
    s[0] = 0xEB;
    s[1] = fat32 ? 0x58 : 0x3C;
    s[2] = 0x90;
    std::copy_n("mkfs.fat", 8, s.begin() + 3);
    put_le16(&s[11], 512);
    s[13] = static_cast<uint8_t>(spec.sectorsPerCluster);
    put_le16(&s[14], static_cast<uint16_t>(spec.reservedSectors));
    s[16] = 2;
    put_le16(&s[17], fat32 ? 0 : static_cast<uint16_t>(spec.rootEntries));
    if (!fat32 && spec.totalSectors < 65536)
        put_le16(&s[19], static_cast<uint16_t>(spec.totalSectors));
    else
        put_le32(&s[32], spec.totalSectors);
    s[21] = 0xF8;
    put_le16(&s[24], 32);  // sectors per track
    put_le16(&s[26], 64);  // heads
    std::string label = (spec.label + "           ").substr(0, 11);
    if (fat32) {
        put_le32(&s[36], spec.sectorsPerFat);
        put_le32(&s[44], 2);  // root cluster
        put_le16(&s[48], 1);  // FSInfo sector
        put_le16(&s[50], 6);  // backup boot sector
        s[64] = 0x80;
        s[66] = 0x29;
        std::copy(label.begin(), label.end(), s.begin() + 71);
        std::copy_n("FAT32   ", 8, s.begin() + 82);
    } else {
        put_le16(&s[22], static_cast<uint16_t>(spec.sectorsPerFat));
        s[36] = 0x80;
        s[38] = 0x29;
        std::copy(label.begin(), label.end(), s.begin() + 43);
        std::copy_n(spec.fatBits == 12 ? "FAT12   " : "FAT16   ", 8, s.begin() + 54);
    }
    PutSignature(s.data());
    return s;
}

bool MakeBootImage(const std::string& path, const BootSectorSpec& spec) {
    std::remove(path.c_str());
    return SetFileSize(path, uint64_t{spec.totalSectors} * 512) && WriteFileBytes(path, 0, MakeBootSector(spec));
}

// ---- fatinspect and JSON

std::string FatinspectJson(const std::string& image, const std::string& args) {
    std::string output;
    const std::string cmd = "python3 " + ShellQuote(ToolPath("fatcheck")) + " " +
                            ShellQuote(image) + " " + args + " --json 2>/dev/null";
    const int status = RunCommand(cmd, &output);
    return status == 0 || status == 1 ? output : "";
}

namespace {

// A minimal reader for the JSON that fatinspect prints: enough to pick members
// and array elements out as text.
class JsonCursor {
public:
    explicit JsonCursor(const std::string& text) : t_(text) {}

    bool Take(char c) {
        while (i_ < t_.size() && std::isspace(static_cast<unsigned char>(t_[i_]))) ++i_;
        if (i_ >= t_.size() || t_[i_] != c) return false;
        ++i_;
        return true;
    }
    // A string at the cursor, unescaped; \uXXXX from 0x80 up stays escaped.
    std::optional<std::string> String() {
        if (!Take('"')) return std::nullopt;
        std::string out;
        while (i_ < t_.size()) {
            char c = t_[i_++];
            if (c == '"') return out;
            if (c == '\\' && i_ < t_.size()) {
                c = t_[i_++];
                if (c == 'n') c = '\n';
                if (c == 't') c = '\t';
                if (c == 'u') {
                    const long code = std::strtol(t_.substr(i_, 4).c_str(), nullptr, 16);
                    if (code >= 0x80) {
                        out += "\\u";
                        continue;
                    }
                    c = static_cast<char>(code);
                    i_ += 4;
                }
            }
            out += c;
        }
        return std::nullopt;
    }
    // One value: a string unquoted, anything else as written.
    std::optional<std::string> Value() {
        if (Take('"')) {
            --i_;
            return String();
        }
        const size_t start = i_;
        for (int depth = 0; i_ < t_.size();) {
            const char c = t_[i_];
            if (c == '"') {
                String();
                continue;
            }
            if (depth == 0 && (c == ',' || c == '}' || c == ']')) break;
            depth += (c == '{' || c == '[') - (c == '}' || c == ']');
            ++i_;
        }
        if (i_ == start) return std::nullopt;
        std::string v = t_.substr(start, i_ - start);
        while (std::isspace(static_cast<unsigned char>(v.back()))) v.pop_back();
        return v;
    }

private:
    const std::string& t_;
    size_t i_ = 0;
};

}  // namespace

std::optional<std::string> JsonField(const std::string& json, const std::string& key) {
    JsonCursor c(json);
    if (!c.Take('{')) return std::nullopt;
    if (c.Take('}')) return std::nullopt;
    do {
        std::optional<std::string> name = c.String();
        if (!name || !c.Take(':')) return std::nullopt;
        std::optional<std::string> value = c.Value();
        if (!value) return std::nullopt;
        if (*name == key) return value;
    } while (c.Take(','));
    return std::nullopt;
}

std::optional<int64_t> JsonNumber(const std::string& json, const std::string& key) {
    std::optional<std::string> v = JsonField(json, key);
    if (!v || v->empty()) return std::nullopt;
    char* end = nullptr;
    const long long n = std::strtoll(v->c_str(), &end, 10);
    if (*end != '\0') return std::nullopt;
    return n;
}

std::optional<std::string> JsonArrayItem(const std::string& arrayJson, size_t index) {
    JsonCursor c(arrayJson);
    if (!c.Take('[') || c.Take(']')) return std::nullopt;
    for (size_t i = 0;; ++i) {
        std::optional<std::string> value = c.Value();
        if (!value) return std::nullopt;
        if (i == index) return value;
        if (!c.Take(',')) return std::nullopt;
    }
}

}  // namespace quillo::test
