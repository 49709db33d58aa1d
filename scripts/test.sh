#!/usr/bin/env bash
# Everything, from a fresh Debian 12 machine: set-up, both builds, and every
# test (Linux, Linux under the sanitizers and valgrind, Windows).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)

bash scripts/setup.sh

for preset in linux-i686 linux-i686-sanitize windows-i686; do
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset"
done

echo "== coverage of the plug-in"
bash scripts/coverage.sh

echo "== fuzz (60 seconds from the seed corpus)"
bash scripts/fuzz.sh 60

echo "== release"
bash scripts/release.sh
