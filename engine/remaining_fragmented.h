#pragma once
// After the defragment phase: what is still fragmented goes to the
// fragmented-files list, beside the busy and big files the scan listed.
namespace quillo {

struct EngineContext;

// Lists the files of FragList that stayed fragmented, up to the number of
// fragmented files not listed yet, with " (big)" for files above the
// packing limit, and paints their chains as files again.
void ListRemainingFragmented(EngineContext& ctx);

}  // namespace quillo
