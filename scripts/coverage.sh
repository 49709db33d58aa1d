#!/usr/bin/env bash
# Line and branch coverage of the plug-in from the whole suite (the Linux
# tests, without valgrind): a summary, and the lines not reached in
# build/linux-i686-coverage/coverage.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/linux-i686-coverage
cmake --preset linux-i686-coverage >/dev/null
cmake --build --preset linux-i686-coverage -j "$(nproc 2>/dev/null || echo 2)"
find "$build" -name '*.gcda' -delete
# The client's allocation-failure run exercises the client, not the plug-in.
ctest --preset linux-i686-coverage -E "valgrind|client_faults"
gcovr --root . --filter 'plugin/' --object-directory "$build" --exclude-unreachable-branches \
  --exclude-throw-branches --txt "$build/coverage.txt" --print-summary
