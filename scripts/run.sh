#!/usr/bin/env bash
# Builds Tolvane for the host and starts it in this terminal on the simulated PC
# ($TOLVANE_PC, else the per-user default, created as a Year 2000 ready PC).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh run
[ -f build/host/CMakeCache.txt ] || cmake --preset host >/dev/null
cmake --build build/host --target tolvane tolvane-pc faltrem -j2 >/dev/null || {
  echo "Build failed; see: cmake --build build/host" >&2; exit 1; }
exec build/host/tolvane "$@"
