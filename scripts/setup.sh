#!/usr/bin/env bash
# Installs every Debian package Quillo needs to build, test and run.
# Idempotent: when everything is present it prints nothing and exits 0.
set -euo pipefail

packages=(
  g++ cmake make pkg-config ccache
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev libgl-dev
  libgtest-dev
  clang libclang-rt-14-dev
  dosfstools mtools
  desktop-file-utils appstream man-db librsvg2-bin
  libsystemd-dev dbus-daemon
  trash-cli poppler-utils
  libsqlite3-dev sqlite3 xdg-user-dirs
  python3 python3-dbus python3-gi
  xvfb xauth fonts-dejavu-core
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}" >&2
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq >/dev/null
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
