#!/usr/bin/env bash
# Whole-process figures of the player, each side by side with a floor or a peer measured in the
# same run, as medians over several runs: start-up to the first painted frame against a minimal
# Qt window and against a fair floor (the same window painting Japanese and Latin text in the
# player's faces), peak memory against both, the delay from a disc ready in the drive to its
# titles on screen, processor time and wake-ups while playing a disc image against mpv, processor
# time and wake-ups while idle against the minimal window with a timer (in the first 30 s after
# start, while the drive's worker may still look for a drive, and after them), and the delay from a
# press on the track grid to the first frames of the new track in the output.
# Usage: bench/whole-process.sh [RUNS (5)] [SECONDS per processor measurement (20)]
# TUNEWICK_BENCH_PLAYER=path measures another build of the player (e.g. an older one) instead.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$top/build-bench
runs=${1:-5}
seconds=${2:-20}

# --- what it needs: mpv as the peer, a release build of the player and the floor ---
if ! command -v mpv >/dev/null; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends mpv >/dev/null
fi
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTUNEWICK_TESTS=OFF >/dev/null
ninja -C "$build" >/dev/null
player=${TUNEWICK_BENCH_PLAYER:-$build/cd-tunewick32}
minimal=$build/bench/minimal_window

work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# --- an X server of our own with a window manager; isolated settings and catalogues ---
. "$top/tests/support/x-session.sh"
start_x_session
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/run
# A single-instance guard of this run's own, apart from a player the user runs.
export TUNEWICK_TEST_GUARD=bench-$$
mkdir -p "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME/cd-tunewick32" "$XDG_DATA_HOME/cd-tunewick32"
chmod 700 "$XDG_RUNTIME_DIR"
# The LCD is shown from the start.
printf '[LCD]\r\nVisible=1\r\n' >"$XDG_CONFIG_HOME/cd-tunewick32/ROTOR.INI"
cp "$top"/packaging/demo/*.CDL "$XDG_DATA_HOME/cd-tunewick32/"
# A disc image of three one-minute tones, with long titles so that the LCD keeps scrolling.
mkdir -p "$work/disc"
length=$("$build/bench/make_tone_image" "$work/disc" 3 60)
image=$work/disc/tone.cue
long="A disc title long enough that the LCD scrolls it for a good minute while the tone plays on"
long="$long $long $long"
{
  printf '%s\r\n' "$long"
  for t in 1 2 3; do printf 'Track %d: %s\r\n' "$t" "$long"; done
} >"$XDG_DATA_HOME/cd-tunewick32/$length.CDL"

# --- helpers ---
# Processor time of every thread of a process, in nanoseconds.
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{s += $1} END {printf "%d\n", s}'; }
# Voluntary and involuntary context switches of every thread: how often the process woke.
switches() { cat /proc/"$1"/task/*/status 2>/dev/null | awk '/ctxt_switches/ {s += $2} END {printf "%d\n", s}'; }
peak_kib() { awk '/^VmHWM/ {print $2}' /proc/"$1"/status; }
# Starts the player with the given environment and waits for its main panel; sets $pid and
# $panel. Only one player runs per user: when another engineer's copy is running, this one ends
# at once without a window, so wait and try again.
start_player() {
  for _ in $(seq 30); do
    env "$@" "$player" >>"$work/player.log" 2>&1 &
    pid=$!
    # A message box about the drive (captioned with the program's name) may come first: answer it.
    if box=$(wait_window "$pid" '^(CD-Tunewick32|cd-tunewick32$)'); then
      if [ "$(xdotool getwindowname "$box")" = cd-tunewick32 ]; then
        xdotool windowactivate --sync "$box" key Return 2>/dev/null || xdotool key --window "$box" Return
      fi
    fi
    if panel=$(wait_window "$pid" '^CD-Tunewick32'); then return 0; fi
    stop "$pid"
    sleep 2
  done
  echo "the player did not start (another copy kept running?)" >&2
  exit 1
}
start_minimal() {
  env "$@" "$minimal" >/dev/null 2>&1 &
  mpid=$!
  wait_window "$mpid" '^MinimalWindow$' >/dev/null || { echo "the minimal window did not start" >&2; exit 1; }
}
# Presses a grid cell of the main panel (track 1 at 70,13; track 3 at 105,13).
press() { xdotool mousemove --window "$panel" "$1" "$2" click 1; }
# The first paint time that process $1 recorded in file $2, waiting for it.
first_paint() {
  for _ in $(seq 100); do
    [ -s "$2" ] && { head -n1 "$2"; return 0; }
    kill -0 "$1" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

: >"$work/start.player" >"$work/start.minimal" >"$work/start.fair" >"$work/rss.player" >"$work/rss.minimal"
: >"$work/rss.fair" >"$work/cpuwake.player" >"$work/cpuwake.mpv"
: >"$work/idle.player.late" >"$work/idle.minimal.late" >"$work/wake.player.late" >"$work/wake.minimal.late"
: >"$work/titles.open" >"$work/titles.change"
: >"$work/cpu.player" >"$work/cpu.mpv" >"$work/cpu.scroll" >"$work/idle.player" >"$work/idle.minimal"
: >"$work/wake.player" >"$work/wake.minimal" >"$work/reaction"

for run in $(seq "$runs"); do
  echo "run $run of $runs" >&2

  # 1. Start-up to the first painted frame, the floors first and the player last, then the other
  #    way round.
  for order in "minimal fair player" "player fair minimal"; do
    for who in $order; do
      log=$work/paint.$who.$run
      rm -f "$log"
      if [ $who = player ]; then
        for _ in $(seq 30); do
          rm -f "$log"
          TUNEWICK_DEVICE=demo TUNEWICK_AUDIO=null TUNEWICK_FIRST_PAINT_LOG=$log "$player" >>"$work/player.log" 2>&1 &
          pid=$!
          first_paint "$pid" "$log" >/dev/null && break
          stop "$pid"
          sleep 2
        done
      else
        MINIMAL_TEXT=$([ $who = fair ] && echo 1 || echo 0) TUNEWICK_FIRST_PAINT_LOG=$log "$minimal" >/dev/null 2>&1 &
        pid=$!
      fi
      first_paint "$pid" "$log" >>"$work/start.$who"
      sleep 0.5
      stop "$pid"
    done
  done

  # 2. Peak memory while playing the demo disc with the LCD shown, and of both floors.
  start_minimal MINIMAL_TEXT=1
  fpid=$mpid
  start_minimal
  start_player TUNEWICK_DEVICE=demo TUNEWICK_AUDIO=null
  sleep 1.5
  press 105 13
  sleep 8
  peak_kib "$pid" >>"$work/rss.player"
  peak_kib "$mpid" >>"$work/rss.minimal"
  peak_kib "$fpid" >>"$work/rss.fair"
  stop "$pid"
  stop "$mpid"
  stop "$fpid"

  # 3. Processor time while playing the disc image (the LCD scrolling its long title), side by
  #    side with mpv playing the same image at the same time.
  start_player TUNEWICK_DEVICE="$image" TUNEWICK_AUDIO=null
  mpv --no-terminal --ao=null --no-video --cdrom-device="$image" cdda:// &
  mpvpid=$!
  sleep 1
  press 70 13
  sleep 1
  # The press shows the track's title with the "over" mark (it takes the line over from the disc
  # title's scroll); a click on the title line scrolls it, for the whole measurement.
  lcd=$(wait_window "$pid" '^DISPLAY$')
  xdotool mousemove --window "$lcd" 100 25 click 1
  # The floor beside them: the fair floor's window scrolling its first line every 250 ms.
  start_minimal MINIMAL_TEXT=1 MINIMAL_SCROLL_MS=250
  sleep 2
  a=$(cpu_ns "$pid") b=$(cpu_ns "$mpvpid") wa=$(switches "$pid") wb=$(switches "$mpvpid") c=$(cpu_ns "$mpid")
  sleep "$seconds"
  a2=$(cpu_ns "$pid") b2=$(cpu_ns "$mpvpid") wa2=$(switches "$pid") wb2=$(switches "$mpvpid") c2=$(cpu_ns "$mpid")
  kill -0 "$mpvpid" 2>/dev/null || { echo "mpv ended early" >&2; exit 1; }
  echo "$a $a2" | awk -v n="$seconds" '{print ($2 - $1) / 1e9 * 60 / n}' >>"$work/cpu.player"
  echo "$b $b2" | awk -v n="$seconds" '{print ($2 - $1) / 1e9 * 60 / n}' >>"$work/cpu.mpv"
  echo "$c $c2" | awk -v n="$seconds" '{print ($2 - $1) / 1e9 * 60 / n}' >>"$work/cpu.scroll"
  echo $((wa2 - wa)) | awk -v n="$seconds" '{print $1 / n}' >>"$work/cpuwake.player"
  echo $((wb2 - wb)) | awk -v n="$seconds" '{print $1 / n}' >>"$work/cpuwake.mpv"
  stop "$mpvpid"
  stop "$mpid"

  # 5. From a press on the grid to the first frames of that track in the output (the player from
  #    3 still plays track 1).
  stop "$pid"
  rlog=$work/reaction.$run
  start_player TUNEWICK_DEVICE="$image" TUNEWICK_AUDIO=null TUNEWICK_REACTION_LOG="$rlog"
  sleep 1.5
  for cell in 105 87 70 105; do
    press "$cell" 13
    sleep 1.2
  done
  stop "$pid"
  # Each press pairs with the first sound after it.
  awk '$1 == "press" {p = $2} $1 == "sound" && p {print $2 - p; p = 0}' "$rlog" >>"$work/reaction"

  # 6. From a disc ready in the drive to its titles on the LCD: the disc image at start (ready when
  #    the drive opens it), then after an eject, when its software door closes on the disc again
  #    (there is no spin-up to exclude: an image is ready at once).
  dlog=$work/disc.$run
  start_player TUNEWICK_DEVICE="$image" TUNEWICK_AUDIO=null TUNEWICK_DISC_LOG="$dlog"
  sleep 1.5
  xdotool mousemove --window "$panel" 237 50 click 1 # the bar's eject button
  sleep 6
  stop "$pid"
  # Each "ready" pairs with the first title shown after it: the disc title of the loaded disc.
  awk '$1 == "ready" {r = $2} $1 == "title" && r {print $2 - r; r = 0}' "$dlog" | {
    read -r first && echo "$first" >>"$work/titles.open"
    read -r second && echo "$second" >>"$work/titles.change"
  } || true

  # 4. Idle: no disc, the status poll ticking every 250 ms (the system's default drive; on a machine
  #    without one the drive reports no disc), against the floor: the minimal window with a timer
  #    that ticks as often and does nothing. Once from 3 s after the start (the drive's worker may
  #    still be looking for a drive), once from 33 s.
  start_minimal MINIMAL_TICK_MS=250
  start_player -u TUNEWICK_DEVICE TUNEWICK_AUDIO=null
  started=$SECONDS
  for phase in "" .late; do
    if [ -z "$phase" ]; then sleep 3; else wait_s=$((33 - (SECONDS - started))); [ "$wait_s" -le 0 ] || sleep "$wait_s"; fi
    a=$(cpu_ns "$pid") b=$(cpu_ns "$mpid") wa=$(switches "$pid") wb=$(switches "$mpid")
    sleep "$seconds"
    a2=$(cpu_ns "$pid") b2=$(cpu_ns "$mpid") wa2=$(switches "$pid") wb2=$(switches "$mpid")
    echo "$a $a2" | awk -v n="$seconds" '{print ($2 - $1) / 1e9 * 60 / n}' >>"$work/idle.player$phase"
    echo "$b $b2" | awk -v n="$seconds" '{print ($2 - $1) / 1e9 * 60 / n}' >>"$work/idle.minimal$phase"
    echo $((wa2 - wa)) | awk -v n="$seconds" '{print $1 / n}' >>"$work/wake.player$phase"
    echo $((wb2 - wb)) | awk -v n="$seconds" '{print $1 / n}' >>"$work/wake.minimal$phase"
  done
  stop "$pid"
  stop "$mpid"
done

# 6. One poll step of the device, as instructions (callgrind), from the Google Benchmark programs.
instructions_per_call() { # benchmark program, benchmark name, function as callgrind names it
  local out=$work/callgrind.$2
  valgrind --tool=callgrind --callgrind-out-file="$out" --toggle-collect="*$3*" "$1" \
    --benchmark_filter="^$2\$" --benchmark_min_time=0.01 >/dev/null 2>&1 || return 1
  # In the caller tree, the function's block lists its callers with their call counts ("(17,832x)")
  # and then the function itself with its inclusive instructions.
  callgrind_annotate --inclusive=yes --tree=caller --threshold=100 "$out" 2>/dev/null | awk -v fn="$3" '
    /^$/ { calls = 0; next }
    / < / { n = $0; sub(/.*\(/, "", n); sub(/x\).*/, "", n); gsub(",", "", n); calls += n; next }
    / \*  / && index($0, fn) { ir = $1; gsub(",", "", ir); if (calls) printf "%.0f\n", ir / calls; exit }'
}

m() { median <"$work/$1"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {if (b > 0) printf "%.2fx", a / b; else print "n/a"}'; }
pct() { awk -v s="$1" 'BEGIN {printf "%.3f%%", s / 60 * 100}'; }

sp=$(m start.player) sm=$(m start.minimal) sf=$(m start.fair)
to=$(m titles.open) tc=$(m titles.change)
rp=$(m rss.player) rm=$(m rss.minimal) rf=$(m rss.fair)
cp=$(m cpu.player) cm=$(m cpu.mpv) cs=$(m cpu.scroll)
cwp=$(m cpuwake.player) cwm=$(m cpuwake.mpv)
ip=$(m idle.player) im=$(m idle.minimal)
wp=$(m wake.player) wm=$(m wake.minimal)
ipl=$(m idle.player.late) iml=$(m idle.minimal.late)
wpl=$(m wake.player.late) wml=$(m wake.minimal.late)
mib() { awk -v k="$1" 'BEGIN {printf "%.1f", k / 1024}'; }
re=$(m reaction)

echo
echo "Machine: $(lscpu | sed -n 's/^Model name: *//p'), $(nproc) cores; $runs runs, ${seconds} s per processor measurement"
echo "Player: $player; load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
echo
echo "| Figure (median of $runs runs) | Player | Floor or peer | Ratio | Aim |"
echo "|---|---|---|---|---|"
printf '| Start-up to first painted frame | %.0f ms | %.0f ms (minimal window) | %s | |\n' "$sp" "$sm" "$(ratio "$sp" "$sm")"
printf '| Start-up to first painted frame | %.0f ms | %.0f ms (fair floor: the window painting text) | %s | within 1.2x |\n' "$sp" "$sf" "$(ratio "$sp" "$sf")"
printf '| Disc ready to its title on the LCD: image opened at start | %.0f ms | | | < 100 ms |\n' "$to"
printf '| Disc ready to its title on the LCD: after an eject | %.0f ms | | | < 100 ms |\n' "$tc"
printf '| Peak memory (VmHWM), demo disc playing, LCD shown | %s MiB | %s MiB (minimal window) | %s | within 1.3x |\n' \
  "$(mib "$rp")" "$(mib "$rm")" "$(ratio "$rp" "$rm")"
printf '| Peak memory (VmHWM), demo disc playing, LCD shown | %s MiB | %s MiB (fair floor: the window painting text) | %s | within 1.1x |\n' \
  "$(mib "$rp")" "$(mib "$rf")" "$(ratio "$rp" "$rf")"
printf '| Processor while playing an image, LCD scrolling | %.4f s/min (%s of a core) | %.4f s/min (%s; mpv cdda://) | %s | <= 0.2x mpv |\n' \
  "$cp" "$(pct "$cp")" "$cm" "$(pct "$cm")" "$(ratio "$cp" "$cm")"
printf '| Processor while playing an image, LCD scrolling | %.4f s/min | %.4f s/min (%s; the fair floor scrolling a line every 250 ms) | %s | |\n' \
  "$cp" "$cs" "$(pct "$cs")" "$(ratio "$cp" "$cs")"
printf '| Wake-ups while playing, all threads | %.1f /s | %.1f /s (mpv cdda://) | %s | |\n' "$cwp" "$cwm" "$(ratio "$cwp" "$cwm")"
printf '| Processor while idle, no disc, poll ticking, 3 to %d s after start | %.4f s/min (%s of a core) | %.4f s/min (%s; minimal window with a 250 ms timer) | %s | <= 1.3x |\n' \
  $((3 + seconds)) "$ip" "$(pct "$ip")" "$im" "$(pct "$im")" "$(ratio "$ip" "$im")"
printf '| Processor while idle, no disc, poll ticking, 33 to %d s after start | %.4f s/min (%s of a core) | %.4f s/min (%s; minimal window with a 250 ms timer) | %s | <= 1.3x |\n' \
  $((33 + seconds)) "$ipl" "$(pct "$ipl")" "$iml" "$(pct "$iml")" "$(ratio "$ipl" "$iml")"
printf '| Wake-ups while idle, all threads, 3 to %d s after start | %.1f /s | %.1f /s (minimal window with a 250 ms timer) | %s | 4 /s |\n' $((3 + seconds)) "$wp" "$wm" "$(ratio "$wp" "$wm")"
printf '| Wake-ups while idle, all threads, 33 to %d s after start | %.1f /s | %.1f /s (minimal window with a 250 ms timer) | %s | 4 /s |\n' $((33 + seconds)) "$wpl" "$wml" "$(ratio "$wpl" "$wml")"
printf '| Grid press to first frames of the track in the output | %.1f ms | | | < 50 ms |\n' "$re"
for b in BM_ModeWhilePlaying:'CdAudioDevice::Mode(' BM_PositionWhilePlaying:'CdAudioDevice::Position('; do
  n=$(instructions_per_call "$build/bench/device_bench" "${b%%:*}" "${b#*:}" | head -n1 || true)
  printf '| device_bench %s, one call | %s instructions | | | |\n' "${b%%:*}" "${n:-n/a}"
done
