#!/usr/bin/env bash
# Renders the main window after a Defragment of the demo disk's C: drive to
# docs/main-window.png (offscreen, no display needed).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/scripts/build.sh"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
python3 "$root/tests/tools/mkfragimg" "$work/demo.img" --preset disk >/dev/null
mkdir -p "$root/docs"
XDG_CONFIG_HOME="$work" XDG_RUNTIME_DIR="$work" QT_QPA_PLATFORM=offscreen \
  "$root/build/quillo-window-shot" "$work/demo.img" "$root/docs/main-window.png" defrag 1000x640
echo "wrote docs/main-window.png"
