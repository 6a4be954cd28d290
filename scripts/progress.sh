# shellcheck shell=bash
# Sourced by the scripts that install and build: shows a long step's output
# as it comes without filling the screen, and keeps all of it in a log.

# Reads a command's output and appends it to the log file $1. On a terminal
# each line replaces the one before, cut to the terminal's width, and the last
# one is cleared at the end; elsewhere (a pipe, CI) every line is printed as
# it comes.
show_progress() {
  local log=$1 line width
  if [ ! -t 1 ]; then
    tee -a "$log"
    return
  fi
  width=$(tput cols 2>/dev/null || echo 80)
  while IFS= read -r line; do
    printf '%s\n' "$line" >>"$log"
    line=${line//$'\r'/}
    [ -n "$line" ] && printf '\r\033[K%s' "${line:0:width-1}"
  done
  printf '\r\033[K'
}

# After a failed step: on a terminal, which showed one line of it, the end of
# its log; then what failed ($2), in bold on a terminal.
show_failure() {
  local log=$1 what=$2
  if [ -t 1 ]; then
    echo "---- the end of $log:" >&2
    tail -n 15 "$log" >&2
  fi
  if [ -t 2 ]; then printf '\033[1m%s\033[0m\n' "$what" >&2; else echo "$what" >&2; fi
}
