#!/usr/bin/env bash
# The fuzzers: builds them (clang, 32-bit, libFuzzer with ASan and UBSan)
# and runs each for a bounded time from its committed seed corpus: the
# plug-in's command stream the given seconds, the client's NUMBER and DATE
# code a third of them. New inputs go to scratch copies, so the committed
# corpora change only by hand (plugin_fuzz -merge=1 tests/fuzz/corpus DIR).
# Any finding fails it and is left as build/linux-i686-fuzz/crash-*.
#   bash scripts/fuzz.sh [seconds, default 60]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
cmake --preset linux-i686-fuzz >/dev/null
cmake --build --preset linux-i686-fuzz -j "$(nproc 2>/dev/null || echo 2)"
build=build/linux-i686-fuzz
work=$(mktemp -d)
trap 'rm -rf "$work" /tmp/zorvan-fuzz-*' EXIT
cp -r tests/fuzz/corpus "$work/corpus"
cp -r tests/fuzz/oracle_corpus "$work/oracle_corpus"
cd "$build"
LD_LIBRARY_PATH=embedded-client ASAN_OPTIONS=detect_leaks=0:quarantine_size_mb=32:malloc_context_size=8 \
  ./plugin_fuzz -max_total_time="$seconds" -rss_limit_mb=2048 -max_len=2048 -print_final_stats=1 "$work/corpus" 2>&1 |
  grep -E "^(#|Done|stat::|==|SUMMARY|artifact)" | tail -12
./oracle_fuzz -max_total_time="$((seconds / 3 + 1))" -print_final_stats=1 "$work/oracle_corpus" 2>&1 |
  grep -E "^(Done|==|SUMMARY|artifact)|runtime error" | tail -6
