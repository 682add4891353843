#!/usr/bin/env bash
# The window's responsiveness: a full map repaint, and the longest gap between
# two turns of the event loop during a Defragment of a mid-size FAT32 image
# (resized half way). Prints figures; builds the image once into build/bench/.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${QUILLO_BUILD:-$root/build}"
cmake --build "$build" --target quillo-window-speed -j2 >/dev/null
mkdir -p "$build/bench"
master="$build/bench/mid32.img"
[[ -f "$master" ]] || python3 "$root/tests/tools/mkfragimg" "$master" --preset mid32 >/dev/null
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp "$master" "$work/mid32.img"
sync "$work/mid32.img"  # the copy's dirty pages would be flushed by the first lock
before="$(python3 "$root/tests/tools/fatcheck" --contents-digest "$work/mid32.img")"
XDG_CONFIG_HOME="$work" QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" \
    "$build/quillo-window-speed" "$work/mid32.img" 2>&1 | grep -v XDG_RUNTIME_DIR
fsck.fat -n "$work/mid32.img" >/dev/null && echo "fsck.fat -n: clean" || echo "fsck.fat -n: NOT CLEAN"
after="$(python3 "$root/tests/tools/fatcheck" --contents-digest "$work/mid32.img")"
[[ "$before" == "$after" ]] && echo "contents digest: unchanged" || echo "contents digest: CHANGED"
