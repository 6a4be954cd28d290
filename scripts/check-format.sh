#!/usr/bin/env bash
# Fails, naming the files, when any C or C++ file of the repository differs
# from what clang-format makes of it with .clang-format. One clang-format for
# all of them: starting one per file cost more than the checking.
set -euo pipefail
cd "$(dirname "$0")/.."
format=clang-format-14
command -v "$format" >/dev/null || { echo "$format is missing: bash scripts/deps.sh test installs it" >&2; exit 2; }
mapfile -t files < <(git ls-files --cached --others --exclude-standard '*.cpp' '*.h' '*.c')
said=$("$format" --dry-run --Werror "${files[@]}" 2>&1) && status=0 || status=$?
# Each difference is reported as FILE:LINE:COLUMN: error: ...
mapfile -t unformatted < <(printf '%s\n' "$said" | sed -n 's/^\(.*\):[0-9]*:[0-9]*: error: .*/\1/p' | sort -u)
if [ "$status" -ne 0 ] && [ ${#unformatted[@]} -eq 0 ]; then
  printf '%s\n' "$said" >&2
  exit 2
fi
if [ ${#unformatted[@]} -gt 0 ]; then
  echo "Not formatted as .clang-format says:" >&2
  printf '  %s\n' "${unformatted[@]}" >&2
  echo "Format them with:  $format -i ${unformatted[*]}" >&2
  exit 1
fi
echo "all ${#files[@]} C and C++ files formatted"
