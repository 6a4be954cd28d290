#!/usr/bin/env bash
# Runs the real host program with live clocks in a terminal (tmux) for a while
# and reports its CPU time and the bytes it writes to the terminal per second.
# Usage: bench/live_clocks.sh [seconds]   (default 60; needs a host build)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
bin=build/host/tolvane
[ -x "$bin" ] || { echo "Build first: cmake --preset host && cmake --build build/host" >&2; exit 2; }

work=$(mktemp -d)
sock=tolvane-bench-$$
trap 'tmux -L $sock kill-server 2>/dev/null || true; rm -rf "$work"' EXIT
build/host/tolvane-pc --pc "$work/pc" create --profile y2k-ready >/dev/null

tmux -L "$sock" new-session -d -x 100 -y 36 "cd $work && TOLVANE_PC=$work/pc $PWD/$bin"
sleep 1
tmux -L "$sock" send-keys Enter          # past the About box
sleep 2                                  # the clocks are running
pid=$(pgrep -n -f "$PWD/$bin")
tmux -L "$sock" pipe-pane -o "cat > $work/terminal.bytes"

ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
hz=$(getconf CLK_TCK)
start=$(ticks)
sleep "$seconds"
end=$(ticks)
tmux -L "$sock" pipe-pane
bytes=$(stat -c %s "$work/terminal.bytes")

awk -v t=$((end - start)) -v hz="$hz" -v s="$seconds" -v b="$bytes" 'BEGIN {
  printf "CPU: %.3f s in %d s = %.3f %% of one core\n", t / hz, s, 100 * t / hz / s
  printf "Terminal output: %d bytes in %d s = %.0f bytes/s\n", b, s, b / s
}'
