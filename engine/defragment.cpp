#include "engine/defragment.h"

#include <string>

#include "common/engine_context.h"
#include "common/log.h"
#include "engine/folder_packing.h"
#include "engine/mover.h"
#include "engine/planner.h"
#include "engine/planner_defrag.h"
#include "engine/planner_pack.h"
#include "engine/planner_room.h"

namespace quillo {
namespace {

constexpr int32_t kNoLimit = 0x7FFFFFFF;

std::string Blanked(int32_t value) { return " " + std::to_string(value); }

}  // namespace

void Defragment(EngineContext& ctx) {
    Planner planner(ctx);
    RunDefragmentPhase(planner);
}

void RunDefragmentPhase(Planner& planner) {
    EngineContext& ctx = planner.ctx;
    DefragState& defrag = ctx.defrag;
    ChainState& chains = ctx.chains;
    const RunState& run = ctx.run;
    const int32_t movedBefore = defrag.MovedCount;

    defrag.PendingFragmentedCount = chains.FragmentedFiles - ctx.scan.LeftFragmentedCount;
    ctx.view.SetStatusPair(1, "Fragments:", Blanked(defrag.PendingFragmentedCount));
    ctx.view.SetStatusPair(2, "Gaps:", Blanked(GapsLeft(ctx)));
    ctx.view.ShowLabel(ViewLabel::Moving, true);
    ctx.view.SetLabelCaption(ViewLabel::MovingValue, "");
    ctx.view.ShowLabel(ViewLabel::MovingValue, true);

    BuildPackClassLimit(ctx);
    defrag.SmallestUnplaced = kNoLimit;
    defrag.BigGapAppeared = false;
    defrag.FragList.assign(1, SortPair{});

    // Folders are compacted first: each goes, compacted, to a free run, and
    // the runs it leaves are then filled by the packing like any others.
    if (ctx.dev.Level0Held && ctx.scan.ErasedEntries != 0) {
        defrag.MoveCount = 1;  // the move table belongs to this stage now
        PackFolders(ctx);
        ctx.view.SetProgressCaption("Defragmenting");
        ctx.view.SetStatusPair(1, "Fragments:", Blanked(defrag.PendingFragmentedCount));
        ctx.view.SetStatusPair(2, "Gaps:", Blanked(GapsLeft(ctx)));
    }
    if (!run.StopRequested && defrag.PendingFragmentedCount != 0 && BuildFragList(ctx)) {
        defrag.MoveCount = 1;
        DefragFragmentedFiles(planner, false);
    }
    defrag.DefragDeferred = false;
    bool roomTried = false;
    for (;;) {
        if (run.StopRequested) break;
        const int32_t movedBeforePass = defrag.MovedCount;
        PackPass(planner);
        if (defrag.MovedCount != movedBeforePass) continue;
        // Settled: the fragmented files still waiting go into the free space
        // the packing gathered, and the packing goes on after them.
        if (defrag.PendingFragmentedCount == 0) break;
        if (defrag.DefragDeferred) {
            defrag.DefragDeferred = false;
            DefragFragmentedFiles(planner, true);
            if (defrag.MovedCount != movedBeforePass) continue;
        }
        // Still no gap for them: the free space is split by a few files that
        // can go elsewhere. Tried again only while it places a file.
        if (roomTried) break;
        if (!MakeRoomForWaitingFiles(planner)) roomTried = true;
        if (defrag.MovedCount == movedBeforePass) break;
    }

    ctx.view.ShowLabel(ViewLabel::Moving, false);
    ctx.view.ShowLabel(ViewLabel::MovingValue, false);
    if (run.ErrorStop != 0 || run.RestartNeeded) return;

    if (ctx.scan.FixedCount != 0) AddLogLine(ctx, "Busy Files=" + std::to_string(ctx.scan.FixedCount));
    if (defrag.MovedCount != movedBefore) {
        RepaintGaps(ctx);
        ctx.view.RedrawGauge();
    }
    chains.FragmentedFiles = defrag.PendingFragmentedCount + ctx.scan.LeftFragmentedCount;
    AddLogLine(ctx, "Fragmented Files =" + Blanked(chains.FragmentedFiles));
    AddLogLine(ctx, "Gaps =" + Blanked(GapsLeft(ctx)));
    if (run.StopRequested) return;
    if (defrag.MovedCount == movedBefore) AddLogLine(ctx, "(Nothing done)");
}

}  // namespace quillo
