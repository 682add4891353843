#!/usr/bin/env bash
# Builds Quillo, makes a fragmented demo disk (a FAT16 primary partition and a
# FAT32 logical one), shows its drives and checks both.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/scripts/build.sh"
image="$root/build/demo.img"
[ -f "$image" ] || python3 "$root/tests/tools/mkfragimg" "$image" --preset disk >/dev/null
cli="$root/build/quillo-cli"
"$cli" --disk "$image" drives
echo
"$cli" --disk "$image" check C D
