#include "platform/startup_launcher.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/registry_store.h"
#include "tests/support/temp_config.h"
#include "tests/support/test_images.h"

namespace quillo {
namespace {

namespace fs = std::filesystem;

class StartupLauncherTest : public test::TempConfigTest {
protected:
    std::string RunOnceValue() const {
        std::string text;
        return RegistryStore::ForApplication("quillo").ReadString(kRunOnceKey, kRunOnceValueName, text) ? text : "<none>";
    }
};

TEST_F(StartupLauncherTest, EntryPassesTheValidatorAndNamesTheLauncherByAbsolutePath) {
    struct Case {
        const char* path;
        const char* exec;
    } const cases[] = {
        {"/opt/quillo/quillo-autorun", R"("/opt/quillo/quillo-autorun")"},
        {"/home/ann/my tools/quillo-autorun", R"("/home/ann/my tools/quillo-autorun")"},
        // Quoted arguments escape " ` $ \ with a backslash, the entry's string
        // rules double every backslash, and a field-code '%' is doubled.
        {R"(/tmp/a"b`c$d\e%f/quillo-autorun)", R"("/tmp/a\\"b\\`c\\$d\\\\e%%f/quillo-autorun")"},
    };
    const std::string path = folder_ + "/check.desktop";
    for (const Case& c : cases) {
        const std::string entry = AutostartEntryText(c.path);
        std::ofstream(path, std::ios::binary) << entry;
        std::string complaints;
        EXPECT_EQ(test::RunCommand("desktop-file-validate " + test::ShellQuote(path), &complaints), 0) << entry;
        EXPECT_EQ(complaints, "");
        EXPECT_NE(entry.find("\nExec=" + std::string(c.exec) + "\n"), std::string::npos) << entry;
    }
    EXPECT_EQ(AutostartEntryText("quillo-autorun"), "");  // a relative path starts nothing at log-in
    EXPECT_EQ(AutostartEntryText("/opt/quillo\n/quillo-autorun"), "");
}

TEST_F(StartupLauncherTest, RecordsThatCannotBeWrittenAreReported) {
    RegistryStore registry = RegistryStore::ForApplication("quillo");
    const std::string entry = AutostartEntryPath();
    EXPECT_EQ(entry, folder_ + "/autostart/quillo-autorun.desktop");
    // Never with nothing to remove is no failure.
    EXPECT_TRUE(UpdateStartupRegistration(registry, entry, -1, "/opt/q/quillo-autorun"));
    // The autostart folder is taken by a file: no entry, and no RunOnce value
    // naming a launcher that nothing starts.
    WriteFile(folder_ + "/autostart", "not a folder");
    EXPECT_FALSE(UpdateStartupRegistration(registry, entry, 1, "/opt/q/quillo-autorun"));
    EXPECT_EQ(RunOnceValue(), "<none>");
    // A launcher path no entry can carry.
    fs::remove(folder_ + "/autostart");
    EXPECT_FALSE(UpdateStartupRegistration(registry, entry, 1, "quillo-autorun"));
    EXPECT_FALSE(fs::exists(entry));
    // The registry store cannot be written (its name is taken by a folder).
    fs::create_directories(registry.Path());
    EXPECT_FALSE(UpdateStartupRegistration(registry, entry, 1, "/opt/q/quillo-autorun"));
}

}  // namespace
}  // namespace quillo
