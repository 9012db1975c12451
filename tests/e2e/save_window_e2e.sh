#!/usr/bin/env bash
# End to end: saving a disc from the window. The real program under Xvfb with openbox, on a
# private session bus that dbus-monitor listens to as a dock and a notification server would:
#   1. a right click opens the popup menu, its item opens the save window; the folder is typed
#      into the window's line edit and Start pressed; the files appear, whole (the audio before
#      track 1 as a file of its own), and the window and the notification give the result; the
#      task bar's entry shows the progress, then hides it;
#   2. Start again: the question before replacing files; No keeps the files as they were, Yes
#      saves again.
#   save_window_e2e.sh PROGRAM SCREENSHOT_DIR
set -euo pipefail
# A bus of its own, gone with the test: re-run inside dbus-run-session.
if [ -z "${SAVE_E2E_BUS:-}" ]; then
  SAVE_E2E_BUS=1 exec dbus-run-session -- bash "$0" "$@"
fi
program=$1
shots=$2
. "$(dirname "$0")/../support/x-session.sh"
. "$(dirname "$0")/../support/rip.sh"
begin_e2e save-window
export TUNEWICK_AUDIO=null
printf '[Online]\r\nMusicBrainz=0\r\nAccurateRip=0\r\n' >"$settings"

# A rip of three tracks of three seconds, each a tone of its own (saving silence would prove
# little), the first second of track 1 its pregap (hidden audio), with a catalogue file so that it
# loads without the registration question.
mkdir -p "$work/rip"
make_silent_rip "$work/rip" tones 3 3
sed -i 's/    INDEX 01 00:00:00/    INDEX 00 00:00:00\n    INDEX 01 00:01:00/' "$work/rip/tones.cue"
/usr/bin/python3 - "$work/rip/tones.bin" <<'EOF'
import math, struct, sys
frames = 3 * 3 * 44100
with open(sys.argv[1], "wb") as out:
    out.write(b"".join(struct.pack("<hh", int(8000 * math.sin(i * (300 + 200 * (i // 132300)) * 2 * math.pi / 44100)),
                                   int(6000 * math.sin(i * 500 * 2 * math.pi / 44100))) for i in range(frames)))
EOF
# Its length from track 1's INDEX 01: eight seconds less one frame (599 frames = 7 s 74 f).
printf 'Tone Disc\r\nLow\r\nMiddle\r\nHigh\r\n' >"$XDG_DATA_HOME/cd-tunewick32/$((7 << 8 | 74 << 16)).CDL"
out=$work/Music
mkdir -p "$out"

dbus-monitor --session "type='signal',interface='com.canonical.Unity.LauncherEntry'" \
  "type='method_call',interface='org.freedesktop.Notifications',member='Notify'" >"$work/bus.log" 2>&1 &
pids+=($!)

start_x_session
start_program "$work/rip/tones.cue"
sleep 1.5  # the rip loads

# The save window, from the menu: the right click's menu, then its item, three above the last.
open_save_window() {
  xdotool mousemove --window "$panel" 173 13 click 3
  sleep 0.5
  xdotool key Up Up Up Up Return
  window=$(wait_window "$program_pid" '^ディスクを保存$') || fail "the save window did not open"
}
notifications() { grep -c 'member=Notify' "$work/bus.log" || true; }
# Waits up to 60 s for notification number $1.
wait_notification() {
  for _ in $(seq 600); do [ "$(notifications)" -ge "$1" ] && return 0; sleep 0.1; done
  fail "no notification of the result"
}
flac_files() { find "$out" -name '*.flac' | sort; }

step "the menu's item opens the window; Start saves into the folder typed"
open_save_window
import -window "$window" "$shots/save-window-start.png" 2>/dev/null || true
keys_to "$window" key ctrl+a
xdotool type --delay 20 "$out"
xdotool key Return
wait_notification 1
import -window "$window" "$shots/save-window-done.png" 2>/dev/null || true
[ "$(flac_files | wc -l)" = 4 ] || fail "files saved: $(find "$out" -type f)"
[ "$(flac_files | head -1 | xargs -d '\n' basename)" = "00 Tone Disc (隠しトラック).flac" ] ||
  fail "no hidden track: $(flac_files)"
find "$out" -name '*.flac' -exec flac -s -t {} + || fail "a saved file does not decode"
find "$out" -name '*.cue' | grep -q . || fail "no cue sheet beside the files"
find "$out" -name '*.log' | grep -q . || fail "no log beside the files"
[ -z "$(find "$out" -name '*.tmp*' -o -name '.*' -type f)" ] || fail "a temporary file was left: $(find "$out" -type f)"
grep -A12 'member=Notify' "$work/bus.log" | grep -q 'すべてのトラックを保存しました' ||
  fail "the notification does not say that every track is saved: $(cat "$work/bus.log")"
tr -d '\r' <"$settings" | grep -qx "Folder=$out" || fail "the folder is not kept: $(cat "$settings")"

step "the task bar's entry showed the progress, then hid it"
grep -A3 'member=Update' "$work/bus.log" | grep -q 'application://cd-tunewick32.desktop' || fail "no launcher entry update"
progress=$(grep -A1 '"progress"' "$work/bus.log" | grep -o 'double [0-9.]*' | awk '{print $2}')
echo "$progress" | awk '$1 > 0 && $1 < 1 {mid = 1} END {exit !mid}' || fail "no progress between 0 and 1: $progress"
echo "$progress" | tail -n1 | awk '{exit !($1 == 1)}' || fail "the last progress is not the whole: $progress"
last_visible=$(grep -A1 '"progress-visible"' "$work/bus.log" | grep -o 'boolean [a-z]*' | tail -n1)
[ "$last_visible" = "boolean false" ] || fail "the progress stays on the task bar: $last_visible"

step "Start again asks before replacing the files; No keeps them"
find "$out" -name '*.flac' -exec touch -d '2001-01-01' {} +
keys_to "$window" key alt+s
question=$(wait_window "$program_pid" '^上書きの確認$') || fail "no question before replacing files"
import -window "$question" "$shots/save-window-question.png" 2>/dev/null || true
keys_to "$question" key alt+n
sleep 1
[ -z "$(find "$out" -name '*.flac' -newermt '2002-01-01')" ] || fail "a file was replaced after No"
[ "$(notifications)" = 1 ] || fail "No was answered, yet a save ran"

step "Yes replaces them"
keys_to "$window" key alt+s
question=$(wait_window "$program_pid" '^上書きの確認$') || fail "no question before replacing files"
keys_to "$question" key alt+y
wait_notification 2
[ "$(find "$out" -name '*.flac' -newermt '2002-01-01' | wc -l)" = 4 ] || fail "Yes did not replace the files"
echo "PASS"
