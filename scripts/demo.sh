#!/usr/bin/env bash
# Builds Quillo and makes a fragmented demo disk (a FAT16 primary partition
# and a FAT32 logical one). With a display, opens the window on it (Defrag
# from the toolbar or the Defrag menu); without one, shows its drives, checks
# both, defragments both and checks them again on the console.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/scripts/build.sh"
image="$root/build/demo.img"
# A fresh fragmented disk every time, so that there is something to do.
python3 "$root/tests/tools/mkfragimg" "$image" --preset disk >/dev/null
cli="$root/build/quillo-cli"
"$cli" --disk "$image" drives
echo
echo "== Before"
"$cli" --disk "$image" check C D
if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" && "${QUILLO_CONSOLE:-}" != 1 ]]; then
  echo
  echo "== Opening the window on $image"
  exec "$root/build/quillo" --disk "$image"
fi
echo
echo "== Defragment"
"$cli" --disk "$image" defrag C D
echo
echo "== After"
"$cli" --disk "$image" check C D
