// Every kind of damage fsck.fat -n reports, one row each: how the volume is
// built (mkfs.fat, mtools, then a byte patch), what fsck.fat -n says of it,
// and what we do. Refused: a Check and a Defragment both stop with a
// structural error naming the damage, and the image is byte for byte what it
// was. Dirty: the Check reports the mark, the Defragment refuses and names
// fsck.fat. Accepted: the Defragment runs, every file keeps its content and
// fsck.fat finds nothing it did not find before.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>
#include <sstream>

#include "common/little_endian.h"
#include "tests/support/console_run.h"
#include "tests/support/test_images.h"

namespace quillo {
namespace {

using test::ShellQuote;

// A small volume as mkfs.fat and mtools leave it, with what the patches
// need to find: F1, F3, F4 (1 KiB), G.BIN (3000 bytes, in F2's old place
// and after F4: two runs), folder SUB with H.BIN and "Long file name.bin".
class Volume {
public:
    explicit Volume(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}

    std::vector<uint8_t>& bytes() { return bytes_; }
    bool fat32() const { return le16(&bytes_[22]) == 0; }
    uint32_t TableSectors() const { return fat32() ? le32(&bytes_[36]) : le16(&bytes_[22]); }
    uint64_t TableOffset(int copy) const {
        return (uint64_t{le16(&bytes_[14])} + uint64_t(copy) * TableSectors()) * 512;
    }
    uint64_t ClusterOffset(uint32_t cluster) const {
        const uint64_t rootSectors = uint64_t{le16(&bytes_[17])} * 32 / 512;
        const uint64_t data = uint64_t{le16(&bytes_[14])} + 2ull * TableSectors() + rootSectors;
        return (data + uint64_t{cluster - 2} * bytes_[13]) * 512;
    }
    // The short entry named `name11` ("F1      BIN"): files and folders only.
    uint64_t Entry(const std::string& name11) const {
        for (size_t at = 0; at + 32 <= bytes_.size(); at += 32)
            if (std::equal(name11.begin(), name11.end(), bytes_.begin() + at) &&
                (bytes_[at + 11] == 0x10 || bytes_[at + 11] == 0x20))
                return at;
        ADD_FAILURE() << "no entry " << name11;
        return 0;
    }
    uint32_t EntryCluster(const std::string& name11) const {
        const uint64_t at = Entry(name11);
        return le16(&bytes_[at + 26]) | (fat32() ? uint32_t{le16(&bytes_[at + 20])} << 16 : 0);
    }
    void Put(uint64_t offset, const std::vector<uint8_t>& b) { std::copy(b.begin(), b.end(), bytes_.begin() + offset); }
    void Put16(uint64_t offset, uint16_t v) { put_le16(&bytes_[offset], v); }
    void Put32(uint64_t offset, uint32_t v) { put_le32(&bytes_[offset], v); }
    void SetName(const std::string& name11, const std::string& to) { Put(Entry(name11), {to.begin(), to.end()}); }
    // Table entry n in both copies (FAT16 or FAT32), or only in `onlyCopy`.
    void SetTable(uint32_t n, uint32_t value, int onlyCopy = -1) {
        for (int copy = 0; copy < 2; ++copy) {
            if (onlyCopy >= 0 && copy != onlyCopy) continue;
            if (fat32()) Put32(TableOffset(copy) + 4 * n, value);
            else Put16(TableOffset(copy) + 2 * n, static_cast<uint16_t>(value));
        }
    }
    uint32_t EndOfChain() const { return fat32() ? 0x0FFFFFFF : 0xFFFF; }

private:
    std::vector<uint8_t> bytes_;
};

// Contents that no directory entry can be mistaken for.
std::vector<uint8_t> Pattern(size_t size, uint8_t seed) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + seed) | 0x80;
    return bytes;
}

// The base volume of each width, built once.
const std::vector<uint8_t>& Base(int fatBits) {
    static std::map<int, std::vector<uint8_t>> built;
    std::vector<uint8_t>& image = built[fatBits];
    if (!image.empty()) return image;
    test::TempDir dir;
    const std::string path = dir.File("base.img");
    const std::string source = dir.File("source");
    const char* format = fatBits == 12 ? "-F 12" : fatBits == 16 ? "-F 16 -s 1" : "-F 32 -s 1";
    const uint64_t kib = fatBits == 12 ? 1440 : fatBits == 16 ? 8192 : 40000;
    EXPECT_TRUE(test::MakeFatImage(path, kib, format));
    const std::string i = "-i " + ShellQuote(path) + " ";
    auto copy = [&](size_t size, uint8_t seed, const std::string& to) {
        std::remove(source.c_str());
        test::WriteFileBytes(source, 0, Pattern(size, seed));
        EXPECT_EQ(test::RunCommand("mcopy " + i + ShellQuote(source) + " " + ShellQuote(to)), 0) << to;
    };
    for (int n = 1; n <= 4; ++n) copy(1024, static_cast<uint8_t>(n), "::F" + std::to_string(n) + ".BIN");
    EXPECT_EQ(test::RunCommand("mdel " + i + "::F2.BIN && mmd " + i + "::SUB"), 0);
    copy(3000, 5, "::G.BIN");
    copy(1500, 6, "::SUB/H.BIN");
    copy(1500, 7, "::SUB/Long file name.bin");
    image = test::ReadFileBytes(path);
    return image;
}

enum class Answer { Refused, Dirty, Accepted };

struct Row {
    const char* damage;
    int fatBits;
    std::function<void(Volume&)> patch;
    int fsckStatus;          // what fsck.fat -n exits with
    const char* fsckSays;    // a phrase of its report
    Answer answer;
    const char* quilloSays;  // the words of our refusal; "" when accepted
    bool background = false; // runs let other programs write ("Background")
};

// fsck.fat -n's report, one line each, without its version line and the
// closing summary, which names the scratch file.
std::set<std::string> FsckLines(const std::string& report) {
    std::set<std::string> lines;
    std::istringstream in(report);
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line.rfind("fsck.fat ", 0) != 0 && line.find(" files, ") == std::string::npos)
            lines.insert(line);
    return lines;
}

class DamagedVolumes : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::HaveFatTools()) GTEST_SKIP() << "mkfs.fat or mtools missing";
    }
    test::ConsoleRun Run(const std::string& command) const {
        return test::RunConsole("--disk " + ShellQuote(image) + " --json " + command + " C", dir.File("config"));
    }
    int Fsck(std::string* report) const {
        return test::RunCommand("PATH=\"$PATH:/sbin:/usr/sbin\" fsck.fat -n " + ShellQuote(image), report);
    }
    // The image file holding exactly `bytes`.
    bool Store(const std::vector<uint8_t>& bytes) const {
        return test::SetFileSize(image, 0) && test::WriteFileBytes(image, 0, bytes);
    }
    std::string Digest() const {
        return test::JsonField(test::FatinspectJson(image, "--contents-digest"), "contents_digest").value_or("");
    }

    void Judge(const Row& row) {
        SCOPED_TRACE(std::string(row.damage) + " (FAT" + std::to_string(row.fatBits) + ")");
        Volume volume(Base(row.fatBits));
        row.patch(volume);
        ASSERT_TRUE(Store(volume.bytes()));
        std::remove(dir.File("config/quillo.ini").c_str());
        if (row.background) {
            const std::string options = "[Options]\nBackground=Yes\n";
            ASSERT_TRUE(test::RunCommand("mkdir -p " + ShellQuote(dir.File("config"))) == 0 &&
                        test::WriteFileBytes(dir.File("config/quillo.ini"), 0, {options.begin(), options.end()}));
        }

        std::string before;
        EXPECT_EQ(Fsck(&before), row.fsckStatus) << before;
        EXPECT_NE(before.find(row.fsckSays), std::string::npos) << before;

        const test::ConsoleRun check = Run("check");
        const test::ConsoleRun defrag = Run("defrag");
        const std::vector<uint8_t> after = test::ReadFileBytes(image);
        switch (row.answer) {
            case Answer::Refused:
                for (const test::ConsoleRun* r : {&check, &defrag}) {
                    EXPECT_EQ(r->status, 1) << r->output;
                    EXPECT_NE(r->Json().find("\"structural_error\": true"), std::string::npos) << r->output;
                    EXPECT_NE(r->output.find(std::string("Err=") + row.quilloSays), std::string::npos) << r->output;
                }
                EXPECT_TRUE(after == volume.bytes()) << "a refused volume was written";
                break;
            case Answer::Dirty:
                EXPECT_EQ(check.status, 0) << check.output;
                EXPECT_NE(check.output.find("Not cleanly unmounted: check it with fsck.fat before defragmenting"),
                          std::string::npos) << check.output;
                EXPECT_EQ(defrag.status, 1) << defrag.output;
                EXPECT_NE(defrag.output.find(std::string("Err=") + row.quilloSays), std::string::npos)
                    << defrag.output;
                EXPECT_TRUE(after == volume.bytes()) << "a refused volume was written";
                break;
            case Answer::Accepted: {
                EXPECT_EQ(check.status, 0) << check.output;
                EXPECT_EQ(defrag.status, 0) << defrag.output;
                EXPECT_GT(test::JsonNumber(defrag.Json(), "moved_files").value_or(0), 0) << defrag.output;
                // Same contents, and nothing fsck.fat did not already report.
                Store(volume.bytes());
                const std::string digest = Digest();
                Store(after);
                EXPECT_EQ(Digest(), digest);
                std::string report;
                Fsck(&report);
                for (const std::string& line : FsckLines(report))
                    EXPECT_TRUE(FsckLines(before).count(line)) << "new after the run: " << line << "\n" << before;
                break;
            }
        }
    }

    test::TempDir dir;
    std::string image = dir.File("vol.img");
};

// Offsets used below: SUB's first cluster holds "." in slot 0 and ".." in
// slot 1, then H.BIN, the two long-name pieces and LONGFI~1.BIN.
uint64_t SubSlot(Volume& v, int slot) { return v.ClusterOffset(v.EntryCluster("SUB        ")) + 32 * slot; }

TEST_F(DamagedVolumes, EntriesDisagreeingWithTheirChainsAreRefused) {
    const Row rows[] = {
        // Files, with nobody else writing to the volume.
        {"size larger than the chain", 16, [](Volume& v) { v.Put32(v.Entry("F1      BIN") + 28, 5000); },
         1, "File size is 5000 bytes, cluster chain length is 1024 bytes", Answer::Refused,
         "Size disagrees with the chain"},
        {"size smaller than the chain", 32, [](Volume& v) { v.Put32(v.Entry("G       BIN") + 28, 500); },
         1, "cluster chain length is > 512 bytes", Answer::Refused, "Size disagrees with the chain"},
        {"size without a cluster", 32, [](Volume& v) { v.Put16(v.Entry("F4      BIN") + 26, 0); },
         1, "cluster chain length is 0 bytes", Answer::Refused, "Size disagrees with the chain"},
        // Folders.
        {"folder entry with cluster 0", 16, [](Volume& v) { v.Put16(v.Entry("SUB        ") + 26, 0); },
         1, "Start does point to root directory", Answer::Refused, "Folder without clusters"},
        {"folder entry with a size", 32, [](Volume& v) { v.Put32(v.Entry("SUB        ") + 28, 512); },
         1, "Directory has non-zero size", Answer::Refused, "Folder with a size"},
        {"no \".\" entry", 16, [](Volume& v) { v.Put(SubSlot(v, 0), {0xE5}); },
         1, "Expected a valid '.' entry", Answer::Refused, "No \".\" entry"},
        {"\".\" naming another cluster", 32, [](Volume& v) { v.Put16(SubSlot(v, 0) + 26, 9); },
         1, "Invalid '.' entry", Answer::Refused, "\".\" names another folder"},
        {"no \"..\" entry", 16, [](Volume& v) { v.Put(SubSlot(v, 1), {0xE5}); },
         1, "Expected a valid '..' entry", Answer::Refused, "No \"..\" entry"},
    };
    for (const Row& row : rows) Judge(row);
}

TEST_F(DamagedVolumes, BadAndRepeatedNamesAreRefused) {
    const Row rows[] = {
        {"the same 8.3 name twice", 16, [](Volume& v) { v.SetName("G       BIN", "F1      BIN"); },
         1, "Duplicate directory entry", Answer::Refused, "Name used twice"},
        {"bad character in a short name", 32, [](Volume& v) { v.SetName("F3      BIN", "F?      BIN"); },
         1, "Bad short file name", Answer::Refused, "Bad file name"},
        {"\".\" entry in the root", 16, [](Volume& v) { v.SetName("F4      BIN", ".       BIN"); },
         1, "Bad short file name", Answer::Refused, "Bad file name"},
        {"blank first character", 16, [](Volume& v) { v.SetName("F3      BIN", " F3     BIN"); },
         1, "Bad short file name", Answer::Refused, "Bad file name"},
    };
    for (const Row& row : rows) Judge(row);
}

// Refused since the first version; here for the whole picture.
TEST_F(DamagedVolumes, BrokenChainsAreRefused) {
    const Row rows[] = {
        {"two files sharing clusters", 16, [](Volume& v) {
             v.Put16(v.Entry("F4      BIN") + 26, static_cast<uint16_t>(v.EntryCluster("F3      BIN") + 1));
         }, 1, "share clusters", Answer::Refused, "Crosslinked files"},
        {"chain joined into the middle of another", 16, [](Volume& v) {
             v.SetTable(v.EntryCluster("F1      BIN") + 1, v.EntryCluster("F3      BIN") + 1);
         }, 1, "cluster chain length is > 1024 bytes", Answer::Refused, "Crosslinked files"},
        // F1 runs on into F3's first cluster: its chain is then longer than
        // its size, which is what fsck.fat names first as well.
        {"entry starting inside another chain", 16, [](Volume& v) {
             v.SetTable(v.EntryCluster("F1      BIN") + 1, v.EntryCluster("F3      BIN"));
         }, 1, "cluster chain length", Answer::Refused, "Size disagrees with the chain"},
        {"chain looping back on itself", 32, [](Volume& v) {
             const uint32_t f3 = v.EntryCluster("F3      BIN");
             v.SetTable(f3 + 1, f3);
         }, 1, "Circular cluster chain", Answer::Refused, "Crosslinked files"},
        {"chain running into a free cluster", 16, [](Volume& v) {
             v.SetTable(v.EntryCluster("F3      BIN") + 1, 3000);
         }, 1, "Contains a free cluster", Answer::Refused, "Bad cluster #"},
        {"bad cluster inside a file", 32, [](Volume& v) {
             const uint32_t f3 = v.EntryCluster("F3      BIN");
             v.SetTable(f3, v.fat32() ? 0x0FFFFFF7 : 0xFFF7);
         }, 1, "next_cluster on bad cluster", Answer::Refused, "Bad cluster #"},
        {"link beyond the last cluster", 16, [](Volume& v) { v.SetTable(v.EntryCluster("F3      BIN"), 0xFFEE); },
         1, "out of range", Answer::Refused, "Bad cluster #"},
        {"first cluster beyond the last", 32, [](Volume& v) { v.Put16(v.Entry("F3      BIN") + 20, 0x0100); },
         1, "Start cluster beyond limit", Answer::Refused, "Bad Cluster #"},
        // Not damage to fsck.fat, but a table that does not start with the
        // fixed-disk media mark is not one we understand.
        {"media mark of entry 0", 16, [](Volume& v) { v.SetTable(0, 0xFFF0); }, 0, "", Answer::Refused,
         "FAT error"},
    };
    for (const Row& row : rows) Judge(row);
}

TEST_F(DamagedVolumes, AVolumeMarkedNotCleanlyUnmountedIsReportedAndNotDefragmented) {
    const Row rows[] = {
        {"clean bit of entry 1 cleared", 16, [](Volume& v) { v.SetTable(1, 0x7FFF); },
         1, "Dirty bit is set", Answer::Dirty, "Not cleanly unmounted: check it with fsck.fat first"},
        {"clean bit of entry 1 cleared", 32, [](Volume& v) { v.SetTable(1, 0x07FFFFFF); },
         1, "Dirty bit is set", Answer::Dirty, "Not cleanly unmounted: check it with fsck.fat first"},
        {"dirty bit of the boot sector", 12, [](Volume& v) { v.Put(37, {0x01}); },
         1, "Dirty bit is set", Answer::Dirty, "Not cleanly unmounted: check it with fsck.fat first"},
        {"dirty bit of the boot sector", 32, [](Volume& v) { v.Put(65, {0x01}); },
         1, "Dirty bit is set", Answer::Dirty, "Not cleanly unmounted: check it with fsck.fat first"},
    };
    for (const Row& row : rows) Judge(row);
}

// The traces a power cut leaves, and what no move reads or writes.
TEST_F(DamagedVolumes, DamageNoMoveDependsOnIsLeftAsFound) {
    const Row rows[] = {
        {"lost clusters", 16, [](Volume& v) { v.SetTable(3000, v.EndOfChain()); },
         1, "Reclaimed 1 unused cluster", Answer::Accepted, ""},
        {"size larger than the chain, others may write", 16,
         [](Volume& v) { v.Put32(v.Entry("F1      BIN") + 28, 5000); }, 1, "File size is 5000 bytes",
         Answer::Accepted, "", true},
        {"table copies differ", 32, [](Volume& v) { v.SetTable(3000, v.EndOfChain(), 1); },
         1, "FATs differ", Answer::Accepted, ""},
        {"orphaned long-name piece", 16, [](Volume& v) { v.Put(SubSlot(v, 5), {0xE5}); },
         1, "Orphaned long file name part", Answer::Accepted, ""},
        {"long-name checksum wrong", 32, [](Volume& v) { v.Put(SubSlot(v, 3) + 13, {0x00}); },
         0, "Checksum in long filename part wrong", Answer::Accepted, ""},
        {"label in the root, not in the boot sector", 16, [](Volume& v) {
             uint64_t end = v.Entry("F1      BIN");
             while (v.bytes()[end] != 0) end += 32;
             const std::string label = "MYLABEL    \x08";
             v.Put(end, {label.begin(), label.end()});
         }, 1, "there is volume label 'MYLABEL' stored in root directory", Answer::Accepted, ""},
        {"free count of the information sector wrong", 32, [](Volume& v) { v.Put32(512 + 488, 5); },
         1, "Free cluster summary wrong", Answer::Accepted, ""},
        {"backup boot sector differs", 32, [](Volume& v) { v.Put(6 * 512 + 100, {0x07}); },
         0, "differences between boot sector and its backup", Answer::Accepted, ""},
        {"label attribute on an entry in a subfolder", 16, [](Volume& v) { v.Put(SubSlot(v, 2) + 11, {0x08}); },
         0, "", Answer::Accepted, ""},
        // H.BIN moved past the end-of-folder mark, its slot erased: fsck.fat
        // still sees it there, and packing SUB must leave it be.
        {"entry after the end-of-folder mark", 16, [](Volume& v) {
             const uint64_t h = SubSlot(v, 2);
             std::vector<uint8_t> entry(v.bytes().begin() + h, v.bytes().begin() + h + 32);
             v.Put(SubSlot(v, 7), entry);
             v.Put(h, {0xE5});
         }, 0, "", Answer::Accepted, ""},
    };
    for (const Row& row : rows) Judge(row);
}

}  // namespace
}  // namespace quillo
