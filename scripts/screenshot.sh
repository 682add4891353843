#!/usr/bin/env bash
# Renders the main window after a Defragment of the demo disk's C: drive to
# docs/main-window.png, and in the middle of one to docs/main-window-running.png
# (offscreen, no display needed); then the Defrag page of the preferences
# over the window to docs/preferences-defrag.png (on an X server of its own,
# xvfb-run); then HexExplorer on a folder sector of a FAT32 volume to
# docs/hexexplorer.png (offscreen).
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
# A FAT32 folder with long names, a subfolder, a hidden file and a deleted one.
files="$work/files"
mkdir -p "$files"
printf 'Dear friend,\n' > "$files/letter.txt"
head -c 9000 /dev/zero > "$files/photo.jpg"
echo notes > "$files/notes.txt"
/usr/sbin/mkfs.fat -C -F 32 -s 1 -n PICTURES --invariant "$work/v32.img" 40960 >/dev/null
export MTOOLS_SKIP_CHECK=1
img=(-i "$work/v32.img")
mmd "${img[@]}" ::Documents
mcopy "${img[@]}" "$files/letter.txt" "::Documents/A letter to a friend.txt"
mmd "${img[@]}" "::Documents/Holiday pictures"
mcopy "${img[@]}" "$files/photo.jpg" "::Documents/Beach at sunset.jpg"
mcopy "${img[@]}" "$files/notes.txt" ::Documents/NOTES.TXT
mattrib "${img[@]}" +h ::Documents/NOTES.TXT
mcopy "${img[@]}" "$files/notes.txt" ::Documents/README.TXT
mcopy "${img[@]}" "$files/notes.txt" ::Documents/OLD.TXT
mdel "${img[@]}" ::Documents/OLD.TXT
XDG_RUNTIME_DIR="$work" QT_QPA_PLATFORM=offscreen \
  "$root/build/quillo-hex-shot" "$work/v32.img" "$root/docs/hexexplorer.png" "DOCUME~1   "
echo "wrote docs/main-window.png, docs/main-window-running.png, docs/preferences-defrag.png and docs/hexexplorer.png"

# The cleaner's duplicate list, under a real X server: a demo volume with a
# few names found twice or three times.
python3 "$root/tests/tools/mkfragimg" "$work/dups.img" --fat 16 --size-mb 24 --files 80 --dirs 5 --seed 11 >/dev/null
printf 'Dear Sir,\r\nthe figures follow.\r\n' > "$work/letter"
head -c 5000 /dev/zero | tr '\0' 'x' > "$work/notes"
put() { mcopy -o -i "$work/dups.img" "$1" "::$2"; }
mmd -i "$work/dups.img" ::Letters ::Letters/2023 ::Backup 2>/dev/null || true
put "$work/letter" "Letters/Letter to the bank.txt"
put "$work/letter" "Letters/2023/Letter to the bank.txt"
put "$work/letter" "Backup/Letter to the bank.txt"
put "$work/notes" "Meeting notes.doc"
put "$work/notes" "Backup/Meeting notes.doc"
rm -f "$work/quillo.ini"
XDG_CONFIG_HOME="$work" XDG_RUNTIME_DIR="$work" xvfb-run -a -s "-screen 0 1280x1024x24" \
  "$root/build/quillo-cleaner-shot" "$work/dups.img" "$root/docs/duplicate-list.png" Duplicates 640x300
echo "wrote docs/duplicate-list.png"
