#!/usr/bin/env bash
# End to end: the real program in a real X server with a window manager, driven with xdotool
# like a user would, and checked from outside (window titles and places, files, the sound file).
#   run_e2e.sh PROGRAM SCREENSHOT_DIR TONE_CHECK
set -euo pipefail
program=$1
shots=$2
tone_check=$3
. "$(dirname "$0")/../support/x-session.sh"
begin_e2e e2e
export TUNEWICK_DEVICE=demo TUNEWICK_AUDIO=wav:$work/out.wav TUNEWICK_TITLE_LOG=$work/titles.log

start_x_session

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
shot() { import -window "$1" "$shots/$2.png"; }
# The window's _NET_WM_STATE as the window manager keeps it.
wm_state() { xprop -id "$1" _NET_WM_STATE; }
has_state() { wm_state "$1" | grep -q "_NET_WM_STATE_$2"; }
# Waits until the window has (or, with "!", lacks) the state.
wait_state() {
  for _ in $(seq 50); do
    if [ "$2" = "!" ]; then has_state "$1" "$3" || return 0; else has_state "$1" "$2" && return 0; fi
    sleep 0.1
  done
  return 1
}
wait_title() {
  for _ in $(seq 50); do [ "$(xdotool getwindowname "$1")" = "$2" ] && return 0; sleep 0.1; done
  return 1
}
# The popup menu is the program's window named after the program in lower case.
menu_open() {
  for id in $(xdotool search --onlyvisible --name '.*' 2>/dev/null); do
    [ "$(xdotool getwindowname "$id")" = cd-tunewick32 ] && return 0
  done
  return 1
}

step "first start without a settings file"
"$program" >"$work/program.log" 2>&1 &
program_pid=$!
pids+=($program_pid)
panel=$(wait_window '^CD-Tunewick32') || {
  kill -0 "$program_pid" 2>/dev/null || fail "the program ended at once (another copy running with this guard?)"
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

step "the demo disc comes with its titles: the first start asks nothing"
for _ in $(seq 30); do grep -q 'デモディスク' "$work/titles.log" 2>/dev/null && break; sleep 0.1; done
grep -q 'デモディスク' "$work/titles.log" || fail "the LCD did not show the demo disc's title"
sleep 1
for name in '^タイトルの検索$' '^情報$'; do
  xdotool search --onlyvisible --name "$name" >/dev/null 2>&1 && fail "the demo disc asked a question ($name)"
done

step "a second start hands over a rip of tones: a new disc"
"$tone_check" --write-rip "$work" 3 20 || fail "could not write the rip"
timeout 5 "$program" "$work/tones.cue" >/dev/null 2>&1 || fail "the second start with a path did not end"

step "the first new disc asks once whether titles may be looked up online; いいえ is kept"
consent=$(wait_window '^タイトルの検索$') || fail "no question about the online look-up"
keys_to "$consent" key alt+n
wait_gone '^タイトルの検索$' || fail "the online question did not close"
grep -q '^MusicBrainz=0' "$settings" || fail "the answer was not kept: $(cat "$settings")"

step "the new disc asks to be registered; the titles typed are saved; Tab leads into the first title cell"
question=$(wait_window '^情報$') || fail "no registration question"
shot "$question" question
keys_to "$question" key Return
editor=$(wait_window '^CD_Database$') || fail "the editor did not open"
sleep 0.5
keys_to "$editor" type --delay 30 'Demo Disc'
xdotool key Tab
xdotool type --delay 30 'First Song'
has_state "$editor" SKIP_TASKBAR || fail "the editor has a task-bar entry"
shot "$editor" editor
keys_to "$editor" key alt+s
sleep 0.5
keys_to "$editor" key alt+c
wait_gone '^CD_Database$' || fail "the editor did not close"
cdl=$(ls "$XDG_DATA_HOME"/cd-tunewick32/*.CDL 2>/dev/null | grep -v /1451043.CDL | head -n1)
[ -n "$cdl" ] || fail "no catalogue file written"
head -c 11 "$cdl" | od -c | head -2
[ "$(head -c 23 "$cdl")" = "$(printf 'Demo Disc\r\nFirst Song\r\n')" ] ||
  fail "catalogue file does not start with the title and the first track's title, each with CR LF"
sleep 0.5
grep -q 'Demo Disc' "$work/titles.log" || fail "the LCD did not show the disc title"

step "pressing a grid cell plays that track"
click_at "$panel" 105 13
name=$(xdotool getwindowname "$panel")
[ "$name" = "CD-Tunewick32 Track : 03" ] || fail "window title after the press: $name"
sleep 3
"$tone_check" "$work/out.wav" 3 1.5 || fail "the output does not hold track 3's tone"

step "a right press on the grid plays the cell's track; the release opens the shared menu"
click_at "$panel" 70 48  # Stop
wait_title "$panel" "CD-Tunewick32" || fail "Stop did not reset the title"
xdotool mousemove --window "$panel" 173 13 mousedown 3
wait_title "$panel" "CD-Tunewick32 Track : 03" || fail "the right press did not restart the track"
menu_open && fail "a menu opened on the press"
xdotool mouseup 3
sleep 0.3
menu_open || fail "no menu opened on the release"
xdotool key Down Down Down Down Return  # ディスプレイ表示
lcd=$(wait_window '^DISPLAY$') || fail "the menu's display item did not show the LCD"
xprop -id "$lcd" _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE || fail "the LCD is not kept above other windows"
sleep 1
shot "$lcd" lcd
shot "$panel" panel

step "one task-bar entry; ICON minimises the shown windows together and they come back together"
has_state "$panel" SKIP_TASKBAR && fail "the panel has no task-bar entry"
has_state "$lcd" SKIP_TASKBAR || fail "the LCD has a task-bar entry beside the panel's"
click_at "$panel" 310 31
wait_state "$panel" HIDDEN || fail "ICON did not minimise the panel"
wait_state "$lcd" HIDDEN || fail "ICON did not minimise the LCD"
xdotool windowactivate "$panel"  # as the task bar restores the program
wait_state "$panel" ! HIDDEN || fail "the panel was not restored"
wait_state "$lcd" ! HIDDEN || fail "the LCD was not restored with the panel"

step "HIDE hides the panel and gives the LCD the task-bar entry; the LCD's panel button brings it back"
click_at "$panel" 274 31
wait_gone '^CD-Tunewick32' || fail "HIDE did not hide the panel"
wait_state "$lcd" ! SKIP_TASKBAR || fail "the LCD has no task-bar entry while the panel is hidden"
click_at "$lcd" 363 44
panel=$(wait_window '^CD-Tunewick32') || fail "the LCD's panel button did not bring the panel back"
wait_state "$lcd" SKIP_TASKBAR || fail "the LCD kept its task-bar entry beside the panel's"
has_state "$panel" HIDDEN && fail "the panel came back minimised"

step "the about box and the track selector"
click_at "$panel" 183 48
click_at "$panel" 213 48
about=$(wait_window '^バージョン情報$') || fail "the about box did not open"
shot "$about" about
has_state "$about" SKIP_TASKBAR || fail "the about box has a task-bar entry"
keys_to "$about" key Escape
sleep 0.5
xdotool search --onlyvisible --name '^バージョン情報$' >/dev/null || fail "Esc closed the about box"
keys_to "$about" key Return
wait_gone '^バージョン情報$' || fail "Enter did not close the about box"
xdotool mousemove --window "$panel" 241 20 click 3  # the grid's scroll bar
sleep 0.3
xdotool key Down Return  # TrackSelecter を表示
selector=$(wait_window '^Form5$') || fail "a right click on the grid's scroll bar did not open the shared menu"
shot "$selector" selector
has_state "$selector" SKIP_TASKBAR || fail "the selector has a task-bar entry"
keys_to "$selector" key alt+F4
wait_gone '^Form5$' || fail "the window manager's close did not close the selector"
xdotool mousemove --window "$panel" 241 20 click 3
sleep 0.3
xdotool key Down Return  # TrackSelecter を表示, offered again
selector=$(wait_window '^Form5$') || fail "the menu did not offer the selector again after its close"
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

step "with the panel hidden, a window-manager close of the LCD ends the program and saves the settings"
click_at "$panel" 274 31
wait_gone '^CD-Tunewick32' || fail "HIDE did not hide the panel"
keys_to "$lcd" key alt+F4
for _ in $(seq 50); do kill -0 "$program_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$program_pid" 2>/dev/null && fail "the program did not end"
keys=$(grep -v -e '^\[' -e '^$' "$settings" | cut -d= -f1 | tr '\n' ' ')
[ "$keys" = "Image File1 MusicBrainz Pos(X) Pos(Y) LOOP Delay Visible Pos(X) Pos(Y) Pos(X) Pos(Y) Pos(X) Pos(Y) " ] ||
  fail "settings keys: $keys"
grep -A2 '^\[Tunewick\]' "$settings" | grep -q '^Pos(X)=140' || fail "moved panel position not saved"
cat "$settings"
echo "e2e ok"
