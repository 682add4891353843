#!/usr/bin/env bash
# Builds the Debian package quillo_VERSION_ARCH.deb into build-package/ from
# this tree, with Debian's hardening flags, then shows its dependencies and
# file list and runs lintian on it. Install it with
#   sudo apt-get install ./build-package/quillo_*.deb
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/scripts/setup.sh"
# The tools of this script alone: CI builds no package.
for tool in lintian dpkg-shlibdeps; do
  command -v "$tool" >/dev/null || {
    echo "package: installing lintian and dpkg-dev" >&2
    SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends lintian dpkg-dev >/dev/null
    break
  }
done
out="$root/build-package"
export CFLAGS="$(dpkg-buildflags --get CFLAGS)"
export CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS)"
export CPPFLAGS="$(dpkg-buildflags --get CPPFLAGS)"
export LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
cmake -S "$root" -B "$out" -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS="$CPPFLAGS $CXXFLAGS" -DQUILLO_TESTS=OFF >/dev/null
cmake --build "$out" -j"$(nproc)" -- --no-print-directory -s
(cd "$out" && rm -f quillo_*.deb && cpack -G DEB >/dev/null)
deb="$(ls "$out"/quillo_*.deb)"
echo "== $deb"
dpkg-deb --field "$deb" Package Version Architecture Depends Recommends
echo "== files"
dpkg-deb --contents "$deb" | awk '{print $1, $6}'
echo "== lintian"
lintian --info "$deb" && echo "lintian: no errors"
