#!/usr/bin/env bash
# Installs the Debian packages that the builds and tests need, only those that
# are missing, so a machine that has them all does nothing slow.
# Usage: scripts/deps.sh run|test
set -euo pipefail

run_packages=(cmake ninja-build g++ pkg-config libncurses-dev
              g++-mingw-w64-i686-win32 binutils-mingw-w64-i686)
test_packages=(libgtest-dev libgmock-dev libbenchmark-dev tmux)

case "${1:-test}" in
  run) wanted=("${run_packages[@]}") ;;
  test) wanted=("${run_packages[@]}" "${test_packages[@]}") ;;
  *) echo "usage: $0 run|test" >&2; exit 2 ;;
esac

missing=()
for p in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Run as root, or install: ${missing[*]}" >&2; exit 2; }
  sudo=sudo
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
