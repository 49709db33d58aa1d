#!/usr/bin/env bash
# Installs everything the two builds and the tests need on a Debian 12 machine.
# Idempotent: a second run only checks what is there.
set -euo pipefail

need_root() { if [ "$(id -u)" -ne 0 ]; then echo "setup: run as root (apt-get)" >&2; exit 1; fi; }

packages=(
  cmake make g++ g++-multilib
  g++-mingw-w64-i686 gcc-mingw-w64-i686 binutils-mingw-w64-i686
  libsqlite3-dev:i386 libgtest-dev:i386 libbenchmark-dev:i386
  valgrind libc6-dbg:i386
  googletest
  xz-utils tcl
)
wine_packages=(wine wine32:i386)

missing=()
for p in "${packages[@]}" "${wine_packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ! dpkg --print-foreign-architectures | grep -qx i386; then missing+=("(i386 multiarch)"); fi

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all packages present"
else
  need_root
  echo "setup: installing ${missing[*]}"
  dpkg --add-architecture i386
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${packages[@]}"
  apt-get install -y -q --no-install-recommends "${wine_packages[@]}"
fi
