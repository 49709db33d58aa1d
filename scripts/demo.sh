#!/usr/bin/env bash
# The demo: set-up, the Linux build, and a Zorvan program played by the host
# emulator against the embedded client.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset linux-i686 >/dev/null
cmake --build --preset linux-i686 -j "$(nproc 2>/dev/null || echo 2)" --target zorvan_demo
build=build/linux-i686
LD_LIBRARY_PATH="$build/embedded-client" "$build/zorvan_demo" "$build/ZorvanOCI.so" "$build/demo-data"
