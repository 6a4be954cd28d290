#!/usr/bin/env bash
# The Windows programs as real Windows programs: their import tables against
# what Windows 95/98 provides, then tolvane.exe under Wine in a virtual X
# display, driven by wintest/uidriver.exe in a fresh prefix set to Windows 98
# and in one set to an NT version; the rollover test runs on a clock of the
# test's own (wintest/testclock.cpp), as Wine refuses to set its clock. Leaves
# for people to look at:
# build/windows/wine-main-dialog.png, build/windows/wine-help-window.png and
# build/windows/wine-report-*.txt.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=build/windows

bash scripts/deps.sh wine || exit 2
[ -f "$out/CMakeCache.txt" ] || cmake --preset windows >/dev/null || exit 2
cmake --build "$out" -j2 >/dev/null || { echo "Build failed; see: cmake --build $out" >&2; exit 2; }

passed=0
failed=0
pass() { passed=$((passed + 1)); echo "  ok    $1"; }
fail() { failed=$((failed + 1)); echo "  FAIL  $1"; }

# ---- Imports and sizes ----

# "dll function" for each import; an import by ordinal shows as "#ordinal".
imports_of() {
  i686-w64-mingw32-objdump -p "$1" | awk '
    /^[A-Za-z]/ { dll = "" }
    /^\tDLL Name:/ { dll = tolower($3); next }
    dll != "" && /^\t[0-9a-f]+\t/ {
      name = $NF
      if (name ~ /^[0-9]+$/ || name == "<none>") name = "#" $(NF - 1)
      print dll, name
    }' | sort -u
}

allowed=$(grep -v '^#' wintest/win95-imports.txt | awk 'NF { print tolower($1), $2 }' | sort -u)

echo "== imports (allowed: wintest/win95-imports.txt)"
for exe in tolvane faltrem; do
  imports=$(imports_of "$out/$exe.exe")
  count=$(printf '%s\n' "$imports" | grep -c .)
  outside=$(comm -23 <(printf '%s\n' "$imports") <(printf '%s\n' "$allowed"))
  if [ "$count" -gt 0 ] && [ -z "$outside" ]; then
    pass "$exe.exe imports $count functions, all in Windows 95/98"
  else
    fail "$exe.exe imports beyond Windows 95/98: ${outside:-none found at all}"
  fi
done

echo "== sizes"
for exe in tolvane faltrem; do
  echo "  $exe.exe: $(stat -c %s "$out/$exe.exe") bytes"
done
size=$(stat -c %s "$out/tolvane.exe")
if [ "$size" -lt 131072 ]; then pass "tolvane.exe under 128 KiB"; else fail "tolvane.exe is $size bytes, not under 128 KiB"; fi

# ---- The distribution ----

tmp=$(mktemp -d /tmp/tolvane-wine.XXXXXX)
trap 'rm -rf "$tmp"' EXIT
dist=$out/dist
built=("$out/tolvane.exe" "$out/faltrem.exe" "$out/Tolvaneeval.hlp" "$out/README.TXT")

# Exactly the built files, each as built: what a package unpacks into `dir`.
check_unpacked() {
  local what=$1 dir=$2 names file
  names=$(ls "$dir" | sort | paste -sd ' ')
  if [ "$names" = "README.TXT Tolvaneeval.hlp faltrem.exe tolvane.exe" ]; then pass "$what holds: $names"
  else fail "$what holds: $names"; fi
  for file in "${built[@]}"; do
    if cmp -s "$file" "$dir/$(basename "$file")"; then pass "$what: $(basename "$file") as built"
    else fail "$what: $(basename "$file") differs from the build's"; fi
  done
}

echo "== distribution ($dist)"
echo "  tolvane.zip: $(stat -c %s "$dist/tolvane.zip") bytes; Tolvaneeval.hlp: $(stat -c %s "$out/Tolvaneeval.hlp") bytes"
if [ "$(grep -c $'\r$' "$out/README.TXT")" -eq "$(wc -l <"$out/README.TXT")" ]; then pass "README.TXT has DOS line ends"
else fail "README.TXT has lines without a CR"; fi
mkdir -p "$tmp/unzipped" "$tmp/floppy"
unzip -q "$dist/tolvane.zip" -d "$tmp/unzipped" && check_unpacked "tolvane.zip" "$tmp/unzipped"
if [ "$(stat -c %s "$dist/tolvane.img")" -eq 1474560 ]; then pass "tolvane.img is a 1.44 MB floppy"
else fail "tolvane.img is $(stat -c %s "$dist/tolvane.img") bytes"; fi
mcopy -n -i "$dist/tolvane.img" '::*' "$tmp/floppy/" && check_unpacked "tolvane.img" "$tmp/floppy"
# Windows 95/98 read the long name from its VFAT entry, beside the 8.3 one.
if mdir -i "$dist/tolvane.img" :: | grep -Eq '^TOLVAN~1 HLP .* Tolvaneeval\.hlp$'; then pass "tolvane.img names Tolvaneeval.hlp in full"
else fail "tolvane.img has no long name for Tolvaneeval.hlp"; fi

# ---- Wine ----

# Keeps a picture the driver saved in the Windows 98 run, if it is a PNG.
keep_screenshot() {
  local png=$tmp/win98-work/$1
  if [ -f "$png" ] && [ "$(head -c 8 "$png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ]; then
    cp "$png" "$out/$2"
    pass "screenshot left in $out/$2"
  else
    fail "screenshot of $3"
  fi
}

wine_start=$(date +%s)
xvfb_pid=""
registered_binfmt=""

cleanup() {
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then timeout 30 wineserver -k 2>/dev/null; fi
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  [ -n "$registered_binfmt" ] && echo -1 >"$registered_binfmt" 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT

# Wine's 32-bit loader must run: natively, or through qemu-i386 where the
# kernel has no 32-bit user code. Under qemu a preloaded shim puts back the
# fault numbers that Wine needs to emulate the program's port and BIOS access.
qemu_env=()
binfmt=/proc/sys/fs/binfmt_misc
i386_by_qemu() { grep -qs '^interpreter .*qemu-i386' "$binfmt"/*; }
if ! i386_by_qemu && ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  qemu=$(command -v qemu-i386 || true)
  [ -n "$qemu" ] || { echo "32-bit programs do not run here and qemu-i386 is missing" >&2; exit 2; }
  [ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt" || exit 2
  printf '%s' ':tolvane-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$qemu"':F' \
    >"$binfmt/register" || exit 2
  registered_binfmt=$binfmt/tolvane-i386
fi
if i386_by_qemu; then
  /usr/lib/wine/wine --version >/dev/null 2>&1 || { echo "Wine's 32-bit loader does not start" >&2; exit 2; }
  shim=$root/$out/trapno_shim.so
  if [ ! -f "$shim" ] || [ wintest/trapno_shim.c -nt "$shim" ]; then
    gcc -m32 -fPIC -O2 -fno-stack-protector -Wall -Wextra -nostdlib -shared -o "$shim" \
      wintest/trapno_shim.c /lib/i386-linux-gnu/libc.so.6 || exit 2
  fi
  qemu_env=(QEMU_SET_ENV="LD_PRELOAD=$shim")
  echo "== Wine's 32-bit side runs under $(grep -hs '^interpreter .*qemu-i386' "$binfmt"/* | head -1 | cut -d' ' -f2)"
fi

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$tmp/display" 2>"$tmp/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$tmp/display" ] && break; sleep 0.1; done
[ -s "$tmp/display" ] || { echo "Xvfb did not start: $(cat "$tmp/xvfb.log")" >&2; exit 2; }
export DISPLAY=:$(cat "$tmp/display")
export WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

winpath() { local p=$1; printf 'Z:%s' "${p//\//\\}"; }

# A fresh prefix reporting the given Windows version; crashes end without a
# dialog nobody could answer. No window manager runs: Wine draws the captions,
# and keeps its windows unmanaged, or hiding each one waits 2 s for a manager.
make_prefix() {
  export WINEPREFIX=$tmp/$1-prefix
  mkdir -p "$WINEPREFIX"
  wineserver -p || return 1
  env "${qemu_env[@]}" timeout 180 wineboot -i >"$tmp/$1-boot.log" 2>&1 || return 1
  printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Wine]\n"Version"="%s"\n\n' "$2" >"$tmp/$1.reg"
  printf '[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]\n"ShowCrashDialog"=dword:00000000\n\n' >>"$tmp/$1.reg"
  printf '[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\n"Decorated"="N"\n"Managed"="N"\n' >>"$tmp/$1.reg"
  env "${qemu_env[@]}" timeout 60 wine regedit /S "$(winpath "$tmp/$1.reg")" >>"$tmp/$1-boot.log" 2>&1
}

# Runs the driver in its own directory, into which the zip is unpacked as a
# user would: the program's folder, and its current one, as when it is started
# from Explorer. Points $report at what the driver saw: empty, never an earlier
# run's, when it saw nothing.
run_driver() {
  local scenario=$1 version=$2 work=$tmp/$1-work
  report=$out/wine-report-$scenario.txt
  : >"$report"
  mkdir -p "$work"
  unzip -q "$dist/tolvane.zip" -d "$work"
  if ! make_prefix "$scenario" "$version"; then
    echo "  prefix for $scenario failed:"; tail -5 "$tmp/$scenario-boot.log"
    return 1
  fi
  (cd "$work" && env "${qemu_env[@]}" timeout 300 wine "$(winpath "$root/$out/uidriver.exe")" "$scenario" \
     "$(winpath "$work/tolvane.exe")" report.txt main.png help.png >/dev/null 2>"$tmp/$scenario-driver.log")
  timeout 30 wineserver -k 2>/dev/null
  timeout 30 wineserver -w 2>/dev/null
  cp "$work/report.txt" "$report" 2>/dev/null
}

has() { grep -Fxq -- "$1" "$report"; }
expect() { if has "$1"; then pass "$1"; else fail "$1  (missing from $report)"; fi; }
expect_like() { if grep -Eq -- "$1" "$report"; then pass "a line like: $1"; else fail "no line like: $1  (in $report)"; fi; }
expect_none() { if grep -Eq -- "$1" "$report"; then fail "no line like: $1"; else pass "no line like: $1"; fi; }
expect_count() {
  local n; n=$(grep -Fxc -- "$2" "$report")
  if [ "$n" -eq "$1" ]; then pass "$2  (x$1)"; else fail "$2  ($n times, not $1, in $report)"; fi
}
value() { sed -n "s/^$1: //p" "$report" | head -1; }

# Midnight may pass during the run: either date counts.
local_dates="$(date +%m-%d-%Y) $(date -d '+10 min' +%m-%d-%Y)"
utc_dates="$(date -u +%m-%d-%Y) $(date -u -d '+10 min' +%m-%d-%Y)"
today="$(date +%F) $(date -d '+10 min' +%F)"
contains() { case " $1 " in *" $2 "*) return 0 ;; *) return 1 ;; esac; }

# A system clock line, " MM-DD-CCYY   hh:mm:ss" in quotes, as seconds since 1970.
line_epoch() { local l=$1; TZ=UTC0 date -d "${l:8:4}-${l:2:2}-${l:5:2} ${l:15:8}" +%s 2>/dev/null || echo 0; }
seconds_of() { local h m s; IFS=: read -r h m s <<<"$1"; echo $((10#$h * 3600 + 10#$m * 60 + 10#$s)); }

echo "== Wine, Windows 98: start-up, clock lines, second copy, fix"
run_driver win98 win98
expect 'platform: id 1 version 4.10'
expect 'first window: "About Tolvane"'
expect 'about text: "             Tolvane - Year 2000 Clock Test and Fix"'
expect 'main dialog under about: hidden'
# The network warning follows what the platform answers for the enumeration.
if grep -Eq '^network: .* close 6$' "$report"; then
  expect_none '^message: "Tolvane -  Network Warning"'
elif grep -Fq 'message: "Tolvane -  Network Warning" "Network Software Detected\n\n' "$report"; then
  pass "network warning shown and answered OK"
else
  fail "network warning where the platform reports network software"
fi
expect 'main dialog: shown'
expect 'main caption: " Tolvane"'
for clock in cmos bios local utc; do expect "line count $clock: 1"; done

# Exactly 22 characters: " MM-DD-CCYY   hh:mm:ss", BCD shown in hex for
# the hardware clocks, decimal for the system ones.
hex='[0-9a-f]{2}'
for clock in cmos bios; do
  line=$(value "line $clock")
  if [[ $line =~ ^\"\ $hex-$hex-$hex$hex\ \ \ $hex:$hex:$hex\"$ ]]; then pass "$clock line format: $line"
  else fail "$clock line format: $line"; fi
done
for clock in local utc; do
  line=$(value "line $clock")
  if [[ $line =~ ^\"\ [0-9]{2}-[0-9]{2}-[0-9]{4}\ \ \ [0-9]{2}:[0-9]{2}:[0-9]{2}\"$ ]]; then pass "$clock line format: $line"
  else fail "$clock line format: $line"; fi
done
# Wine's CMOS is a fixed image; its INT 1Ah answers with the host's local date.
expect 'line cmos: " 04-01-1994   16:31:27"'
bios=$(value 'line bios'); local_line=$(value 'line local'); utc=$(value 'line utc')
if contains "$local_dates" "${local_line:2:10}"; then pass "local line shows the host's date"; else fail "local line date: $local_line"; fi
if contains "$utc_dates" "${utc:2:10}"; then pass "UTC line shows the host's UTC date"; else fail "UTC line date: $utc"; fi
if contains "$local_dates" "${bios:2:10}"; then pass "BIOS line shows the host's date"; else fail "BIOS line date: $bios"; fi
if [ -n "$bios" ] && [ -n "$local_line" ]; then
  gap=$(( $(seconds_of "${bios:15:8}") - $(seconds_of "${local_line:15:8}") ))
  if [ "${gap#-}" -le 2 ]; then pass "BIOS time matches local time"; else fail "BIOS time ${bios:15:8} vs local ${local_line:15:8}"; fi
else
  fail "BIOS and local lines read"
fi

expect 'idle button 1: "TEST" enabled'
expect 'idle button 102: "StopClocks" disabled'
expect 'idle button 105: "Reset Date" disabled'
expect 'idle button 106: "Install Fix" enabled'
expect 'idle button 103: "Help" enabled'
expect 'idle button 108: "Close" enabled'

expect 'screenshot: saved'
keep_screenshot main.png wine-main-dialog.png "the main dialog"

expect_like '^message: "Tolvane -  Already Running" "Tolvane is already running'
expect 'second copy: exit code 0'
expect_none '^second copy: main dialog shown'

expect 'fix running button 106: "UnInstall Fix" enabled'
expect 'fix running caption: " Tolvane - Fix Running"'
expect 'fix running atom: present'
expect 'fix running process: running'
expect 'fix running process parent: tolvane'
expect 'fix running button 1: "TEST" enabled'
expect 'fix running button 108: "Close" enabled'
expect 'fix stopped button 106: "Install Fix" enabled'
expect 'fix stopped caption: " Tolvane"'
expect 'fix stopped atom: absent'
expect 'fix stopped process: absent'

echo "== Wine, Windows 98: the rollover test, on the test's own clock"
test_clock='1999-12-31 23:59:55.000 dow 0'
# The clock takes what Windows' SetLocalTime takes, asked by the driver itself.
while read -r line; do expect "check clock: $line"; done <<'CASES'
loaded: own clock; imports taken: 1
set 2000-02-29 00:00:00.000 dow 0: ok
set 1900-02-29 00:00:00.000 dow 0: error 87
set 1999-12-31 23:59:55.999 dow 6: ok
set 1999-04-31 12:00:00.000 dow 0: error 87
set 1999-13-01 00:00:00.000 dow 0: error 87
set 1999-01-00 00:00:00.000 dow 0: error 87
set 1999-01-01 24:00:00.000 dow 0: error 87
set 1999-01-01 23:60:00.000 dow 0: error 87
set 1999-01-01 23:59:60.000 dow 0: error 87
set 1999-01-01 23:59:59.1000 dow 0: error 87
set 1600-12-31 23:59:59.999 dow 0: error 87
set 30828-01-01 00:00:00.000 dow 0: error 87
CASES
expect_count 6 'test clock: loaded'
expect_count 4 "start clock: loaded: own clock; imports taken: 3"
expect_count 6 'main dialog: shown'

expect 'test warning: shown'
expect 'test warning check box: unchecked'
expect 'test confirming button 1: "TEST" disabled'
expect 'test confirming button 106: "Install Fix" disabled'
expect 'test confirming button 108: "Close" enabled'
expect 'test: watching'
expect 'test date file size: 16'
record=$(value 'test date file record')
if contains "$today" "${record:0:10}"; then pass "date file holds today's date: $record"; else fail "date file record: $record"; fi
expect "test clock: set $test_clock: ok"
expect 'watching button 1: "TEST" disabled'
expect 'watching button 102: "StopClocks" enabled'
expect 'watching button 105: "Reset Date" disabled'
expect 'watching button 106: "Install Fix" disabled'
expect 'watching button 108: "Close" enabled'
first=$(value 'watching line local')
last=$(sed -n 's/^watching line local: //p' "$report" | tail -1)
if [[ $first =~ ^\"\ 12-31-1999\ \ \ 23:59:5[5-9]\"$ ]] && [[ $last =~ ^\"\ 01-01-2000\ \ \ 00:00:0[0-9]\"$ ]]
then pass "local line passes midnight: $first to $last"
else fail "local line from $first to $last"; fi

expect "message: \"Tolvane - Test Result\" \"Fail: The PC clocks are Not Year 2000 compliant. See 'Help' / 'Testing'  for more details\""
for clock in cmos bios local utc; do
  line=$(value "verdict line $clock")
  if [ -n "$line" ] && [ "$line" = "$(value "verdict later line $clock")" ]; then pass "$clock line frozen under the verdict: $line"
  else fail "$clock line under the verdict: $line, then $(value "verdict later line $clock")"; fi
done
expect_like '^verdict line local: " 01-01-2000   00:00:0[0-9]"$'
# The test's clock moves Wine's UTC by as much as its local time.
zone=$(date +%z); zone_seconds=$(( ${zone:0:1}1 * (10#${zone:1:2} * 3600 + 10#${zone:3:2} * 60) ))
utc_lag=$(( $(line_epoch "$(value 'verdict line local')") - $(line_epoch "$(value 'verdict line utc')") - zone_seconds ))
if [ "${utc_lag#-}" -le 1 ]; then pass "UTC line is the local line less the zone's $zone"
else fail "UTC line $(value 'verdict line utc') against local $(value 'verdict line local') in zone $zone"; fi
expect 'judged button 1: "TEST" disabled'
expect 'judged button 102: "StopClocks" disabled'
expect 'judged button 105: "Reset Date" enabled'
expect 'judged button 106: "Install Fix" disabled'

expect "reset clock: set $record: ok"
expect 'reset button 1: "TEST" enabled'
expect 'reset button 102: "StopClocks" disabled'
expect 'reset button 105: "Reset Date" disabled'
expect 'reset button 106: "Install Fix" enabled'
reset_line=$(value 'reset line local')
since_saved=$(( $(line_epoch "$reset_line") - $(TZ=UTC0 date -d "${record:0:19}" +%s 2>/dev/null || echo 0) ))
if [ "$since_saved" -ge 0 ] && [ "$since_saved" -le 5 ]; then pass "local line back at the saved time: $reset_line"
else fail "local line after Reset Date: $reset_line, saved $record"; fi

expect 'second test warning: none'
expect 'second test: watching'
expect "second test clock: set $test_clock: ok"
expect_like '^second test line local: " 12-31-1999   23:59:5[5-9]"$'
expect 'message: "Tolvane -  Test Result" "Unknown: Test didnt run past midnight 2000"'
expect 'second judged button 105: "Reset Date" enabled'

expect 'judged WM_QUERYENDSESSION: agreed'
expect 'judged WM_ENDSESSION message: "Tolvane -  End Session" "Date Restored"'
expect 'judged WM_ENDSESSION: replied'
expect "judged WM_ENDSESSION clock: set $(value 'second test date file record'): ok"
expect 'end atom: absent'
expect 'end process: absent'

echo "== Wine, Windows 98: Help, then Close while a test is watching"
expect 'help windows: 1'
expect 'help window: "Tolvane Help" class MS_WINHELP'
expect 'help screenshot: saved'
keep_screenshot help.png wine-help-window.png "the help window"
expect 'help window after the program: closed'

expect 'close test: watching'
expect "close test clock: set $test_clock: ok"
expect 'close exit code: 0'
closing=$(sed -n 's/^close clock: //p' "$report" | paste -sd '|')
if [ "$closing" = "set $(value 'close test date file record'): ok|process end" ]; then
  pass "Close while watching sets the saved date back, then the program ends"
else
  fail "Close while watching, the clock's log: $closing"
fi

echo "== Wine, Windows 98: a test ended by force, then the next start sets its date back"
expect 'killed test: watching'
expect 'killed test date file size: 16'
record=$(value 'killed test date file record')
if contains "$today" "${record:0:10}"; then pass "date file holds today's date: $record"; else fail "date file record: $record"; fi
expect 'killed test note size: 16'
expect "killed test note record: $record"
expect "killed test clock: set $test_clock: ok"
expect 'killed test: terminated'
# The offer shows the saved date as the clock lines do, MM-DD-CCYY   hh:mm:ss.
shown="${record:5:2}-${record:8:2}-${record:0:4}   ${record:11:8}"
expect_like "^message: \"Tolvane -  Date Not Restored\" \"Tolvane ended during a test before it could set the date back !\\\\n\\\\nThe date and time saved before the test:\\\\n      $shown\\\\n"
expect 'message answer: Yes'
expect "after the kill clock: set $record: ok"
expect 'after the kill note: missing'
expect "after the kill date file record: $record"
expect 'after the kill exit code: 0'

echo "== Wine, Windows 98: tests that Wine's clock refuses"
expect_count 2 "start clock: loaded: Wine's clock; imports taken: 1"
expect 'refused test warning: shown'
expect 'refused test date file size: 16'
record=$(value 'refused test date file record')
if contains "$today" "${record:0:10}"; then pass "date file holds today's date: $record"; else fail "date file record: $record"; fi
expect "refused test clock: set $test_clock: error 1314"
expect 'message: "Error" "Couldnt set clocks for test"'
expect 'after test button 1: "TEST" enabled'
expect 'after test button 102: "StopClocks" disabled'
expect 'after test button 105: "Reset Date" disabled'
expect 'after test button 106: "Install Fix" enabled'
# The date saved by a test whose clock was refused is not set back by a way
# out taken while the program says so: no box, no set.
expect "refused close clock: set $test_clock: error 1314"
expect 'refused close WM_CLOSE: replied'
expect_none '^refused close WM_CLOSE (message|clock):'
expect 'refused close message: "Error" "Couldnt set clocks for test"'
expect 'refused close exit code: 0'
expect 'refused close end clock: process end'
expect "refused end session clock: set $test_clock: error 1314"
expect 'refused end session WM_QUERYENDSESSION: agreed'
expect 'refused end session WM_ENDSESSION: replied'
expect_none '^refused end session WM_ENDSESSION (message|clock):'
expect 'driver: done'
expect_none '^(timeout|cannot click|unexpected window):'

echo "== Wine, Windows NT: refused after the About box"
run_driver nt winxp
expect 'platform: id 2 version 5.1'
expect 'first window: "About Tolvane"'
expect 'main dialog under about: hidden'
expect 'message: "Tolvane -  Not windows 95/98" "This version is for windows 95/98 only"'
expect_none '^main dialog: shown'
expect 'exit code: 0'
expect_none '^message: "Tolvane -  Network Warning"'
expect_none '^(timeout|cannot click|unexpected window):'
if [ -e "$tmp/nt-work/datesave.tmp" ]; then fail "no date file on NT"; else pass "no date file on NT"; fi
if [ -e "$tmp/nt-work/dateowed.tmp" ]; then fail "no note of a date owed on NT"; else pass "no note of a date owed on NT"; fi

echo "== Wine part: $(( $(date +%s) - wine_start )) s"
echo "wine-test: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
