#!/usr/bin/env bash
# The full crash sweep of whole Defragment runs: a power cut after every write
# of a run on a fragmented FAT12, FAT16 and FAT32 volume under the exclusive
# lock, and on FAT16 and FAT32 under the shared lock, each rebooted with
# unflushed writes dropped, kept at random (two seeds), the last write torn and
# the writes torn in order; every image checked with fsck.fat -n and fatcheck,
# then defragmented again, which must run to its end. The default test run
# samples the writes. The two lock modes run side by side; takes about 70
# minutes on two cores.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${QUILLO_BUILD:-$root/build}"
cmake -S "$root" -B "$build" -G "Unix Makefiles" >/dev/null
cmake --build "$build" --target quillo_tests -- --no-print-directory -s
start=$(date +%s)
sweep() {
    QUILLO_FULL_DEFRAG_SWEEP=1 "$build/tests/quillo_tests" --gtest_filter="DefragSafety.$1"
}
sweep 'PowerCutAfterAnyWrite*' > "$build/defrag_sweep_exclusive.log" 2>&1 &
exclusive=$!
status=0
sweep 'PowerCutUnderTheSharedLock*' > "$build/defrag_sweep_shared.log" 2>&1 || status=$?
wait "$exclusive" || status=$?
logs=("$build/defrag_sweep_exclusive.log" "$build/defrag_sweep_shared.log")
grep -a -h -E '^\[ +(sweep|FAILED|PASSED|OK) +\]' "${logs[@]}" || true
grep -a -h -A4 'Failure' "${logs[@]}" || true
echo "defrag crash sweep: $(( $(date +%s) - start )) s, exit status $status"
exit "$status"
