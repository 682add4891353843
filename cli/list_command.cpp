#include "cli/list_command.h"

#include <csignal>
#include <string>
#include <variant>
#include <vector>

#include "cli/check_command.h"
#include "cli/console.h"
#include "cli/exit_codes.h"
#include "cli/json_writer.h"
#include "common/engine_context.h"
#include "engine/list_source.h"
#include "engine/run_driver.h"
#include "engine/volume_file_delete.h"
#include "platform/browser_profiles.h"
#include "platform/config_paths.h"
#include "platform/registry_store.h"
#include "platform/user_folders.h"

namespace quillo::cli {
namespace {

volatile std::sig_atomic_t g_interrupted = 0;

void OnInterrupt(int) { g_interrupted = 1; }

// Rows kept for printing; the questions a window asks are answered as a
// script wants them: every drive that cannot be read is passed over.
class ConsoleSink final : public ListSink {
public:
    explicit ConsoleSink(std::FILE* err) : err_(err) {}
    std::vector<ListRow> rows;

    bool KeepGoing() override { return g_interrupted == 0; }
    bool ContinueAfterError(const std::string& drive) override {
        std::fprintf(err_, "Error accessing %s. Continue? Yes\n", drive.c_str());
        return true;
    }

protected:
    void AppendRow(ListRow row) override { rows.push_back(std::move(row)); }
    void ShowLimitMessage() override { std::fprintf(err_, "%s\n", kRowLimitMessage); }

private:
    std::FILE* err_;
};

std::string RowJson(const ListRow& row) {
    JsonObject o;
    for (const RowField& field : row.fields) {
        if (const auto* text = std::get_if<std::string>(&field.value)) o.Add(field.name, *text);
        else if (const auto* number = std::get_if<int64_t>(&field.value)) o.Add(field.name, *number);
        else o.Add(field.name, std::get<bool>(field.value));
    }
    return o.Text();
}

// "Frags" lists what a Check of the drive finds fragmented.
int CheckFirst(Console& console, char letter, std::FILE* err) {
    if (console.table().Find(letter) == nullptr) {
        std::fprintf(err, "quillo-cli: no drive %c:\n", letter);
        return kExitUsage;
    }
    EngineContext& ctx = console.ctx();
    console.Select(letter);
    ctx.run.RunMode = -1;
    ctx.run.ScanFiles = true;
    ctx.log.LogEnabled = false;
    RunDrive(ctx);
    if (ctx.run.ErrorStop == 0 && !ctx.run.UserAbort) return kExitDone;
    PrintEndOfRunMessage(ctx.run, err);
    return ctx.run.DriveBusy ? kExitDriveBusy : ctx.run.UserAbort ? kExitStopped : kExitVolumeError;
}

}  // namespace

int ListRows(Console& console, const Arguments& args, std::FILE* out, std::FILE* err) {
    const std::string& keyword = args.listKeyword;
    const bool needsDrive = keyword == "Frags";
    if (needsDrive != !args.drives.empty()) {
        std::fprintf(err, needsDrive ? "quillo-cli: list Frags needs a drive\n"
                                     : "quillo-cli: list %s takes no drive\n",
                     keyword.c_str());
        return kExitUsage;
    }
    EngineContext& ctx = console.ctx();
    FillDriveMenu(console.menu(), console.table());
    const std::string tempFolder = TemporaryFolder();
    ListEnvironment env{ctx, tempFolder.empty() ? "" : tempFolder + "/", [&console](char letter) {
                            const DriveAssignment* drive = console.table().Find(letter);
                            return VolumeRestoreFolder(drive != nullptr ? drive->path : "", letter);
                        }};
    env.internetCacheFolder =
        FindUserFolders(FindBrowserProfiles(), RegistryStore::ForApplication(kQuilloAppName)).internetCache;
    const std::unique_ptr<ListSource> source = MakeListSource(keyword, env);
    if (source == nullptr) {
        std::fprintf(err,
                     "quillo-cli: no list %s (Temps, TempInternet, URLcache, Cookies, Duplicates, TaskList, Frags)\n",
                     keyword.c_str());
        return kExitUsage;
    }
    std::signal(SIGINT, OnInterrupt);
    int status = needsDrive ? CheckFirst(console, args.drives.front(), err) : kExitDone;
    ConsoleSink sink(err);
    FillEnd end;
    if (status == kExitDone) end = source->Fill(sink);
    std::signal(SIGINT, SIG_DFL);
    if (status != kExitDone) return status;
    if (end.errorStop) {
        std::fprintf(err, "quillo-cli: %s\n", end.errorMessage.c_str());
        return kExitVolumeError;
    }
    if (end.stopped || g_interrupted != 0) return kExitStopped;

    SortRows(sink.rows);
    if (args.json) {
        std::fprintf(out, "[");
        for (size_t i = 0; i < sink.rows.size(); ++i)
            std::fprintf(out, "%s\n  %s", i == 0 ? "" : ",", RowJson(sink.rows[i]).c_str());
        std::fprintf(out, "%s]\n", sink.rows.empty() ? "" : "\n");
    } else {
        for (const ListRow& row : sink.rows) std::fprintf(out, "%s\n", row.text.c_str());
    }
    return kExitDone;
}

}  // namespace quillo::cli
