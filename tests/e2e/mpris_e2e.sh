#!/usr/bin/env bash
# End to end: the desktop's media controls. The real program on a private session bus
# (dbus-run-session) and a real X server with a window manager, driven by playerctl and dbus-send
# as a desktop's media keys and sound applet would, and by xdotool on the panel's own buttons.
#   mpris_e2e.sh PROGRAM DEMO_CATALOGUE SCREENSHOT_DIR
set -euo pipefail
# A bus of its own, gone with the test: re-run inside dbus-run-session.
if [ -z "${MPRIS_E2E_BUS:-}" ]; then
  MPRIS_E2E_BUS=1 exec dbus-run-session -- bash "$0" "$@"
fi
program=$1
catalogue=$2
shots=$3
. "$(dirname "$0")/../support/x-session.sh"
begin_e2e mpris
cp "$catalogue" "$XDG_DATA_HOME/cd-tunewick32/"
# The online look-up stays off: a new disc's first question is the registration question.
printf '[Online]\r\nMusicBrainz=0\r\n' >"$settings"
export TUNEWICK_DEVICE=demo TUNEWICK_AUDIO=null

start_x_session

wait_title() {
  for _ in $(seq 30); do [ "$(xdotool getwindowname "$panel")" = "$1" ] && return 0; sleep 0.1; done
  fail "panel title '$(xdotool getwindowname "$panel")', expected '$1'"
}
ctl() { playerctl -p cd_tunewick32 "$@" 2>/dev/null || true; }
# Waits up to 5 s until `playerctl ARGS...` prints the expected text.
expect_ctl() {
  local want=$1; shift
  for _ in $(seq 50); do
    [ "$(ctl "$@")" = "$want" ] && return 0
    sleep 0.1
  done
  fail "playerctl $* printed '$(ctl "$@")', expected '$want'"
}
mpris() {
  dbus-send --session --print-reply --dest=org.mpris.MediaPlayer2.cd_tunewick32 /org/mpris/MediaPlayer2 "$@"
}
property() {
  mpris org.freedesktop.DBus.Properties.Get string:org.mpris.MediaPlayer2.Player "string:$1" | tail -n1 | awk '{print $NF}'
}
# The text of catalogue line N (1: the disc title), in UTF-8.
catalogue_line() { iconv -f CP932 -t UTF-8 "$catalogue" | sed -n "$1p" | tr -d '\r'; }

# Starts the player with the given environment, output to $1; sets $pid and $panel. While the copy
# this script stopped last still holds the guard, the new one ends at once: wait and try again.
start_player() {
  local log=$1; shift
  for _ in $(seq 60); do
    env "$@" "$program" >"$log" 2>&1 &
    pid=$!
    pids+=($pid)
    for _ in $(seq 300); do
      kill -0 "$pid" 2>/dev/null || break
      panel=$(xdotool search --all --onlyvisible --pid "$pid" --name '^CD-Tunewick32' 2>/dev/null | head -n1 || true)
      [ -n "$panel" ] && return 0
      sleep 0.1
    done
    kill -0 "$pid" 2>/dev/null && fail "the main panel did not appear"
    sleep 2
  done
  fail "the player did not start (another copy kept running?)"
}

step "without a session bus the player runs and says so once"
start_player "$work/program-nobus.log" DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus"
head -n1 "$work/program-nobus.log" | grep -q '^drive: .*; media controls: off (no session bus)' ||
  fail "start-up line: $(head -n1 "$work/program-nobus.log")"
[ "$(grep -c 'media controls' "$work/program-nobus.log")" = 1 ] || fail "the missing bus is reported more than once"
xdotool mousemove --window "$panel" 32 19 click 1
for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "power off did not end the player without a bus"

step "with the bus name taken the player runs and says so once"
/usr/bin/python3 -c '
from gi.repository import Gio, GLib
bus = Gio.bus_get_sync(Gio.BusType.SESSION)
bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
              GLib.Variant("(su)", ("org.mpris.MediaPlayer2.cd_tunewick32", 4)), None, 0, -1)
print("owned", flush=True)
GLib.MainLoop().run()' >"$work/owner.log" 2>&1 &
owner=$!
pids+=($owner)
for _ in $(seq 50); do grep -q owned "$work/owner.log" && break; sleep 0.1; done
start_player "$work/program-taken.log"
head -n1 "$work/program-taken.log" | grep -q '; media controls: off (org.mpris.MediaPlayer2.cd_tunewick32 is taken)' ||
  fail "start-up line: $(head -n1 "$work/program-taken.log")"
sleep 1   # a few poll ticks without the controls
kill -0 "$pid" 2>/dev/null || fail "the player ended with the name taken"
xdotool mousemove --window "$panel" 32 19 click 1
for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
wait "$pid" || fail "the player ended with status $? with the name taken"
kill "$owner"

step "playerctl sees the player"
start_player "$work/program.log"
head -n1 "$work/program.log" | grep -q '; media controls: org.mpris.MediaPlayer2.cd_tunewick32' ||
  fail "start-up line: $(head -n1 "$work/program.log")"
for _ in $(seq 50); do playerctl -l 2>/dev/null | grep -qx cd_tunewick32 && break; sleep 0.1; done
playerctl -l 2>/dev/null | grep -qx cd_tunewick32 || fail "playerctl does not list the player"
expect_ctl Stopped status
# The first poll tick with the disc enables Play on the bar.
for _ in $(seq 50); do [ "$(property CanPlay)" = true ] && break; sleep 0.1; done
[ "$(property CanPlay)" = true ] || fail "Play is not offered once the disc is loaded"
mpris org.freedesktop.DBus.Properties.Get string:org.mpris.MediaPlayer2 string:Identity | tail -n1 |
  grep -q 'string "CD-Tunewick32"$' || fail "Identity"

step "play plays track 1 and shows its Japanese title"
ctl play
expect_ctl Playing status
expect_ctl "$(catalogue_line 2)" metadata xesam:title
expect_ctl "$(catalogue_line 1)" metadata xesam:album
expect_ctl 1 metadata xesam:trackNumber

step "next moves one track"
ctl next
expect_ctl 2 metadata xesam:trackNumber
expect_ctl "$(catalogue_line 3)" metadata xesam:title
wait_title "CD-Tunewick32 Track : 02"

step "a seek moves within the track"
ctl position 30
for _ in $(seq 30); do [ "$(ctl position | cut -d. -f1)" -ge 30 ] 2>/dev/null && break; sleep 0.1; done
p=$(ctl position | cut -d. -f1)
[ "$p" -ge 30 ] && [ "$p" -le 33 ] || fail "position after the seek: $p"
expect_ctl 2 metadata xesam:trackNumber

step "loop Track lights REP on the panel"
# REP's caption is green while repeat is on, white while it is off.
rep_green() {
  import -window "$panel" png:- 2>/dev/null | convert - -crop 35x15+257+41 txt:- | grep -c '#008000' || true
}
[ "$(rep_green)" = 0 ] || fail "REP is lit before loop Track"
ctl loop Track
expect_ctl Track loop
for _ in $(seq 30); do [ "$(rep_green)" -gt 0 ] && break; sleep 0.1; done
[ "$(rep_green)" -gt 0 ] || fail "REP is not lit after loop Track"
[ -n "$shots" ] && mkdir -p "$shots" && import -window "$panel" "$shots/mpris-repeat.png"

step "status follows a press on the panel's own Stop button"
xdotool mousemove --window "$panel" 71 48 click 1
expect_ctl Stopped status
expect_ctl Playlist loop   # the stop switched repeat off; endless play is on
[ "$(rep_green)" = 0 ] || fail "REP still lit after Stop"

step "stop runs the bar's Stop: back to the start of the current track"
ctl play
expect_ctl Playing status
ctl next
expect_ctl 3 metadata xesam:trackNumber
playerctl -p cd_tunewick32 stop
expect_ctl Stopped status
expect_ctl 3 metadata xesam:trackNumber
[ "$(ctl position | cut -d. -f1)" = 0 ] || fail "position after stop: $(ctl position)"
wait_title CD-Tunewick32

step "shuffle on: Next is off on the bar, so the desktop cannot go next"
ctl shuffle On
expect_ctl On shuffle
expect_ctl Playing status
[ "$(property CanGoNext)" = false ] || fail "CanGoNext with shuffle on"
ctl shuffle Off
expect_ctl Off shuffle
[ "$(property CanGoNext)" = true ] || fail "CanGoNext after shuffle off"

step "Raise brings back the panel that HIDE hid"
xdotool mousemove --window "$panel" 292 13 click 1   # DISPLAY: HIDE works while the LCD is shown
sleep 0.4
xdotool mousemove --window "$panel" 274 31 click 1
for _ in $(seq 30); do xdotool search --all --onlyvisible --pid "$pid" --name '^CD-Tunewick32' >/dev/null 2>&1 || break; sleep 0.1; done
xdotool search --all --onlyvisible --pid "$pid" --name '^CD-Tunewick32' >/dev/null 2>&1 && fail "HIDE did not hide the panel"
mpris org.mpris.MediaPlayer2.Raise >/dev/null || fail "Raise was not answered"
for _ in $(seq 30); do xdotool search --all --onlyvisible --pid "$pid" --name '^CD-Tunewick32' >/dev/null 2>&1 && break; sleep 0.1; done
xdotool search --all --onlyvisible --pid "$pid" --name '^CD-Tunewick32' >/dev/null 2>&1 || fail "Raise did not show the panel"

step "Quit is the power button: settings saved, the player ends"
ctl loop None   # endless play off, saved as LOOP=0 at the end
expect_ctl None loop
mpris org.mpris.MediaPlayer2.Quit >/dev/null || fail "Quit was not answered"
for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "Quit did not end the player"
wait "$pid" || fail "the player ended with status $?"
grep -q '^LOOP=0' "$XDG_CONFIG_HOME/cd-tunewick32/ROTOR.INI" || fail "settings not saved: $(cat "$XDG_CONFIG_HOME/cd-tunewick32/ROTOR.INI")"
playerctl -l 2>/dev/null | grep -qx cd_tunewick32 && fail "the player is still on the bus"

step "a rip whose sheet title holds 0x1A registers; Quit waits while the editor is open"
sox -n -r 44100 -b 16 -c 2 "$work/live.wav" synth 8 sine 440 2>/dev/null
printf 'TITLE "Live\032Tokyo"\r\nFILE "live.wav" WAVE\r\n  TRACK 01 AUDIO\r\n    TITLE "Opener"\r\n    INDEX 01 00:00:00\r\n  TRACK 02 AUDIO\r\n    TITLE "Two"\r\n    INDEX 01 00:04:00\r\n' \
  >"$work/live.cue"
start_player "$work/program-live.log" TUNEWICK_DEVICE="$work/live.cue"
question=$(wait_window "$pid" '^情報$') || fail "no registration question for the rip"
keys_to "$question" key Return
editor=$(wait_window "$pid" '^CD_Database$') || fail "the editor did not open"
sleep 0.5
[ "$(mpris org.freedesktop.DBus.Properties.Get string:org.mpris.MediaPlayer2 string:CanQuit | tail -n1 | awk '{print $NF}')" = false ] ||
  fail "CanQuit is true while the editor is open"
mpris org.mpris.MediaPlayer2.Quit >/dev/null || fail "Quit was not answered"
keys_to "$editor" key Tab
xdotool key ctrl+a
xdotool type --delay 30 'Encore'
sleep 0.5
kill -0 "$pid" 2>/dev/null || fail "Quit ended the player under the open editor"
xdotool search --onlyvisible --name '^CD_Database$' >/dev/null || fail "Quit closed the editor"
keys_to "$editor" key alt+s
sleep 0.5
keys_to "$editor" key alt+c
for _ in $(seq 50); do xdotool search --onlyvisible --name '^CD_Database$' >/dev/null 2>&1 || break; sleep 0.1; done
cdl=$(ls "$XDG_DATA_HOME"/cd-tunewick32/*.CDL | grep -v "/$(basename "$catalogue")$" | head -n1)
[ -n "$cdl" ] || fail "the rip's titles were not saved"
[ "$(cat "$cdl")" = "$(printf 'Live Tokyo\r\nEncore\r\nTwo\r')" ] || fail "the rip's catalogue file holds: $(od -c "$cdl" | head -5)"
mpris org.mpris.MediaPlayer2.Quit >/dev/null || fail "Quit was not answered"
for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "Quit did not end the player once the editor had closed"
step "keys: Space plays, 1 2 plays track 12, Escape forgets, the media key acts once, L then Space, typed titles stay text"
start_player "$work/program-keys.log" TUNEWICK_TITLE_LOG="$work/titles-keys.log"
for _ in $(seq 50); do [ "$(property CanPlay)" = true ] && break; sleep 0.1; done
keys_to "$panel" key space
expect_ctl Playing status
xdotool key 1 2
wait_title "CD-Tunewick32 Track : 12"
for _ in $(seq 30); do grep -qxF "$(catalogue_line 13)" "$work/titles-keys.log" && break; sleep 0.1; done
grep -qxF "$(catalogue_line 13)" "$work/titles-keys.log" || fail "the LCD did not show track 12's title"
xdotool key 3 Escape
sleep 1.5   # past the remote's pause: a 3 not forgotten would play track 3 by now
wait_title "CD-Tunewick32 Track : 12"
xdotool key XF86AudioPlay   # with the player on the bus and no media-key service: one pause, not two
sleep 0.5
expect_ctl Paused status
xdotool key l               # REP plays as its click does; Pause leaves repeat on, Stop switches it off
expect_ctl Track loop
expect_ctl Playing status
xdotool key space
expect_ctl Paused status
expect_ctl Track loop
xdotool key s
expect_ctl Stopped status
[ "$(ctl loop)" != Track ] || fail "Stop by key left repeat on"
xdotool mousemove --window "$panel" 156 48 click 1 mousemove --window "$panel" 160 48 click 1
editor=$(wait_window "$pid" '^CD_Database$') || fail "the editor did not open"
keys_to "$editor" key ctrl+a
xdotool type --delay 30 '12 SNLE'
keys_to "$editor" key alt+s
sleep 0.5
keys_to "$editor" key alt+c
saved=$XDG_DATA_HOME/cd-tunewick32/$(basename "$catalogue")
[ "$(iconv -f CP932 -t UTF-8 "$saved" | head -n1 | tr -d '\r')" = '12 SNLE' ] || fail "the typed title reads: $(head -n1 "$saved")"
expect_ctl Stopped status   # 1 2, Space, L or E leaking from the editor would play or eject
expect_ctl 12 metadata xesam:trackNumber
mpris org.mpris.MediaPlayer2.Quit >/dev/null || fail "Quit was not answered"
echo "PASS"
