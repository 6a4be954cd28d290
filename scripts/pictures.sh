#!/usr/bin/env bash
# Makes the README's pictures again from the real programs:
#   docs/tolvane-terminal.png  build/host/tolvane in a terminal (tmux) during a
#                              test, just past midnight 2000, on a PC of its own
#                              on a virtual clock, drawn by scripts/terminal-png.py;
#   docs/tolvane-wine.png      tolvane.exe under Wine: the Wine test's picture,
#                              the test run again when the picture is missing
#                              or older than tolvane.exe.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=docs
columns=80 rows=28
python=/usr/bin/python3  # Debian's, which python3-pil goes with

bash scripts/deps.sh pictures
[ -f build/host/build.ninja ] || cmake --preset host >/dev/null
cmake --build build/host --target tolvane tolvane-pc faltrem -j2 >/dev/null ||
  { echo "pictures: the build failed; see: cmake --build build/host" >&2; exit 2; }
"$python" scripts/terminal-png.py --self-check ||
  { echo "pictures: the terminal renderer fails its self-check" >&2; exit 1; }
mkdir -p "$out"

# ---- The terminal ----

tmp=$(mktemp -d /tmp/tolvane-pictures.XXXXXX)
session=pictures
in_tmux() { tmux -S "$tmp/tmux.socket" -f /dev/null "$@"; }
trap 'in_tmux kill-server 2>/dev/null || true; rm -rf "$tmp"' EXIT
export TOLVANE_PC=$tmp/pc
pc() { build/host/tolvane-pc "$@"; }

screen() { in_tmux capture-pane -p -t "$session"; }
# Waits up to 10 s for the screen to show `pattern` `count` times (once by
# default); ends the script with what it shows if it never does.
wait_for() {
  local pattern=$1 count=${2:-1}
  for _ in $(seq 200); do
    [ "$(screen | grep -Ec -- "$pattern")" -ge "$count" ] && return
    sleep 0.05
  done
  echo "pictures: the terminal never showed \"$pattern\" ($count times); it shows:" >&2
  screen >&2
  exit 1
}

pc create --virtual --start '1999-12-20 10:00:00' >/dev/null
in_tmux start-server \; set -g default-terminal tmux-256color \; \
  new-session -d -s "$session" -x "$columns" -y "$rows" -c "$tmp" "$root/build/host/tolvane"
program=$(in_tmux display -p -t "$session" '#{pane_pid}')
wait_for 'About Tolvane'
in_tmux send-keys -t "$session" Enter
wait_for StopClocks
in_tmux send-keys -t "$session" Enter  # TEST, the default button
wait_for 'Continue with Test'
in_tmux send-keys -t "$session" Enter  # OK
# The program sets the clock once OK is pressed; the virtual clock stands
# still meanwhile, so midnight comes only after that.
for _ in $(seq 200); do
  pc show | grep -q 'OS local time: *1999-12-31 23:59:55' && break
  sleep 0.05
done
pc advance 7s >/dev/null
wait_for '01-01-2000   00:00:02' 4
in_tmux capture-pane -e -p -N -t "$session" >"$tmp/screen.txt"
"$python" scripts/terminal-png.py "$tmp/screen.txt" "$out/tolvane-terminal.png" "${columns}x$rows"
echo "pictures: $out/tolvane-terminal.png"

# Ctrl+C is the close command: the program puts the date back and ends.
in_tmux send-keys -t "$session" C-c
for _ in $(seq 100); do
  in_tmux has-session -t "$session" 2>/dev/null || break
  sleep 0.05
done
if in_tmux has-session -t "$session" 2>/dev/null; then
  echo "pictures: tolvane did not end on Ctrl+C; ending it" >&2
  kill "$program" 2>/dev/null || true
fi

# ---- Wine ----

wine_png=build/windows/wine-main-dialog.png
if [ -f build/windows/build.ninja ]; then
  cmake --build build/windows -j2 >/dev/null ||
    { echo "pictures: the Windows build failed; see: cmake --build build/windows" >&2; exit 2; }
fi
if [ ! -f "$wine_png" ] || [ build/windows/tolvane.exe -nt "$wine_png" ]; then
  echo "pictures: running the Wine test for its picture of tolvane.exe (a few minutes)..."
  log=build/pictures-wine-test.log
  bash scripts/wine-test.sh >"$log" 2>&1 || echo "pictures: the Wine test failed: $(tail -1 "$log") (see $log)" >&2
  [ "$wine_png" -nt build/windows/tolvane.exe ] ||
    { echo "pictures: the Wine test left no picture of this tolvane.exe (see $log)" >&2; exit 1; }
fi
# Pixel for pixel, compressed: the driver's picture comes uncompressed.
"$python" -c 'import sys; from PIL import Image; Image.open(sys.argv[1]).save(sys.argv[2], optimize=True)' \
  "$wine_png" "$out/tolvane-wine.png"
echo "pictures: $out/tolvane-wine.png"
