#!/usr/bin/env bash
# Builds Quillo, makes a fragmented demo disk (a FAT16 primary partition and a
# FAT32 logical one), shows its drives, checks both, defragments both and
# checks them again.
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
echo
echo "== Defragment"
"$cli" --disk "$image" defrag C D
echo
echo "== After"
"$cli" --disk "$image" check C D
