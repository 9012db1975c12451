#!/usr/bin/env bash
# End to end: a rip whose first track is flagged for pre-emphasis, played by the real program into
# a WAV file. A 10 kHz tone must come out 7.61 dB lower (within 0.1 dB) on the flagged track and
# unchanged on the unflagged track after it.
#   deemphasis_e2e.sh PROGRAM
set -euo pipefail
program=$1
. "$(dirname "$0")/../support/x-session.sh"
work=$(mktemp -d)
pids=()
trap end_session EXIT
fail() {
  echo "FAIL: $*"
  [ -f "$work/program.log" ] && cat "$work/program.log"
  exit 1
}

export TUNEWICK_TEST_GUARD=deemphasis-$$
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/run
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
sox -n -r 44100 -c 2 -b 16 "$work/tone.wav" synth 6 sine 10000 vol 0.5
printf 'FILE "tone.wav" WAVE\n  TRACK 01 AUDIO\n    FLAGS PRE\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    INDEX 01 00:03:00\n' >"$work/tone.cue"
# Its titles, so that no registration question stands in the way: the catalogue file is named by
# the disc's length (449 sectors: 0 min | 5 s << 8 | 74 frames << 16).
mkdir -p "$XDG_DATA_HOME/cd-tunewick32"
printf 'Tone\r\nFlagged\r\nPlain\r\n' >"$XDG_DATA_HOME/cd-tunewick32/4850944.CDL"
export TUNEWICK_DEVICE=$work/tone.cue TUNEWICK_AUDIO=wav:$work/out.wav

start_x_session

"$program" >"$work/program.log" 2>&1 &
player=$!
pids+=($player)
panel=$(wait_window "$player" '^CD-Tunewick32') || fail "no main panel"
sleep 0.5
xdotool mousemove --window "$panel" 73 13 click 1  # the grid cell of track 1
for _ in $(seq 100); do
  [ "$(xdotool getwindowname "$panel")" = "CD-Tunewick32 Track : 01" ] && break
  sleep 0.1
done
[ "$(xdotool getwindowname "$panel")" = "CD-Tunewick32 Track : 01" ] || fail "track 1 did not start"
# Both tracks play through, in real time; then the file is complete.
for _ in $(seq 150); do
  [ "$(xdotool getwindowname "$panel")" = "CD-Tunewick32" ] && break
  sleep 0.1
done
stop "$player"

# RMS level of a second of FILE from START seconds on.
level() { sox --ignore-length "$1" -n trim "$2" 1 stat 2>&1 | awk '/^RMS +amplitude/ {print $3}'; }
change() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.3f", 20 * log(a / b) / log(10)}'; }
flagged=$(change "$(level "$work/out.wav" 1)" "$(level "$work/tone.wav" 1)")
unflagged=$(change "$(level "$work/out.wav" 4)" "$(level "$work/tone.wav" 4)")
echo "flagged track: $flagged dB, unflagged track: $unflagged dB"
awk -v d="$flagged" 'BEGIN {exit !(d > -7.71 && d < -7.51)}' || fail "the flagged track changed by $flagged dB, not -7.61"
awk -v d="$unflagged" 'BEGIN {exit !(d > -0.01 && d < 0.01)}' || fail "the unflagged track changed by $unflagged dB"
echo "de-emphasis ok"
