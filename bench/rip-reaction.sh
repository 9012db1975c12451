#!/usr/bin/env bash
# Press to sound for a FLAC rip next to the same disc as a raw .bin: the delay from a press on the
# track grid to the first frames of the new track in the output, medians over RUNS runs of four
# presses each (tracks 3, 2, 1, 3 of three one-minute tones), in an Xvfb with openbox of its own.
# Usage: bench/rip-reaction.sh [RUNS (3)] [BUILD folder (build)]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-3}
build=${2:-$top/build}
cmake --build "$build" --target cd-tunewick32 make_tone_image >/dev/null
player=$build/cd-tunewick32

work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

. "$top/tests/support/x-session.sh"
start_x_session
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/run
# A single-instance guard of this run's own, apart from a player the user runs.
export TUNEWICK_TEST_GUARD=bench-$$
mkdir -p "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME/cd-tunewick32" "$XDG_DATA_HOME/cd-tunewick32"
chmod 700 "$XDG_RUNTIME_DIR"

# The disc as tone.cue + tone.bin, and the same samples as tone.flac under tone-flac.cue. Both give
# the same length, so one catalogue file serves both and no registration question comes.
mkdir -p "$work/disc"
length=$("$build/bench/make_tone_image" "$work/disc" 3 60)
flac -s --force-raw-format --endian=little --sign=signed --channels=2 --bps=16 --sample-rate=44100 \
  -o "$work/disc/tone.flac" "$work/disc/tone.bin"
sed 's/FILE "tone.bin" BINARY/FILE "tone.flac" WAVE/' "$work/disc/tone.cue" >"$work/disc/tone-flac.cue"
printf 'Tones\r\n' >"$XDG_DATA_HOME/cd-tunewick32/$length.CDL"

# Only one player runs per user: when another copy is running, try again a little later.
start_player() {
  for _ in $(seq 30); do
    env "$@" "$player" >>"$work/player.log" 2>&1 &
    pid=$!
    if panel=$(wait_window "$pid" '^CD-Tunewick32'); then return 0; fi
    stop "$pid"
    sleep 2
  done
  echo "the player did not start (another copy kept running?)" >&2
  exit 1
}

for run in $(seq "$runs"); do
  for kind in bin flac; do
    image=$work/disc/tone.cue
    [ $kind = flac ] && image=$work/disc/tone-flac.cue
    log=$work/reaction.$kind.$run
    start_player TUNEWICK_DEVICE="$image" TUNEWICK_AUDIO=null TUNEWICK_REACTION_LOG="$log"
    sleep 1.5
    for cell in 105 87 70 105; do
      xdotool mousemove --window "$panel" "$cell" 13 click 1
      sleep 1.2
    done
    stop "$pid"
    awk '$1 == "press" {p = $2} $1 == "sound" && p {print $2 - p; p = 0}' "$log" >>"$work/reaction.$kind"
  done
done
for kind in bin flac; do
  printf '%s: press to sound %s ms (median of %s presses)\n' "$kind" "$(median <"$work/reaction.$kind")" \
    "$(wc -l <"$work/reaction.$kind")"
done
