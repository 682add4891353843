// Defragments drive C: of one disk the way `quillo-cli defrag C` does, with the
// flushes between the ordered steps of a move switched off. A measurement of
// what those flushes cost, never a way to run: a crash mid-move can lose data.
// The run still ends with the flush that releasing the volume makes.
//
// Usage: defrag_noflush IMAGE
// Prints one line: moved files, moved clusters, flushes made by moves.
// Exit status 0 when the run ended normally, 1 otherwise, 2 on bad arguments.
#include <cstdio>

#include "common/engine_context.h"
#include "common/log.h"
#include "common/run_view.h"
#include "disk/drive_letters.h"
#include "disk/drive_menu.h"
#include "disk/drive_table.h"
#include "engine/run_driver.h"
#include "platform/config_paths.h"
#include "platform/option_store.h"
#include "platform/registry_store.h"

int main(int argc, char** argv) {
    using namespace quillo;
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s IMAGE\n", argv[0]);
        return 2;
    }
    DriveLetterResult attached = AssignDriveLetters({AttachedDisk{argv[1], false}});
    for (const DiskProblem& problem : attached.errors)
        std::fprintf(stderr, "%s: %s\n", problem.path.c_str(), problem.message.c_str());
    if (!attached.errors.empty()) return 2;

    // The same world the console front end builds: its preferences and records.
    DriveTable table(std::move(attached.drives));
    DriveMenu menu;
    QuietView view;
    SystemClock clock;
    RegistryStore registry = RegistryStore::ForApplication(kQuilloAppName);
    EngineContext ctx(view, clock, table);
    ctx.driveMenu = &menu;
    ctx.registry = &registry;
    ctx.options = LoadAllOptions(OptionStore::ForApplication(kQuilloAppName));

    ctx.run.DriveMenuIndex = MenuIndexForDriveLetter('C');
    ctx.run.DriveString = "C:";
    ctx.run.RootPath = "C:\\";
    ctx.run.RunMode = 1;
    ctx.run.ScanFiles = true;
    ctx.defrag.FlushBetweenSteps = false;
    ClearLog(ctx);
    RunDrive(ctx);

    const RunState& run = ctx.run;
    std::printf("moved_files %d moved_clusters %d move_flushes %lld\n", ctx.defrag.MovedCount,
                ctx.defrag.MovedClusters, static_cast<long long>(ctx.defrag.Flushes));
    const bool failed = run.ErrorStop != 0 || run.UserAbort || run.StructuralError || run.DiskIoFailed ||
                        run.DriveBusy || run.InternalError || run.OutOfMemory;
    return failed ? 1 : 0;
}
