#!/usr/bin/env bash
# Builds Quillo, makes a fragmented demo disk (a FAT16 primary partition and a
# FAT32 logical one) and shows its drives.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/scripts/build.sh"
image="$root/build/demo.img"
[ -f "$image" ] || python3 "$root/tests/tools/mkfragimg" "$image" --preset disk >/dev/null
"$root/build/quillo-cli" --disk "$image" drives
