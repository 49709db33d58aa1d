#!/usr/bin/env bash
# Instructions the plug-in's own code spends on one command, counted by
# callgrind (repeatable on a shared machine, unlike time): collection is on
# inside ZorvanPack and off again inside every OCI function and the host's
# callback, and each command runs N and 2N times so that the set-up cancels
# out: (count at 2N - count at N) / N.
#   bash bench/command_cost.sh [build directory, default build/linux-i686]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/linux-i686}
export LD_LIBRARY_PATH="$build/embedded-client"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
n=500

count() {  # what, repetitions
  valgrind --tool=callgrind --callgrind-out-file="$out/$1.$2" --collect-atstart=no \
    --toggle-collect='ZorvanPack' --toggle-collect='OCI*' --toggle-collect='*Host::callback*' \
    "$build/command_cost" "$1" "$2" >/dev/null 2>&1
  awk '/^(summary|totals):/ { print $2; exit }' "$out/$1.$2"
}

report() {  # what, label, target
  local one two
  one=$(count "$1" "$n")
  two=$(count "$1" $((2 * n)))
  printf '%-48s %6d instructions%s\n' "$2" $(((two - one) / n)) "${3:+ (target $3)}"
}

report attr "selector 67 on a service context:" 200
report fetch "a one-row fetch into five defined variables:"
