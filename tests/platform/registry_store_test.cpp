#include "platform/registry_store.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/config_paths.h"
#include "tests/support/temp_config.h"

namespace quillo {
namespace {

namespace fs = std::filesystem;

class RegistryStoreTest : public test::TempConfigTest {
protected:
    std::string StorePath() const { return RegistryStorePath(kQuilloAppName); }
    void WriteStoreFile(const std::string& bytes) const { WriteFile(StorePath(), bytes); }
};

TEST_F(RegistryStoreTest, FreshStoreHasTheSystemKeysOnly) {
    RegistryStore store = RegistryStore::ForApplication(kQuilloAppName);
    EXPECT_EQ(store.Path(), folder_ + "/quillo.registry");
    EXPECT_TRUE(store.KeyExists(kLastOptimizeKey));
    EXPECT_TRUE(store.KeyExists("software\\microsoft\\windows\\currentversion\\EXPLORER\\lastoptimize\\"));
    EXPECT_TRUE(store.KeyExists(kRunOnceKey));
    EXPECT_TRUE(store.KeyExists("SOFTWARE\\Microsoft"));  // above a stored key
    EXPECT_FALSE(store.KeyExists("SOFTWARE\\Micro"));
    EXPECT_FALSE(store.KeyExists(kInternetSettingsKey));
    EXPECT_FALSE(store.KeyExists(""));
    std::vector<uint8_t> data;
    EXPECT_FALSE(store.ReadBinary(kLastOptimizeKey, "C", data));
    EXPECT_FALSE(fs::exists(store.Path()));
}

TEST_F(RegistryStoreTest, RawRecordRoundTripsExactlyAcrossReload) {
    const std::vector<uint8_t> record = {0xE8, 0x07, 0x00, 0x00, 0xFF, 0xFF, 0x0A, 0x0D,
                                         0x3D, 0x25, 0x00, 0x80, 0x5B, 0x5D, 0xFF, 0x00};
    EXPECT_TRUE(RegistryStore(StorePath()).WriteBinary(kLastOptimizeKey, "C", record));
    EXPECT_TRUE(RegistryStore(StorePath()).WriteBinary(kLastOptimizeKey, "D", {}));

    RegistryStore reloaded(StorePath());
    std::vector<uint8_t> read;
    ASSERT_TRUE(reloaded.ReadBinary(kLastOptimizeKey, "c", read));
    EXPECT_EQ(read, record);
    ASSERT_TRUE(reloaded.ReadBinary(kLastOptimizeKey, "D", read));
    EXPECT_TRUE(read.empty());
    std::string text;
    EXPECT_FALSE(reloaded.ReadString(kLastOptimizeKey, "C", text));  // values keep their type
    EXPECT_TRUE(reloaded.KeyExists(kRunOnceKey));  // the first write kept the other system key
}

TEST_F(RegistryStoreTest, ValuesGoOnlyIntoExistingKeys) {
    RegistryStore store(StorePath());
    EXPECT_FALSE(store.WriteBinary("SOFTWARE\\Nowhere", "C", {1, 2}));
    EXPECT_FALSE(store.WriteString(kInternetSettingsKey, "ActiveXCache", "/x"));
    EXPECT_FALSE(fs::exists(StorePath()));

    // A system whose record key was removed: the record is never written.
    WriteStoreFile("[" + std::string(kRunOnceKey) + "]\n");
    EXPECT_FALSE(store.KeyExists(kLastOptimizeKey));
    EXPECT_FALSE(store.WriteBinary(kLastOptimizeKey, "C", {1, 2}));
    EXPECT_FALSE(store.KeyExists(kLastOptimizeKey));

    EXPECT_TRUE(store.CreateKey(kInternetSettingsKey));
    EXPECT_TRUE(store.WriteString("software\\microsoft\\windows\\currentversion\\internet settings",
                                  "activexcache", "/x"));
    EXPECT_TRUE(RegistryStore(StorePath()).KeyExists(kInternetSettingsKey));
}

TEST_F(RegistryStoreTest, StringValuesRoundTripAndCanBeDeleted) {
    RegistryStore store(StorePath());
    const std::string awkward = "  /opt/quillo 100%/Dazo1.exe\r\nx=y;[z] \t";
    const std::string awkwardName = " Quillo=1;#[x] ";
    EXPECT_TRUE(store.WriteString(kRunOnceKey, "Quillo", "/opt/quillo/Dazo1.exe"));
    EXPECT_TRUE(store.WriteString(kRunOnceKey, awkwardName, awkward));

    RegistryStore reloaded(StorePath());
    std::string text;
    ASSERT_TRUE(reloaded.ReadString(kRunOnceKey, "QUILLO", text));
    EXPECT_EQ(text, "/opt/quillo/Dazo1.exe");
    ASSERT_TRUE(reloaded.ReadString(kRunOnceKey, awkwardName, text));
    EXPECT_EQ(text, awkward);
    EXPECT_FALSE(reloaded.ReadString(kRunOnceKey, "Quillo=1", text));

    EXPECT_TRUE(reloaded.DeleteValue(kRunOnceKey, "quillo"));
    EXPECT_FALSE(reloaded.DeleteValue(kRunOnceKey, "Quillo"));
    EXPECT_FALSE(RegistryStore(StorePath()).ReadString(kRunOnceKey, "Quillo", text));
    EXPECT_TRUE(RegistryStore(StorePath()).ReadString(kRunOnceKey, awkwardName, text));
    EXPECT_TRUE(RegistryStore(StorePath()).KeyExists(kRunOnceKey));
}

TEST_F(RegistryStoreTest, MachineValueIsTrimmedAndEmptyWhenMissing) {
    RegistryStore store(StorePath());
    EXPECT_EQ(ReadMachineValue(store, kInternetSettingsKey, "ActiveXCache"), "");
    ASSERT_TRUE(store.CreateKey(kInternetSettingsKey));
    EXPECT_EQ(ReadMachineValue(store, kInternetSettingsKey, "ActiveXCache"), "");
    ASSERT_TRUE(store.WriteString(kInternetSettingsKey, "ActiveXCache", "   /home/u/Downloaded Programs  "));
    EXPECT_EQ(ReadMachineValue(store, kInternetSettingsKey, "activexcache"), "/home/u/Downloaded Programs");
    ASSERT_TRUE(store.WriteBinary(kInternetSettingsKey, "Raw", {'a', 'b'}));
    EXPECT_EQ(ReadMachineValue(store, kInternetSettingsKey, "Raw"), "");
}

TEST_F(RegistryStoreTest, GarbageFileIsAFreshStoreAndIsReplacedByTheNextWrite) {
    std::string garbage;
    for (int i = 0; i < 3000; ++i) garbage += static_cast<char>((i * 131 + 7) % 256);
    RegistryStore store(StorePath());
    for (const std::string& bytes : {std::string("junk=1\nC=hex:00\n"), garbage}) {  // no key at all
        WriteStoreFile(bytes);
        EXPECT_TRUE(store.KeyExists(kLastOptimizeKey));
        EXPECT_TRUE(store.KeyExists(kRunOnceKey));
    }
    EXPECT_TRUE(store.WriteBinary(kLastOptimizeKey, "C", {0, 0xFF}));
    std::vector<uint8_t> read;
    ASSERT_TRUE(RegistryStore(StorePath()).ReadBinary(kLastOptimizeKey, "C", read));
    EXPECT_EQ(read, (std::vector<uint8_t>{0, 0xFF}));
    size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder_)) ++entries;
    EXPECT_EQ(entries, 1u);  // no temporary file left behind
}

}  // namespace
}  // namespace quillo
