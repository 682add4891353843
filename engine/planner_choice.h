#pragma once
// Choosing the packing candidate for a gap. Only files that start beyond the
// gap are considered, so files always move towards the start of the volume.
// A chosen file is put back in its bucket as if it already started at the
// gap; the caller moves it.
#include <cstdint>

namespace quillo {

struct EngineContext;

// The file that best fills `wanted` clusters of gap `gap`, by size class
// from wanted's down: the largest that fits, ties broken by free clusters
// around the file (moving it then joins free space). With `exactOnly` only
// a file of exactly `wanted` clusters counts, unless a candidate next to
// free space turns up. Without `anyFile` a file is taken only if it is of
// exactly `wanted` clusters or has not moved in this pass. Sets BestFitSize.
// Returns the record, or 0.
int32_t ChooseFileForGap(EngineContext& ctx, int32_t gap, int32_t wanted, bool exactOnly,
                         bool anyFile);
// The file right after gap `gap` when it and the files following it up to
// the next gap all fit into the gap, so that moving them closes it; 0 when
// they do not or the next gap is too far away.
int32_t CloseGapCandidate(const EngineContext& ctx, int32_t gap);
// The file right after gap `gap` when sliding it down leaves room that some
// file fills better; 0 otherwise, and for gaps in the first half of the
// volume's used part.
int32_t SlideIntoGap(EngineContext& ctx, int32_t gap);

}  // namespace quillo
