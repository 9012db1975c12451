#!/usr/bin/env bash
# End to end: the real program in a real X server with a window manager, driven with xdotool
# like a user would, and checked from outside (window titles and places, files, the sound file).
#   run_e2e.sh PROGRAM SCREENSHOT_DIR [TONE_CHECK]
set -euo pipefail
program=$1
shots=$2
tone_check=${3:-}
mkdir -p "$shots"
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/run
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
export TUNEWICK_DEVICE=demo TUNEWICK_AUDIO=wav:$work/out.wav TUNEWICK_TITLE_LOG=$work/titles.log
settings=$XDG_CONFIG_HOME/cd-tunewick32/ROTOR.INI

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(head -n1 "$work/display")
openbox --sm-disable >/dev/null 2>&1 &
pids+=($!)
sleep 1

step() { echo "--- $*"; }
fail() {
  echo "FAIL: $*"
  import -window root "$shots/failure.png" 2>/dev/null || true
  [ -f "$work/program.log" ] && cat "$work/program.log"
  exit 1
}
# Waits for a visible window whose name matches; prints its id.
wait_window() {
  for _ in $(seq 100); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}
wait_gone() {
  for _ in $(seq 100); do
    xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  return 1
}
geometry() { xdotool getwindowgeometry --shell "$1" | tr '\n' ' '; }
click_at() { xdotool mousemove --window "$1" "$2" "$3" click 1; sleep 0.4; }
# Keys go to the focused window, as a user's would: activate the window first.
keys_to() {
  local id=$1; shift
  xdotool windowactivate --sync "$id" 2>/dev/null || xdotool windowfocus --sync "$id"
  xdotool "$@"
}
shot() { import -window "$1" "$shots/$2.png"; }

# Only one copy runs per user: wait for any other copy (another test, a benchmark) to end.
for _ in $(seq 240); do pgrep -u "$(id -u)" -x cd-tunewick32 >/dev/null || break; sleep 0.5; done

step "first start without a settings file"
"$program" >"$work/program.log" 2>&1 &
program_pid=$!
pids+=($program_pid)
panel=$(wait_window '^CD-Tunewick32') || {
  kill -0 "$program_pid" 2>/dev/null || fail "the program ended at once (another copy running for this user?)"
  fail "the main panel did not appear"
}
eval "$(xdotool getwindowgeometry --shell "$panel")"
[ "$X,$Y,$WIDTH,$HEIGHT" = "100,100,333,61" ] || fail "panel at $X,$Y size ${WIDTH}x$HEIGHT"
xdotool search --onlyvisible --name '^DISPLAY$' >/dev/null 2>&1 && fail "the LCD is shown at first start"
head -n1 "$work/program.log" | grep -q '^drive: ' || fail "first output line names no drive"

step "a second start ends at once, shows nothing and writes nothing"
fingerprint() { find "$XDG_CONFIG_HOME" -type f -exec md5sum {} + 2>/dev/null | sort || true; }
before=$(fingerprint)
timeout 5 "$program" >/dev/null 2>&1 || fail "second instance did not end by itself"
[ "$(fingerprint)" = "$before" ] || fail "second instance touched the settings"
[ "$(xdotool search --name '^CD-Tunewick32' | wc -l)" -le 2 ] || fail "second instance showed a window"

step "a new disc asks to be registered; the titles typed are saved"
question=$(wait_window '^情報$') || fail "no registration question"
shot "$question" question
keys_to "$question" key Return
editor=$(wait_window '^CD_Database$') || fail "the editor did not open"
sleep 0.5
keys_to "$editor" type --delay 30 'Demo Disc'
shot "$editor" editor
keys_to "$editor" key alt+s
sleep 0.5
keys_to "$editor" key alt+c
wait_gone '^CD_Database$' || fail "the editor did not close"
cdl=$(ls "$XDG_DATA_HOME"/cd-tunewick32/*.CDL 2>/dev/null | head -n1)
[ -n "$cdl" ] || fail "no catalogue file written"
head -c 11 "$cdl" | od -c | head -2
[ "$(head -c 11 "$cdl")" = "$(printf 'Demo Disc\r\n')" ] || fail "catalogue file does not start with the title and CR LF"
sleep 0.5
grep -q 'Demo Disc' "$work/titles.log" || fail "the LCD did not show the disc title"

step "pressing a grid cell plays that track"
click_at "$panel" 105 13
name=$(xdotool getwindowname "$panel")
[ "$name" = "CD-Tunewick32 Track : 03" ] || fail "window title after the press: $name"
if [ -n "$tone_check" ]; then
  sleep 3
  "$tone_check" "$work/out.wav" 3 1.5 || fail "the output does not hold track 3's tone"
fi

step "DISPLAY shows the LCD, HIDE hides the panel, the LCD's panel button brings it back"
click_at "$panel" 292 13
lcd=$(wait_window '^DISPLAY$') || fail "DISPLAY did not show the LCD"
xprop -id "$lcd" _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE || fail "the LCD is not kept above other windows"
sleep 1
shot "$lcd" lcd
shot "$panel" panel
click_at "$panel" 274 31
wait_gone '^CD-Tunewick32' || fail "HIDE did not hide the panel"
click_at "$lcd" 363 44
panel=$(wait_window '^CD-Tunewick32') || fail "the LCD's panel button did not bring the panel back"

step "the about box and the track selector"
click_at "$panel" 183 48
click_at "$panel" 213 48
about=$(wait_window '^バージョン情報$') || fail "the about box did not open"
shot "$about" about
keys_to "$about" key Return
wait_gone '^バージョン情報$' || fail "Enter did not close the about box"
click_at "$lcd" 316 44
selector=$(wait_window '^Form5$') || fail "the selector did not open"
shot "$selector" selector
click_at "$selector" 253 36
wait_gone '^Form5$' || fail "Close did not close the selector"

step "dragging the panel by its margin moves it"
eval "$(xdotool getwindowgeometry --shell "$panel")"
xdotool mousemove --window "$panel" 100 60 mousedown 1
sleep 0.3
for _ in 1 2 3 4; do xdotool mousemove_relative 10 10; sleep 0.1; done
xdotool mouseup 1
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$panel")"
[ "$X,$Y" = "140,140" ] || fail "panel at $X,$Y after the drag"

step "power off ends the program and saves the settings"
click_at "$panel" 32 19
for _ in $(seq 50); do kill -0 "$program_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$program_pid" 2>/dev/null && fail "the program did not end"
keys=$(grep -v -e '^\[' -e '^$' "$settings" | cut -d= -f1 | tr '\n' ' ')
[ "$keys" = "Pos(X) Pos(Y) LOOP Delay Visible Pos(X) Pos(Y) Pos(X) Pos(Y) Pos(X) Pos(Y) " ] ||
  fail "settings keys: $keys"
grep -A2 '^\[Tunewick\]' "$settings" | grep -q '^Pos(X)=140' || fail "moved panel position not saved"
cat "$settings"
echo "e2e ok"
