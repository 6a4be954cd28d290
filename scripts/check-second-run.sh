#!/usr/bin/env bash
# Checks the promise of scripts/run.sh: on a checkout that is fully built it
# starts the program at once. Configures the host build again first, as the
# README's commands may, which must leave nothing to rebuild; then run.sh,
# without a terminal, must build nothing and only let the program say that it
# needs one.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset host >/dev/null
pc=$(mktemp -d /tmp/tolvane-second-run.XXXXXX)
trap 'rm -rf "$pc"' EXIT
status=0
said=$(TOLVANE_PC=$pc bash scripts/run.sh </dev/null 2>&1) || status=$?
expected="tolvane: needs a terminal to show its windows"
if [ "$status" -ne 2 ] || [ "$said" != "$expected" ]; then
  echo "scripts/run.sh on a built checkout did more than start the program (status $status):" >&2
  printf '%s\n' "$said" >&2
  exit 1
fi
echo "run.sh started the program at once"
