#!/usr/bin/env bash
# Starts Tolvane in this terminal on the simulated PC ($TOLVANE_PC, else the
# per-user default, created as a Year 2000 ready PC). The first run installs
# the missing packages and builds, saying so as it goes; once everything is in
# place it prints nothing and starts at once.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/progress.sh
build=build/host
targets=(tolvane tolvane-pc faltrem)

# Nothing to build: the build files are there and ninja finds nothing to do
# for the programs (a changed CMakeLists.txt counts as work: CMake runs again).
built() {
  [ -f "$build/build.ninja" ] &&
    [ "$(cd "$build" && ninja -n "${targets[@]}" 2>&1)" = "ninja: no work to do." ]
}

missing=$(bash scripts/deps.sh --missing run)
if [ -n "$missing" ] || ! built; then
  if [ -n "$missing" ]; then
    count=$(wc -w <<<"$missing")
    echo "Tolvane: first run, installing $count package$([ "$count" -eq 1 ] || echo s)" \
      "(${missing//$'\n'/ }) and building (a few minutes)..."
    bash scripts/deps.sh run || { echo "Tolvane: could not install the packages it needs (see above)." >&2; exit 2; }
  elif [ ! -f "$build/build.ninja" ]; then
    echo "Tolvane: first run, building (about a minute)..."
  else
    echo "Tolvane: building what changed..."
  fi
  if [ ! -f "$build/build.ninja" ]; then
    log=$(mktemp /tmp/tolvane-configure.XXXXXX.log)
    if ! cmake --preset host 2>&1 | show_progress "$log"; then
      show_failure "$log" "Tolvane: configuring the build failed (cmake --preset host)."
      exit 1
    fi
    rm -f "$log"
  fi
  cmake --build "$build" --target "${targets[@]}" -j2 ||
    { echo "Tolvane: the build failed (the errors are above; again: cmake --build $build)." >&2; exit 1; }
fi
exec "$build/tolvane" "$@"
