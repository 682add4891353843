#!/usr/bin/env bash
# The mover's full crash sweep: a power cut after every write of the test
# scenario on FAT12, FAT16 and FAT32, each rebooted with unflushed writes
# dropped, torn, and kept at random with eight seeds; every image checked
# with fsck.fat -n and fatinspect. The default test run samples FAT12's
# writes and leaves out FAT32. Takes a few minutes.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${QUILLO_BUILD:-$root/build}"
cmake -S "$root" -B "$build" -G "Unix Makefiles" >/dev/null
cmake --build "$build" --target quillo_tests -- --no-print-directory -s
QUILLO_FULL_CRASH_SWEEP=1 "$build/tests/quillo_tests" --gtest_filter='MoveCrashSweep.*'
