#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR and runs the installed programs
# from there: the console program checks a demo disk, the log-in launcher
# finds the window program beside it and that one (offscreen) defragments
# the disk, the window program lists its help topics; the desktop entry,
# metainfo and man pages pass their validators where those are installed.
#   install_test.sh BUILD_DIR TOOLS_DIR
set -euo pipefail
build="$1" tools="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# Stripped, as the package installs them: debug information names the build tree.
DESTDIR="$work/root" cmake --install "$build" --prefix /usr --strip >/dev/null
usr="$work/root/usr"
for f in bin/quillo bin/quillo-cli bin/quillo-autorun \
         share/applications/org.example.Quillo.desktop share/metainfo/org.example.Quillo.metainfo.xml \
         share/icons/hicolor/scalable/apps/org.example.Quillo.svg \
         share/man/man1/quillo.1.gz share/man/man1/quillo-cli.1.gz share/man/man1/quillo-autorun.1.gz \
         share/bash-completion/completions/quillo-cli share/doc/quillo/copyright share/doc/quillo/changelog.gz; do
  [ -e "$usr/$f" ] || fail "$f not installed"
done
for size in 16 22 24 32 48 64 128 256; do
  png="$usr/share/icons/hicolor/${size}x${size}/apps/org.example.Quillo.png"
  dims="$(python3 -c 'import struct, sys; print(*struct.unpack(">II", open(sys.argv[1], "rb").read(24)[16:]))' "$png")"
  [ "$dims" = "$size $size" ] || fail "$png is $dims pixels, not $size"
done
# Nothing of the build tree is baked into the programs.
! grep -q -a "$build" "$usr/bin/quillo" "$usr/bin/quillo-cli" "$usr/bin/quillo-autorun" ||
  fail "a program names the build tree"

if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$usr/share/applications/org.example.Quillo.desktop" || fail "desktop entry"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$usr/share/metainfo/org.example.Quillo.metainfo.xml" >/dev/null ||
    fail "metainfo: $(appstreamcli validate --no-net "$usr/share/metainfo/org.example.Quillo.metainfo.xml")"
fi
if command -v man >/dev/null; then
  for page in "$usr"/share/man/man1/*.1.gz; do
    warnings="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)"
    [ -z "$warnings" ] || fail "$page: $warnings"
  done
fi

export XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=offscreen
mkdir -p "$XDG_CONFIG_HOME"
"$usr/bin/quillo-cli" --version | grep -qx "quillo-cli (Quillo) [0-9.]*" || fail "quillo-cli --version"
"$usr/bin/quillo" --help-topics | grep -q $'^10\t' || fail "the installed window program has no help topics"

image="$work/demo.img"
python3 "$tools/mkfragimg" "$image" --fat 16 --size-mb 16 --files 40 --seed 3 >/dev/null
digest() { python3 "$tools/fatcheck" --contents-digest "$image"; }
before="$(digest)"
"$usr/bin/quillo-cli" --disk "$image" check C >"$work/check.txt" || fail "check: $(cat "$work/check.txt")"
grep -q "^Fragmented files = " "$work/check.txt" || fail "check printed no log: $(cat "$work/check.txt")"

# The launcher: a run due at every log-in starts the window program from the
# launcher's own folder, which defragments the AutoDefrag drive and ends.
printf '[Drives]\nDisk1=%s\n[Options]\nInterval=0\nAutoDefrag=C\nAutoShow=0\n' "$image" >"$XDG_CONFIG_HOME/quillo.ini"
timeout 120 "$usr/bin/quillo-autorun" --today 2024-06-10 || fail "quillo-autorun ended with $?"
grep -q "^Date=2024-06-10" "$XDG_CONFIG_HOME/quillo.ini" || fail "the launcher did not record the run"
fsck.fat -n "$image" >/dev/null || fail "fsck.fat after the run"
[ "$(digest)" = "$before" ] || fail "file contents changed"
"$usr/bin/quillo-cli" --disk "$image" --json check C | grep -q '"fragmented_files": 0' ||
  fail "the window program did not defragment"
echo "install test: 1 passed, 0 failed"
