#!/usr/bin/env bash
# Fails, naming the files, when any C or C++ file of the repository differs
# from what clang-format makes of it with .clang-format.
set -euo pipefail
cd "$(dirname "$0")/.."
format=clang-format-14
command -v "$format" >/dev/null || { echo "$format is missing: bash scripts/deps.sh test installs it" >&2; exit 2; }
unformatted=()
while IFS= read -r file; do
  "$format" --dry-run --Werror "$file" >/dev/null 2>&1 || unformatted+=("$file")
done < <(git ls-files --cached --others --exclude-standard '*.cpp' '*.h' '*.c')
if [ ${#unformatted[@]} -gt 0 ]; then
  echo "Not formatted as .clang-format says:" >&2
  printf '  %s\n' "${unformatted[@]}" >&2
  echo "Format them with:  $format -i ${unformatted[*]}" >&2
  exit 1
fi
echo "all $(git ls-files --cached --others --exclude-standard '*.cpp' '*.h' '*.c' | wc -l) C and C++ files formatted"
