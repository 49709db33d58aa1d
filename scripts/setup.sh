#!/usr/bin/env bash
# Installs everything the two builds and the tests need on a Debian 12 machine.
# Idempotent: a second run only checks what is there.
set -euo pipefail
cd "$(dirname "$0")/.."

need_root() { if [ "$(id -u)" -ne 0 ]; then echo "setup: run as root (apt-get)" >&2; exit 1; fi; }

packages=(
  cmake make g++ g++-multilib
  g++-mingw-w64-i686 gcc-mingw-w64-i686 binutils-mingw-w64-i686
  libsqlite3-dev:i386 libgtest-dev:i386 libbenchmark-dev:i386
  valgrind libc6-dbg:i386
  googletest
  xz-utils tcl
  clang libclang-rt-14-dev gcovr
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

# SQLite for the Windows build. Debian ships no mingw build of it, so the
# amalgamation is made once from Debian's own source package and kept under
# build/third_party/sqlite, where the Windows build finds it.
third_party=build/third_party/sqlite
if [ ! -f "$third_party/sqlite3.c" ]; then
  need_root
  if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/; then
    # The same archives the machine installs from, for sources as well.
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
      sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
        > /etc/apt/sources.list.d/zorvan-sources.sources
    else
      sed -n 's/^deb /deb-src /p' /etc/apt/sources.list > /etc/apt/sources.list.d/zorvan-sources.list
    fi
    apt-get update -q
  fi
  work=$(mktemp -d)
  chown _apt "$work" 2>/dev/null || true  # apt's download user writes there
  (cd "$work" && apt-get source --download-only -q sqlite3 >/dev/null)
  orig=$(ls "$work"/sqlite3_*.orig.tar.* | head -n 1)
  mkdir -p "$work/src"
  tar -xf "$orig" -C "$work/src" --strip-components=1
  (cd "$work/src" && ./configure --disable-tcl >/dev/null && make sqlite3.c >/dev/null)
  mkdir -p "$third_party"
  cp "$work/src/sqlite3.c" "$work/src/sqlite3.h" "$third_party/"
  rm -rf "$work"
  echo "setup: SQLite amalgamation made in $third_party"
fi
