#!/usr/bin/env bash
# What the mover's write ordering costs: moves every fragmented file of a
# churned volume three ways (flush at each ordering point; no flushes; the
# image opened O_DSYNC) and prints writes, flushes and time of each.
# Usage: bench/move_flush_cost.sh [mkfragimg arguments]   (default: --preset small16)
# The image lives in build/bench/, on the disk the repository is on: a tmpfs
# makes every flush free and the comparison meaningless.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${QUILLO_BUILD:-$root/build}"
out="$build/bench"
mkdir -p "$out"
cmake -S "$root" -B "$build" -G "Unix Makefiles" >/dev/null
cmake --build "$build" --target quillo_engine -- --no-print-directory -s >/dev/null
g++ -std=c++20 -O2 -I"$root" "$root/bench/move_flush_cost.cpp" "$build/libquillo_engine.a" $(pkg-config --libs libsystemd sqlite3) -o "$out/move_flush_cost"
args=("$@")
[ ${#args[@]} -eq 0 ] && args=(--preset small16)
python3 "$root/tests/tools/mkfragimg" "$out/flush_cost.img" "${args[@]}" >/dev/null
echo "volume: ${args[*]} ($(df --output=fstype "$out" | tail -1))"
"$out/move_flush_cost" "$out/flush_cost.img"
