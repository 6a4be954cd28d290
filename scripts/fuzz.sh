#!/usr/bin/env bash
# Builds the fuzz harnesses (the fuzz preset: clang with libFuzzer,
# AddressSanitizer and UndefinedBehaviorSanitizer) and runs each for a few
# seconds from a copy of its seed corpus in fuzz/corpus/<name>/, with a fixed
# seed. A crash, a sanitizer's report or a hang fails the run; the input that
# did it is kept in build/fuzz/crashes/.
# Usage: scripts/fuzz.sh [seconds per harness, default 5]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-5}
case "$seconds" in
  '' | *[!0-9]*) echo "usage: $0 [seconds per harness]" >&2; exit 2 ;;
esac

[ -f build/fuzz/CMakeCache.txt ] || cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2
mkdir -p build/fuzz/crashes

failed=0
for corpus in fuzz/corpus/*/; do
  name=$(basename "$corpus")
  harness=build/fuzz/${name}_fuzz
  work=$(mktemp -d "/tmp/tolvane-fuzz-$name.XXXXXX")
  log=build/fuzz/$name.log
  cp "$corpus"* "$work/"
  if "$harness" -seed=1 -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
      -artifact_prefix="build/fuzz/crashes/$name-" "$work" >"$log" 2>&1; then
    runs=$(awk '/stat::number_of_executed_units/ { print $2 }' "$log")
    cover=$(grep -o 'cov: [0-9]*' "$log" | tail -1)
    echo "fuzz $name: $runs runs in ${seconds}s, $cover, no crash"
  else
    echo "fuzz $name: FAILED (inputs in build/fuzz/crashes/, log in $log)"
    tail -40 "$log"
    failed=1
  fi
  rm -rf "$work"
done
exit "$failed"
