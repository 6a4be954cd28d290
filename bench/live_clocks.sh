#!/usr/bin/env bash
# What a live clock costs while nobody touches it: the real host program and
# tty-clock (seconds shown), each in a terminal of its own (a tmux server of
# its own, 256 colours, 100x36), side by side for the same stretch of time.
# For each: CPU of one core (the process's threads and its tmux server's),
# bytes and writes to the terminal per second, and wakes per second (the
# times it went to sleep and was woken); then the ratio of the two CPUs.
# Usage: bench/live_clocks.sh [seconds]   (default 60; needs a host build and
# tty-clock: bash scripts/deps.sh bench)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
bin=$PWD/build/host/tolvane
[ -x "$bin" ] || { echo "Build first: cmake --preset host && cmake --build build/host" >&2; exit 2; }
command -v tty-clock >/dev/null || { echo "Needs tty-clock: bash scripts/deps.sh bench" >&2; exit 2; }

work=$(mktemp -d)
ours=tolvane-bench-$$
theirs=tty-clock-bench-$$
cleanup() {
  tmux -L "$ours" kill-server 2>/dev/null || true
  tmux -L "$theirs" kill-server 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
build/host/tolvane-pc --pc "$work/pc" create --profile y2k-ready >/dev/null

# A server without the user's configuration; its pane a 256-colour terminal.
start() {
  tmux -L "$1" -f /dev/null new-session -d -x 100 -y 36 "TERM=tmux-256color; export TERM; $2"
}
start "$ours" "cd $work && TOLVANE_PC=$work/pc exec $bin"
start "$theirs" "exec tty-clock -s"
sleep 1
tmux -L "$ours" send-keys Enter # past the About box
sleep 2                         # both clocks are running

pane_pid() { tmux -L "$1" display-message -p '#{pane_pid}'; }
server_pid() { tmux -L "$1" display-message -p '#{pid}'; }
pids=("$(pane_pid "$ours")" "$(server_pid "$ours")" "$(pane_pid "$theirs")" "$(server_pid "$theirs")")

# For a process, summed over its threads: nanoseconds on a CPU, voluntary
# context switches (each a sleep that ended in a wake); then the bytes it
# passed to write calls and the number of those calls.
sample() {
  local pid=$1 ns=0 wakes=0 t
  for t in /proc/"$pid"/task/*; do
    ns=$((ns + $(cut -d' ' -f1 "$t/schedstat")))
    wakes=$((wakes + $(awk '/^voluntary_ctxt_switches/ { print $2 }' "$t/status")))
  done
  echo "$ns $wakes $(awk '/^wchar/ { b = $2 } /^syscw/ { w = $2 } END { print b, w }' "/proc/$pid/io")"
}

before=()
for p in "${pids[@]}"; do before+=("$(sample "$p")"); done
start_load=$(cut -d' ' -f1-3 /proc/loadavg)
sleep "$seconds"
after=()
for p in "${pids[@]}"; do after+=("$(sample "$p")"); done
end_load=$(cut -d' ' -f1-3 /proc/loadavg)

{
  echo "$seconds ${before[*]} ${after[*]}"
} | awk -v load="$start_load -> $end_load" '{
  s = $1
  # Four processes of four fields, before then after.
  for (i = 0; i < 16; i++) { b[i] = $(2 + i); a[i] = $(18 + i) }
  split("tolvane tty-clock", name, " ")
  printf "%d s, load average %s\n", s, load
  printf "%-10s %9s %9s %9s %9s %12s\n", "", "CPU %", "bytes/s", "writes/s", "wakes/s", "tmux CPU %"
  for (k = 0; k < 2; k++) {
    p = 8 * k; t = p + 4
    cpu[k] = (a[p] - b[p]) / 1e9 / s * 100
    server = (a[t] - b[t]) / 1e9 / s * 100
    printf "%-10s %9.4f %9.1f %9.2f %9.2f %12.4f\n", name[k + 1], cpu[k],
      (a[p + 2] - b[p + 2]) / s, (a[p + 3] - b[p + 3]) / s, (a[p + 1] - b[p + 1]) / s, server
  }
  printf "CPU ratio tolvane / tty-clock: %.2f\n", (cpu[1] > 0 ? cpu[0] / cpu[1] : 0)
}'
