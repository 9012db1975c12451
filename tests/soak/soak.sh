#!/usr/bin/env bash
# A long run of the real program: random clicks on every control of the main panel, the LCD and
# the track selector, under Xvfb with openbox, the demo disc and the null output. Meant for the
# AddressSanitizer build. At the end the program must still run; it is then powered off, and its
# exit must show no sanitizer report outside the system libraries. The resident memory is sampled
# every 10 s. Not part of the test suite: it takes as long as asked.
#   tests/soak/soak.sh PROGRAM [SECONDS=600] [SEED=1] [OUT_DIR]
# The clicks are reproducible: the same seed gives the same sequence of clicks.
#
# The single-instance guard is per user and per network namespace: when unshare is allowed, the
# run gets a network namespace of its own, so that another copy of the program (another test run)
# does not end this one at start.
set -euo pipefail
if [ -z "${TUNEWICK_SOAK_UNSHARED:-}" ] && unshare --net true 2>/dev/null; then
  export TUNEWICK_SOAK_UNSHARED=1
  exec unshare --net "$0" "$@"
fi
program=$(realpath "$1")
seconds=${2:-600}
seed=${3:-1}
out=${4:-$(pwd)/soak-$seed}
top=$(cd "$(dirname "$0")/../.." && pwd)
mkdir -p "$out"
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/run
# A single-instance guard of this run's own, apart from a player the user runs.
export TUNEWICK_TEST_GUARD=soak-$$
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
export TUNEWICK_DEVICE=demo TUNEWICK_AUDIO=null
export LSAN_OPTIONS="suppressions=$top/tests/sanitizer/lsan.supp:print_suppressions=1"
# A small quarantine: freed memory that AddressSanitizer holds back (256 MB by default) would
# otherwise make the resident size grow for minutes and hide what the program itself keeps.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:quarantine_size_mb=8"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

. "$top/tests/support/x-session.sh"
start_x_session

visible() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1 || true; }
report() { echo "$*" | tee -a "$out/summary.txt"; }
: >"$out/summary.txt"

"$program" >"$out/program.log" 2>&1 &
pid=$!
pids+=($pid)
panel=""
for _ in $(seq 300); do
  panel=$(visible '^CD-Tunewick32')
  [ -n "$panel" ] && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if [ -z "$panel" ]; then
  if ! kill -0 "$pid" 2>/dev/null; then
    report "FAIL: the program ended at start (another copy of it may hold the single-instance guard; retry)"
  else
    report "FAIL: the main panel did not appear within 30 s"
  fi
  cat "$out/program.log"
  exit 2
fi
report "program $program, pid $pid, seed $seed, $seconds s"

RANDOM=$seed
# The main panel's power switch ends the program: random clicks keep off it (and its label).
on_power() { [ "$1" -ge 2 ] && [ "$1" -le 60 ] && [ "$2" -ge 4 ] && [ "$2" -le 34 ]; }
known_window() {
  local id=$1 name
  name=$(xdotool getwindowname "$id" 2>/dev/null || true)
  [[ "$name" == CD-Tunewick32* && "$id" == "$panel" ]] || [ "$name" = DISPLAY ] || [ "$name" = Form5 ]
}
# Message boxes, the editor and the about box take the input: close what is in front.
dismiss_dialogs() {
  local active
  active=$(xdotool getactivewindow 2>/dev/null || true)
  [ -z "$active" ] && return 0
  known_window "$active" && return 0
  # The active-window property can name a window that has just closed.
  name=$(xdotool getwindowname "$active" 2>/dev/null) || return 0
  echo "$name" >>"$out/dialogs.log"
  xdotool key --window "$active" Escape 2>/dev/null || true
  sleep 0.2
  [ "$(xdotool getactivewindow 2>/dev/null || true)" = "$active" ] && xdotool key --window "$active" Return 2>/dev/null || true
  dismissed=$((dismissed + 1))
}

echo "seconds,VmRSS_kB" >"$out/rss.csv"
sample_rss() { echo "$1,$(awk '/^VmRSS/ {print $2}' /proc/$pid/status)" >>"$out/rss.csv"; }
start=$(date +%s)
next_sample=$start
clicks=0
dismissed=0
restored=0
moved=0
while :; do
  now=$(date +%s)
  [ $((now - start)) -ge "$seconds" ] && break
  if [ "$now" -ge "$next_sample" ]; then
    sample_rss $((now - start))
    next_sample=$((next_sample + 10))
  fi
  kill -0 "$pid" 2>/dev/null || { report "FAIL: the program ended after $((now - start)) s and $clicks clicks"; break; }
  dismiss_dialogs
  targets=()
  for name in '^CD-Tunewick32' '^DISPLAY$' '^Form5$'; do
    id=$(visible "$name")
    [ -n "$id" ] && targets+=("$id")
  done
  if [ ${#targets[@]} -eq 0 ]; then
    # Minimised or hidden with the LCD hidden too: bring the panel back as a task bar would.
    xdotool windowmap "$panel" windowactivate "$panel" 2>/dev/null || true
    restored=$((restored + 1))
    sleep 0.3
    continue
  fi
  id=${targets[RANDOM % ${#targets[@]}]}
  eval "$(xdotool getwindowgeometry --shell "$id" 2>/dev/null || echo WIDTH=0 HEIGHT=0)"
  [ "${WIDTH:-0}" -gt 0 ] || continue
  # A press on a window's margin drags it; one dragged off the screen is put back, as a user would.
  if [ "$X" -lt 0 ] || [ "$Y" -lt 0 ] || [ $((X + WIDTH)) -gt 1024 ] || [ $((Y + HEIGHT)) -gt 768 ]; then
    xdotool windowmove "$id" $((RANDOM % 600 + 50)) $((RANDOM % 500 + 50)) 2>/dev/null || true
    moved=$((moved + 1))
    continue
  fi
  x=$((RANDOM % WIDTH))
  y=$((RANDOM % HEIGHT))
  if [ "$id" = "$panel" ] && on_power "$x" "$y"; then continue; fi
  if [ $((RANDOM % 10)) -eq 0 ]; then
    # The popup menu: open it and close it again (its items include the power switch).
    xdotool mousemove --window "$id" "$x" "$y" click 3 2>/dev/null || true
    sleep 0.3
    xdotool key Escape 2>/dev/null || true
  else
    xdotool mousemove --window "$id" "$x" "$y" click 1 2>/dev/null || true
  fi
  clicks=$((clicks + 1))
  sleep 0.$((RANDOM % 4 + 1))
done

alive=no
kill -0 "$pid" 2>/dev/null && alive=yes
report "alive after $seconds s: $alive; clicks: $clicks; dialogs closed: $dismissed; panel restored: $restored; windows moved back: $moved"
[ "$alive" = yes ] || { tail -50 "$out/program.log"; exit 1; }

# Power off: bring the panel back if it is hidden, close dialogs, press the power switch.
for _ in 1 2 3; do dismiss_dialogs; done
if [ -z "$(visible '^CD-Tunewick32')" ]; then
  xdotool windowmap "$panel" windowactivate "$panel" 2>/dev/null || true
  sleep 1
fi
xdotool windowmove "$panel" 100 100 2>/dev/null || true
sleep 0.5
xdotool mousemove --window "$panel" 32 19 click 1 || report "the power switch could not be clicked"
ended=no
for _ in $(seq 600); do
  kill -0 "$pid" 2>/dev/null || { ended=yes; break; }
  sleep 0.1
  dismiss_dialogs
done
wait "$pid" 2>/dev/null && status=0 || status=$?
report "ended after power off: $ended (exit status $status)"
awk -F, 'NR > 1 { n++; v[n] = $2 } END {
  if (n < 2) { print "RSS: too few samples"; exit }
  first = (n >= 7) ? v[7] : v[1]; last = v[n]; max = 0
  for (i = 1; i <= n; i++) if (v[i] > max) max = v[i]
  printf "RSS: %d samples; at 60 s %d kB, at the end %d kB (%+.1f%%), highest %d kB\n", n, first, last, (last - first) * 100 / first, max
}' "$out/rss.csv" | tee -a "$out/summary.txt"
reports=$(grep -cE 'ERROR: (AddressSanitizer|LeakSanitizer)|runtime error:' "$out/program.log" || true)
report "sanitizer reports: $reports"
grep -E '^Suppressions used|^ *[0-9]+ +[0-9]+ +leak:' "$out/program.log" | tee -a "$out/summary.txt" || true
[ "$ended" = yes ] && [ "$reports" -eq 0 ] || exit 1
report "soak ok"
