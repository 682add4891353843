#!/usr/bin/env bash
# Renders the main window after a Defragment of the demo disk's C: drive to
# docs/main-window.png, and in the middle of one to docs/main-window-running.png
# (offscreen, no display needed); then the Defrag page of the preferences
# over the window to docs/preferences-defrag.png (on an X server of its own,
# xvfb-run).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/scripts/build.sh"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
python3 "$root/tests/tools/mkfragimg" "$work/demo.img" --preset disk >/dev/null
mkdir -p "$root/docs"
cp "$work/demo.img" "$work/running.img"
XDG_CONFIG_HOME="$work" XDG_RUNTIME_DIR="$work" QT_QPA_PLATFORM=offscreen \
  "$root/build/quillo-window-shot" "$work/demo.img" "$root/docs/main-window.png" defrag 1000x640
rm -f "$work/quillo.ini"  # the next window must not see the first disk
XDG_CONFIG_HOME="$work" XDG_RUNTIME_DIR="$work" QT_QPA_PLATFORM=offscreen \
  "$root/build/quillo-window-shot" "$work/running.img" "$root/docs/main-window-running.png" during 1000x640
rm -f "$work/quillo.ini"
XDG_CONFIG_HOME="$work" XDG_RUNTIME_DIR="$work" xvfb-run -a -s "-screen 0 1280x1024x24" \
  "$root/build/quillo-settings-shot" "$work/demo.img" "$root/docs/preferences-defrag.png" DefragSettings_
echo "wrote docs/main-window.png, docs/main-window-running.png and docs/preferences-defrag.png"
