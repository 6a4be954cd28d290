#!/usr/bin/env bash
# Checks the formatting, builds everything (host, host with sanitizers, the
# Windows cross-build) and runs every test, then each fuzz harness briefly.
# The Windows programs' test under Wine runs beside the sanitizer tests: it
# waits on Wine more than it computes.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh test
bash scripts/deps.sh wine
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
ctest --preset host

echo "== tests: Windows programs under Wine, in the background"
wine_log=build/windows/wine-test.log
# In a session of its own, so that an interrupted run ends it with Wine and
# its X display.
setsid bash scripts/wine-test.sh >"$wine_log" 2>&1 &
wine_pid=$!
trap 'kill -- "-$wine_pid" 2>/dev/null || true' EXIT

echo "== tests: asan"
asan_status=0
ctest --preset asan || asan_status=$?

echo "== tests: Windows programs under Wine"
wine_status=0
wait "$wine_pid" || wine_status=$?
trap - EXIT
if [ "$wine_status" -ne 0 ]; then
  cat "$wine_log"
  echo "the Wine test failed (status $wine_status); its log: $wine_log" >&2
  exit 1
fi
tail -n 1 "$wine_log"
[ "$asan_status" -eq 0 ] || exit "$asan_status"

echo "== fuzz: a few seconds each"
bash scripts/fuzz.sh
