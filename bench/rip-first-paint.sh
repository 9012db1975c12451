#!/usr/bin/env bash
# Start-up to the main panel's first paint with a rip as the drive: a 30-minute disc (three tracks
# of ten minutes) as ALAC in Matroska, whose length is only known by decoding it, against the same
# samples as FLAC (length in the header) and as a raw .bin. Medians over RUNS runs, in an Xvfb with
# openbox of its own; the player ends itself at the first paint.
# Usage: bench/rip-first-paint.sh [RUNS (5)] [BUILD folder (build)]
# TUNEWICK_BENCH_PLAYER=path measures another build of the player (its decoding module beside it).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-5}
build=${2:-$top/build}
cmake --build "$build" --target cd-tunewick32 tunewick_ffmpeg make_tone_image make_rip >/dev/null
player=${TUNEWICK_BENCH_PLAYER:-$build/cd-tunewick32}

work=$(mktemp -d)
pids=()
. "$top/tests/support/x-session.sh"
trap end_session EXIT
start_x_session
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/run
export TUNEWICK_TEST_GUARD=bench-$$ TUNEWICK_AUDIO=null TUNEWICK_EXIT_AT_FIRST_PAINT=1
mkdir -p "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME/cd-tunewick32" "$XDG_DATA_HOME/cd-tunewick32"
chmod 700 "$XDG_RUNTIME_DIR"

mkdir -p "$work/disc"
length=$("$build/bench/make_tone_image" "$work/disc" 3 600)
"$build/bench/make_rip" "$work/disc/tone.bin" "$work/disc/tone.mkv" matroska alac
flac -s --force-raw-format --endian=little --sign=signed --channels=2 --bps=16 --sample-rate=44100 \
  -o "$work/disc/tone.flac" "$work/disc/tone.bin"
sed 's/FILE "tone.bin" BINARY/FILE "tone.mkv" WAVE/' "$work/disc/tone.cue" >"$work/disc/tone-mkv.cue"
sed 's/FILE "tone.bin" BINARY/FILE "tone.flac" WAVE/' "$work/disc/tone.cue" >"$work/disc/tone-flac.cue"
printf 'Tones\r\n' >"$XDG_DATA_HOME/cd-tunewick32/$length.CDL"

for sheet in tone-mkv tone-flac tone; do
  : >"$work/$sheet.ms"
  for _ in $(seq "$runs"); do
    TUNEWICK_DEVICE=$work/disc/$sheet.cue TUNEWICK_FIRST_PAINT_LOG=$work/$sheet.ms timeout 120 "$player" \
      >>"$work/player.log" 2>&1 || true
  done
  printf '%-10s first paint: median %s ms over %s runs\n' "$sheet" "$(median <"$work/$sheet.ms")" "$(wc -l <"$work/$sheet.ms")"
done
