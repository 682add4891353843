#include "platform/registry_store.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/config_paths.h"
#include "tests/support/temp_config.h"

namespace quillo {
namespace {

namespace fs = std::filesystem;

class RegistryStoreTest : public test::TempConfigTest {
protected:
    std::string StorePath() const { return RegistryStorePath(kQuilloAppName); }
};

TEST_F(RegistryStoreTest, FreshStoreHasTheSystemKeysOnly) {
    RegistryStore store = RegistryStore::ForApplication(kQuilloAppName);
    EXPECT_EQ(store.Path(), folder_ + "/quillo.registry");
    EXPECT_TRUE(store.KeyExists("software\\microsoft\\windows\\currentversion\\EXPLORER\\lastoptimize\\"));
    EXPECT_TRUE(store.KeyExists(kRunOnceKey));
    EXPECT_TRUE(store.KeyExists("SOFTWARE\\Microsoft"));  // above a stored key
    for (const char* missing : {"SOFTWARE\\Micro", kInternetSettingsKey, ""}) EXPECT_FALSE(store.KeyExists(missing)) << missing;
    EXPECT_FALSE(fs::exists(store.Path()));
}

// Values keep their bytes and their type across a reload, and go only into
// keys that exist.
TEST_F(RegistryStoreTest, ValuesRoundTripIntoExistingKeysOnly) {
    const std::vector<uint8_t> record = {0xE8, 0x07, 0x00, 0x00, 0xFF, 0xFF, 0x0A, 0x0D,
                                         0x3D, 0x25, 0x00, 0x80, 0x5B, 0x5D, 0xFF, 0x00};
    const std::string awkward = "  /opt/quillo 100%/Dazo1.exe\r\nx=y;[z] \t";
    const std::string awkwardName = " Quillo=1;#[x] ";
    EXPECT_TRUE(RegistryStore(StorePath()).WriteBinary(kLastOptimizeKey, "C", record));
    EXPECT_TRUE(RegistryStore(StorePath()).WriteString(kRunOnceKey, awkwardName, awkward));
    EXPECT_TRUE(RegistryStore(StorePath()).WriteString(kRunOnceKey, "Quillo", "/opt/quillo/Dazo1.exe"));
    EXPECT_FALSE(RegistryStore(StorePath()).WriteBinary("SOFTWARE\\Nowhere", "C", {1, 2}));
    EXPECT_FALSE(RegistryStore(StorePath()).WriteString(kInternetSettingsKey, "ActiveXCache", "/x"));

    RegistryStore reloaded(StorePath());
    std::vector<uint8_t> read;
    std::string text;
    ASSERT_TRUE(reloaded.ReadBinary(kLastOptimizeKey, "c", read));
    EXPECT_EQ(read, record);
    EXPECT_FALSE(reloaded.ReadString(kLastOptimizeKey, "C", text));
    ASSERT_TRUE(reloaded.ReadString(kRunOnceKey, awkwardName, text));
    EXPECT_EQ(text, awkward);
    EXPECT_FALSE(reloaded.ReadString(kRunOnceKey, "Quillo=1", text));
    EXPECT_TRUE(reloaded.DeleteValue(kRunOnceKey, "quillo"));
    EXPECT_FALSE(reloaded.DeleteValue(kRunOnceKey, "Quillo"));
    EXPECT_FALSE(RegistryStore(StorePath()).ReadString(kRunOnceKey, "Quillo", text));
    EXPECT_TRUE(RegistryStore(StorePath()).ReadString(kRunOnceKey, awkwardName, text));

    // A system whose record key was removed: the record is never written.
    WriteFile(StorePath(), "[" + std::string(kRunOnceKey) + "]\n");
    EXPECT_FALSE(reloaded.WriteBinary(kLastOptimizeKey, "C", {1, 2}));
    EXPECT_FALSE(reloaded.KeyExists(kLastOptimizeKey));
}

TEST_F(RegistryStoreTest, MachineValueIsTrimmedAndEmptyWhenMissing) {
    RegistryStore store(StorePath());
    EXPECT_EQ(ReadMachineValue(store, kInternetSettingsKey, "ActiveXCache"), "");
    ASSERT_TRUE(store.CreateKey(kInternetSettingsKey));
    EXPECT_EQ(ReadMachineValue(store, kInternetSettingsKey, "ActiveXCache"), "");
    ASSERT_TRUE(store.WriteString("software\\microsoft\\windows\\currentversion\\internet settings", "ActiveXCache",
                                  "   /home/u/Downloaded Programs  "));
    EXPECT_EQ(ReadMachineValue(store, kInternetSettingsKey, "activexcache"), "/home/u/Downloaded Programs");
    ASSERT_TRUE(store.WriteBinary(kInternetSettingsKey, "Raw", {'a', 'b'}));
    EXPECT_EQ(ReadMachineValue(store, kInternetSettingsKey, "Raw"), "");
}

TEST_F(RegistryStoreTest, GarbageFileIsAFreshStoreAndIsReplacedByTheNextWrite) {
    std::string garbage;
    for (int i = 0; i < 3000; ++i) garbage += static_cast<char>((i * 131 + 7) % 256);
    RegistryStore store(StorePath());
    for (const std::string& bytes : {std::string("junk=1\nC=hex:00\n"), garbage}) {  // no key at all
        WriteFile(StorePath(), bytes);
        EXPECT_TRUE(store.KeyExists(kLastOptimizeKey) && store.KeyExists(kRunOnceKey));
    }
    EXPECT_TRUE(store.WriteBinary(kLastOptimizeKey, "C", {0, 0xFF}));
    std::vector<uint8_t> read;
    ASSERT_TRUE(RegistryStore(StorePath()).ReadBinary(kLastOptimizeKey, "C", read));
    EXPECT_EQ(read, (std::vector<uint8_t>{0, 0xFF}));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1);  // no temporary left
}

}  // namespace
}  // namespace quillo
