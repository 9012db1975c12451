#!/usr/bin/env bash
# Opening rips in the real program under Xvfb with openbox:
#   1. a path on the command line wins over TUNEWICK_DEVICE;
#   2. a second start with another sheet hands it to the running player, which plays on in one panel
#      with the new disc's titles, and ends at once;
#   3. a second start without a path brings the panel back after HIDE and restores it when
#      minimised, ending the launcher's startup notification;
#   4. a restart without a path or TUNEWICK_DEVICE opens the image left in the drive;
#   5. a folder holding one sheet, dragged from another program, opens; a text file is refused;
#   6. "demo" given to a second start opens the demo disc, not a file of that name;
#   7. a path whose name is not UTF-8 opens at the start while ROTOR.INI cannot be written.
#   open_disc_e2e.sh PROGRAM SCREENSHOT_DIR DRAG_SOURCE
set -euo pipefail
program=$1
shots=$2
drag_source=$3
. "$(dirname "$0")/../support/x-session.sh"
. "$(dirname "$0")/../support/rip.sh"
begin_e2e open-disc
mkdir -p "$work/rips"
export TUNEWICK_DEVICE=demo TUNEWICK_AUDIO=null TUNEWICK_TITLE_LOG=$work/titles.log
make_silent_rip "$work/rips" first 3 20
make_silent_rip "$work/rips" second 5 30
printf 'First Rip\r\n' >"$XDG_DATA_HOME/cd-tunewick32/$(catalogue_name 3 20)"
printf 'Second Rip\r\n' >"$XDG_DATA_HOME/cd-tunewick32/$(catalogue_name 5 30)"

start_x_session

# Visible windows named as the panel (xdotool's search also matches other names of a window).
panels() {
  for id in $(xdotool search --onlyvisible --pid "$program_pid" --name '^CD-Tunewick32' 2>/dev/null || true); do
    xdotool getwindowname "$id" | grep '^CD-Tunewick32' || true
  done | wc -l
}
wait_title_line() {
  for _ in $(seq 100); do grep -q "$1" "$work/titles.log" 2>/dev/null && return 0; sleep 0.1; done
  return 1
}
# A second start: it must end at once whatever it hands over.
second_start() {
  local started=$(date +%s%N)
  timeout 5 "$program" "$@" >"$work/second.log" 2>&1 || fail "the second start did not end by itself"
  echo "second start ended after $(( ($(date +%s%N) - started) / 1000000 )) ms"
  grep -q '^drive: ' "$work/second.log" && fail "the second start ran a player of its own"
  return 0
}

step "a path on the command line wins over TUNEWICK_DEVICE"
start_program "$work/rips/first.cue"
wait_title_line 'First Rip' || fail "the LCD did not show the first rip's title"
grep -q "^drive: $work/rips/first.cue;" "$work/program.log" || fail "first line: $(head -n1 "$work/program.log")"
grep -q '^Image=.*/first.cue$' "$settings" || fail "the opened image is not kept: $(cat "$settings")"

step "a second start with another sheet: the running player takes it, in one panel"
xdotool mousemove --window "$panel" 68 13 click 1  # track 1 plays
sleep 1
second_start "$work/rips/second.cue"
wait_title_line 'Second Rip' || fail "the LCD did not change to the second rip's title"
[ "$(panels)" = 1 ] || fail "$(panels) panels after the hand-over"
grep -q '^Image=.*/second.cue$' "$settings" || fail "the second image is not the one kept"
grep -A2 '^\[Recent\]' "$settings" | grep -q '^File2=.*/first.cue$' || fail "recent images: $(cat "$settings")"

step "a second start without a path brings the panel back after HIDE"
xdotool mousemove --window "$panel" 292 13 click 1  # DISPLAY: HIDE needs the LCD
wait_window "$program_pid" '^DISPLAY$' >/dev/null || fail "DISPLAY did not show the LCD"
sleep 0.5
xdotool mousemove --window "$panel" 274 31 click 1  # HIDE
for _ in $(seq 50); do [ "$(panels)" = 0 ] && break; sleep 0.1; done
[ "$(panels)" = 0 ] || fail "HIDE did not hide the panel"
# The launcher's startup id ends its launch feedback: the running player says so on the root window.
xev -root -event property >"$work/root-events.log" 2>&1 &
pids+=($!)
sleep 0.5
DESKTOP_STARTUP_ID=launcher-1_TIME4242 second_start
panel=$(wait_window "$program_pid" '^CD-Tunewick32') || fail "the panel did not come forward"
xprop -id "$panel" _NET_WM_STATE | grep -q HIDDEN && fail "the panel came forward minimised"
sleep 0.5
grep -q '_NET_STARTUP_INFO_BEGIN' "$work/root-events.log" || fail "no startup-notification message for the startup id"

step "a second start without a path restores the minimised panel"
xdotool mousemove --window "$panel" 310 31 click 1  # ICON
hidden() { xprop -id "$panel" _NET_WM_STATE | grep -q _NET_WM_STATE_HIDDEN; }
for _ in $(seq 50); do hidden && break; sleep 0.1; done
hidden || fail "ICON did not minimise the panel"
second_start
for _ in $(seq 50); do hidden || break; sleep 0.1; done
hidden && fail "the second start did not restore the minimised panel"
import -window root "$shots/come-forward.png"

step "a restart opens the image left in the drive"
stop "$program_pid"
: >"$work/titles.log"
unset TUNEWICK_DEVICE
start_program
wait_title_line 'Second Rip' || fail "the restart did not open the image left in the drive"
grep -q "^drive: $work/rips/second.cue" "$work/program.log" || fail "first line: $(head -n1 "$work/program.log")"
step "a drag from another program: a folder with one sheet opens, a text file is refused"
# Drags $1 from a window of drag_source onto the panel; prints what the drag source was told.
drag_to_panel() {
  "$drag_source" "$1" >"$work/drag.log" 2>"$work/drag.err" &
  local source_pid=$!
  pids+=($source_pid)
  local source
  source=$(wait_window "$source_pid" '^drag-source$') || fail "the drag source did not appear"
  sleep 0.5
  xdotool mousemove --window "$source" 60 60 mousedown 1
  for step in 1 2 3 4 5 6; do xdotool mousemove --window "$panel" $((30 * step)) 20; sleep 0.2; done
  xdotool mouseup 1
  for _ in $(seq 200); do kill -0 "$source_pid" 2>/dev/null || break; sleep 0.1; done
  cat "$work/drag.log"
}
printf 'not a sheet\n' >"$work/notes.txt"
[ "$(drag_to_panel "$work/notes.txt")" = refused ] || fail "the text file was not refused: $(cat "$work/drag.log")"
[ "$(drag_to_panel "$work/rips")" = refused ] || fail "a folder with two sheets was not refused"
mkdir "$work/one" && mv "$work/rips/first.cue" "$work/rips/first.bin" "$work/one/"
[ "$(drag_to_panel "$work/one")" = accepted ] || fail "the folder with one sheet was refused: $(cat "$work/drag.log")"
wait_title_line 'First Rip' || fail "the dropped folder's sheet did not open"
grep -q '^Image=.*/one/first.cue$' "$settings" || fail "the dropped sheet is not the one kept"

step "\"demo\" given to a second start is the demo disc"
(cd "$work" && touch demo && second_start demo)
wait_title_line 'デモディスク' || fail "the second start's demo did not open the demo disc"
grep -q '^Image=$' "$settings" || fail "the demo disc is kept as an image: $(cat "$settings")"

step "a name that is not UTF-8 opens at the start while ROTOR.INI cannot be written"
stop "$program_pid"
latin1=$work/$'caf\xe9'
mkdir "$latin1"
make_silent_rip "$latin1" rip 4 25
mv "$latin1/rip.cue" "$latin1/"$'caf\xe9.cue'
printf 'Latin-1 Rip\r\n' >"$XDG_DATA_HOME/cd-tunewick32/$(catalogue_name 4 25)"
rm "$settings" && mkdir "$settings"
: >"$work/titles.log"
start_program "$latin1/"$'caf\xe9.cue'
wait_title_line 'Latin-1 Rip' || fail "the rip with a Latin-1 name did not open"
grep -qa "^drive: $latin1/"$'caf\xe9.cue;' "$work/program.log" || fail "first line: $(head -n1 "$work/program.log")"
kill -0 "$program_pid" || fail "the player ended"
echo "open disc ok"
