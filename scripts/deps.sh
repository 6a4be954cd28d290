#!/usr/bin/env bash
# Installs the Debian packages that the builds and tests need, only those that
# are missing, so a machine that has them all does nothing slow.
# Usage: scripts/deps.sh run|test|wine|pictures|bench
#        scripts/deps.sh --missing run|test|pictures|bench   (lists them, installs nothing)
set -euo pipefail
# shellcheck source=scripts/progress.sh
source "$(dirname "$0")/progress.sh"

# The terminal build compiles the program's resources with windres alone,
# from MinGW's binutils, without the Windows compiler.
run_packages=(cmake ninja-build g++ pkg-config libncurses-dev binutils-mingw-w64-i686)
# The Windows cross-build.
windows_packages=(g++-mingw-w64-i686-win32)
# The Windows build's distribution: a zip and a floppy image.
dist_packages=(zip mtools)
# The fuzz harnesses (scripts/fuzz.sh) need clang 14 and its libFuzzer, which
# comes with its compiler runtime.
test_packages=(libgtest-dev libgmock-dev libbenchmark-dev tmux clang-format-14
               clang-14 libclang-rt-14-dev)
# The qemu tests boot the program's clock code on QEMU's PC and its BIOS.
qemu_packages=(qemu-system-x86)
# The Windows programs under Wine (scripts/wine-test.sh): 32-bit Wine, its
# 64-bit wineserver, and a virtual X display.
wine_packages=(wine wine32:i386 wine64 xvfb)
# The README's picture of the terminal (scripts/pictures.sh).
picture_packages=(tmux python3-pil fonts-dejavu-core)
# The live clocks' cost beside another terminal clock (bench/live_clocks.sh);
# not part of the tests.
bench_packages=(tmux tty-clock)

export DEBIAN_FRONTEND=noninteractive
apt_updated=0

# Runs a command as root, through sudo when this is not root.
as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; return; fi
  command -v sudo >/dev/null || { echo "Run as root, or run: $*" >&2; exit 2; }
  sudo "$@"
}

# apt-get with its progress shown as it goes; a failure says so and ends the
# script with status 2.
apt_get() {
  local log
  log=$(mktemp /tmp/tolvane-apt.XXXXXX.log)
  if ! as_root apt-get -q "$@" 2>&1 | show_progress "$log"; then
    show_failure "$log" "Installing packages failed: apt-get $*"
    exit 2
  fi
  rm -f "$log"
}

apt_update() {
  [ "$apt_updated" -eq 1 ] && return
  apt_get update
  apt_updated=1
}

# Those of the named packages that are not installed, one a line.
missing_of() {
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || echo "$p"
  done
}

install_missing() {
  local missing
  mapfile -t missing < <(missing_of "$@")
  [ ${#missing[@]} -eq 0 ] && return
  echo "Installing missing packages: ${missing[*]}"
  apt_update
  apt_get install -y --no-install-recommends "${missing[@]}"
}

# The URI this machine already uses for the Debian release it runs.
debian_uri() {
  local codename=$1
  awk -v want="$codename" '
    /^URIs:/ { uris = $2 }
    /^Suites:/ { for (i = 2; i <= NF; i++) if ($i == want) found = 1 }
    /^$/ { if (found && uris != "") { print uris; exit } found = 0; uris = "" }
    END { if (found && uris != "") print uris }' /etc/apt/sources.list.d/*.sources 2>/dev/null |
    head -1
  [ -f /etc/apt/sources.list ] &&
    awk -v want="$codename" '$1 == "deb" && $3 == want { print $2; exit }' /etc/apt/sources.list
  return 0
}

# On a kernel that runs no 32-bit x86 code, Wine's 32-bit side runs under
# qemu-i386. Before qemu 8 every Wine process spent a minute reserving its
# address space, so an older release's qemu comes from its backports.
install_qemu_if_needed() {
  /usr/lib/wine/wine --version >/dev/null 2>&1 && return
  local version
  version=$(dpkg-query -W -f='${Version}' qemu-user 2>/dev/null || true)
  if [ -n "$version" ] && dpkg --compare-versions "$version" ge 1:8; then return; fi

  apt_update
  local candidate codename target=()
  candidate=$(apt-cache policy qemu-user | awk '/Candidate:/ { print $2 }')
  if ! dpkg --compare-versions "${candidate:-0}" ge 1:8; then
    codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
    if ! grep -rqs "$codename-backports" /etc/apt/sources.list /etc/apt/sources.list.d/; then
      local uri
      uri=$(debian_uri "$codename" | head -1)
      [ -n "$uri" ] || { echo "No Debian source found for $codename" >&2; exit 2; }
      printf 'Types: deb\nURIs: %s\nSuites: %s-backports\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
        "$uri" "$codename" | as_root tee /etc/apt/sources.list.d/backports.sources >/dev/null
      apt_updated=0
      apt_update
    fi
    target=(-t "$codename-backports")
  fi
  echo "Installing qemu-user ${target[*]}"
  apt_get install -y --no-install-recommends "${target[@]}" qemu-user
}

# Sets `packages` to those of a mode that has no steps beyond installing them.
packages_of() {
  case "$1" in
    run) packages=("${run_packages[@]}") ;;
    test) packages=("${run_packages[@]}" "${windows_packages[@]}" "${test_packages[@]}"
                    "${dist_packages[@]}" "${qemu_packages[@]}") ;;
    pictures) packages=("${run_packages[@]}" "${picture_packages[@]}") ;;
    bench) packages=("${run_packages[@]}" "${bench_packages[@]}") ;;
    *) echo "usage: $0 [--missing] run|test|pictures|bench, or $0 wine" >&2; exit 2 ;;
  esac
}

case "${1:-test}" in
  --missing) packages_of "${2:-}"; missing_of "${packages[@]}" ;;
  wine)
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
      as_root dpkg --add-architecture i386
      apt_updated=0
    fi
    install_missing "${run_packages[@]}" "${windows_packages[@]}" "${dist_packages[@]}" \
      "${wine_packages[@]}"
    install_qemu_if_needed
    ;;
  *) packages_of "$1"; install_missing "${packages[@]}" ;;
esac
