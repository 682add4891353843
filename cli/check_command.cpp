#include "cli/check_command.h"

#include <csignal>

#include "cli/console.h"
#include "cli/exit_codes.h"
#include "cli/json_writer.h"
#include "cli/map_printer.h"
#include "cli/volume_figures.h"
#include "common/log.h"
#include "disk/volume_device.h"
#include "engine/defragment.h"
#include "engine/end_of_run.h"
#include "engine/run_driver.h"

namespace quillo::cli {
namespace {

volatile std::sig_atomic_t g_interrupted = 0;

void OnInterrupt(int) { g_interrupted = 1; }

// The exit status a finished run stands for.
int ExitStatusOf(const RunState& run) {
    if (run.OutOfMemory) return kExitOutOfMemory;
    if (run.DiskIoFailed) return kExitDiskIo;
    if (run.DriveBusy) return kExitDriveBusy;
    if (run.InternalError || run.StructuralError) return kExitVolumeError;
    if (run.UserAbort) return kExitStopped;
    if (run.ErrorStop != 0) return kExitVolumeError;
    return kExitDone;
}

// The JSON summary of a run: the volume's figures `now`, and for a
// Defragment those its analysis found before the moves.
std::string Summary(const EngineContext& ctx, const std::string& message, const VolumeFigures& now,
                    const VolumeFigures* before) {
    const RunState& run = ctx.run;
    JsonObject o;
    o.Add("drive", run.DriveString).Add("filesystem", ctx.geo.FileSystemName);
    AddFigures(o, now);
    if (before != nullptr) {
        o.Add("fragmented_files_before", before->fragmentedFiles).Add("gaps_before", before->gaps);
    }
    o.Add("moved_files", int64_t{ctx.defrag.MovedCount})
        .Add("moved_clusters", int64_t{ctx.defrag.MovedClusters})
        .Add("unsupported", ctx.devices.UnsupportedReason(run.DriveString.empty() ? 0 : run.DriveString[0]))
        .Add("message", message)
        .Add("error_stop", run.ErrorStop != 0)
        .Add("user_stop", run.UserAbort)
        .Add("structural_error", run.StructuralError)
        .Add("disk_io_failed", run.DiskIoFailed)
        .Add("drive_busy", run.DriveBusy)
        .Add("internal_error", run.InternalError)
        .Add("out_of_memory", run.OutOfMemory);
    return o.Text();
}

// Clears what the previous drive's run left, as selecting a drive does.
void PrepareRun(Console& console, char letter, const std::string& command, bool terminalMap) {
    EngineContext& ctx = console.ctx();
    console.Select(letter);
    ctx.run.RunMode = command == "defrag" ? 1 : -1;
    ctx.run.ScanFiles = command != "map";
    ctx.chains.GapCount = 0;  // a look at another drive has no gap table yet
    ctx.chains.CellCount = terminalMap ? kTerminalMapCells : 32000;
    ctx.geo = Geometry{};
    ctx.scan = ScanState{};
    ctx.chains.ChainCount = 0;
    ctx.lists = RunLists{};
    ctx.defrag = DefragState{};
    ClearLog(ctx);
}

}  // namespace

void PrintEndOfRunMessage(const RunState& run, std::FILE* to) {
    const EndOfRunMessage message = ChooseEndOfRunMessage(run);
    if (message.text.empty()) return;
    std::string text;
    for (char c : message.text)
        if (c != '\r') text += c;  // lines end in "\r\n" in the window's message box
    std::fprintf(to, "%s\n", text.c_str());
}

int RunDrives(Console& console, const Arguments& args, std::FILE* out, std::FILE* err) {
    for (char letter : args.drives) {
        if (console.table().Find(letter) == nullptr) {
            std::fprintf(err, "quillo-cli: no drive %c:\n", letter);
            return kExitUsage;
        }
    }
    EngineContext& ctx = console.ctx();
    console.view().WatchStopFlag(&g_interrupted, &ctx.run);
    console.view().WatchMoves(&ctx.defrag);
    std::signal(SIGINT, OnInterrupt);

    int status = kExitDone;
    for (char letter : args.drives) {
        PrepareRun(console, letter, args.command, args.map);
        if (args.drives.size() > 1) AddLogLine(ctx, "Drive " + ctx.run.DriveString);
        const bool defrag = ctx.run.RunMode >= 0;
        std::optional<VolumeFigures> before;  // taken when the defragment phase starts
        RunDrive(ctx, [&before](EngineContext& c) {
            before = FiguresOf(c);
            Defragment(c);
        });
        console.view().EndProgress();
        const EndOfRunMessage message = ChooseEndOfRunMessage(ctx.run);
        PrintEndOfRunMessage(ctx.run, out);
        if (args.map) PrintMap(ctx.chains, out);
        if (args.json) {
            // After a Defragment the volume is read again, so that the figures
            // are those a Check would find now; a run that never got to move
            // anything keeps the figures of its own analysis.
            VolumeFigures now = FiguresOf(ctx);
            const VolumeFigures analysed = before.value_or(now);
            if (before) {
                const std::optional<VolumeFigures> after =
                    CheckFigures(console.table(), ctx.options, letter, &g_interrupted);
                if (after) now = *after;
            }
            std::fprintf(out, "%s\n", Summary(ctx, message.text, now, defrag ? &analysed : nullptr).c_str());
        }
        std::fflush(out);
        const int runStatus = ExitStatusOf(ctx.run);
        if (status == kExitDone) status = runStatus;
        if (ctx.run.UserAbort) break;
    }
    std::signal(SIGINT, SIG_DFL);
    return status;
}

}  // namespace quillo::cli
