#include "platform/startup_launcher.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/registry_store.h"
#include "tests/support/temp_config.h"
#include "tests/support/test_images.h"

namespace quillo {
namespace {

namespace fs = std::filesystem;
using test::RunCommand;
using test::ShellQuote;

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// desktop-file-validate's verdict on `text`, empty when it accepts it.
std::string ValidatorComplaints(const std::string& folder, const std::string& text) {
    const std::string path = folder + "/check.desktop";
    std::ofstream(path, std::ios::binary) << text;
    std::string output;
    const int status = RunCommand("desktop-file-validate " + ShellQuote(path), &output);
    return status == 0 && output.empty() ? "" : output.empty() ? "exit status " + std::to_string(status) : output;
}

std::string ExecLine(const std::string& entry) {
    const size_t at = entry.find("\nExec=");
    return at == std::string::npos ? "" : entry.substr(at + 6, entry.find('\n', at + 1) - at - 6);
}

class StartupLauncherTest : public test::TempConfigTest {
protected:
    RegistryStore Registry() const { return RegistryStore::ForApplication("quillo"); }
    std::string RunOnceValue() const {
        std::string text;
        return Registry().ReadString(kRunOnceKey, kRunOnceValueName, text) ? text : "<none>";
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
    for (const Case& c : cases) {
        const std::string entry = AutostartEntryText(c.path);
        EXPECT_EQ(ValidatorComplaints(folder_, entry), "") << entry;
        EXPECT_EQ(ExecLine(entry), c.exec);
    }
    EXPECT_EQ(AutostartEntryText("quillo-autorun"), "");  // a relative path starts nothing at log-in
    EXPECT_EQ(AutostartEntryText("/opt/quillo\n/quillo-autorun"), "");
}

TEST_F(StartupLauncherTest, AScheduleWritesBothRecordsAndNeverRemovesThem) {
    const std::string entry = AutostartEntryPath();
    EXPECT_EQ(entry, folder_ + "/autostart/quillo-autorun.desktop");
    RegistryStore registry = Registry();
    ASSERT_TRUE(UpdateStartupRegistration(registry, entry, 7, "/opt/q/quillo-autorun"));
    EXPECT_EQ(ReadText(entry), AutostartEntryText("/opt/q/quillo-autorun"));
    EXPECT_EQ(RunOnceValue(), "/opt/q/quillo-autorun");

    ASSERT_TRUE(UpdateStartupRegistration(registry, entry, 0, "/usr/bin/quillo-autorun"));
    EXPECT_EQ(RunOnceValue(), "/usr/bin/quillo-autorun");
    EXPECT_EQ(ExecLine(ReadText(entry)), "\"/usr/bin/quillo-autorun\"");

    EXPECT_TRUE(UpdateStartupRegistration(registry, entry, -1, "/usr/bin/quillo-autorun"));
    EXPECT_FALSE(fs::exists(entry));
    EXPECT_EQ(RunOnceValue(), "<none>");
    EXPECT_TRUE(Registry().KeyExists(kRunOnceKey));
    // Never again, with nothing left to remove, is no failure.
    EXPECT_TRUE(UpdateStartupRegistration(registry, entry, -1, "/usr/bin/quillo-autorun"));
}

TEST_F(StartupLauncherTest, RecordsThatCannotBeWrittenAreReported) {
    RegistryStore registry = Registry();
    // The autostart folder is taken by a file: no entry, and no RunOnce value
    // naming a launcher that nothing starts.
    WriteFile(folder_ + "/autostart", "not a folder");
    EXPECT_FALSE(UpdateStartupRegistration(registry, AutostartEntryPath(), 1, "/opt/q/quillo-autorun"));
    EXPECT_EQ(RunOnceValue(), "<none>");
    // A launcher path no entry can carry.
    fs::remove(folder_ + "/autostart");
    EXPECT_FALSE(UpdateStartupRegistration(registry, AutostartEntryPath(), 1, "quillo-autorun"));
    EXPECT_FALSE(fs::exists(AutostartEntryPath()));
    // The registry store cannot be written (its name is taken by a folder).
    fs::create_directories(registry.Path());
    EXPECT_FALSE(UpdateStartupRegistration(registry, AutostartEntryPath(), 1, "/opt/q/quillo-autorun"));
}

}  // namespace
}  // namespace quillo
