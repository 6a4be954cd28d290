#!/usr/bin/env bash
# Checks the formatting, builds everything (host, host with sanitizers, the
# Windows cross-build) and runs every test, then each fuzz harness briefly.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh test
jobs=2

echo "== format"
bash scripts/check-format.sh

for preset in host asan windows; do
  echo "== build: $preset"
  [ -f "build/$preset/CMakeCache.txt" ] || cmake --preset "$preset" >/dev/null
  cmake --build "build/$preset" -j"$jobs"
done

echo "== run.sh on the built checkout"
bash scripts/check-second-run.sh

echo "== tests: host"
ctest --preset host -j"$jobs"
echo "== tests: asan"
ctest --preset asan -j"$jobs"
echo "== fuzz: a few seconds each"
bash scripts/fuzz.sh
echo "== tests: Windows programs under Wine"
bash scripts/wine-test.sh
