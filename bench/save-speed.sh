#!/usr/bin/env bash
# The whole save of a generated 20-minute image (ten 2-minute tracks of pink noise, which FLAC
# packs about as tightly as music) against `flac -5` (single-threaded) on the same audio as one
# WAV file: wall time of each, side by side in every round, and the save's peak memory, both from
# /usr/bin/time -v. The save does more than the reference (its verify mode, the CRC32s, the cue
# sheet and the log), and encodes several tracks at once.
#   bench/save-speed.sh [PROGRAM] [ROUNDS]
# PROGRAM defaults to a release build made in build-bench/.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
program=${1:-}
rounds=${2:-3}
if [ -z "$program" ]; then
  cmake -S "$top" -B "$top/build-bench" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTUNEWICK_TESTS=OFF >/dev/null
  cmake --build "$top/build-bench" --target cd-tunewick32 >/dev/null
  program=$top/build-bench/cd-tunewick32
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_CACHE_HOME=$work/cache

raw=(-t raw -r 44100 -e signed-integer -b 16 -c 2 -L)
sox -n "${raw[@]}" "$work/disc.bin" synth 1200 pinknoise vol 0.5
sox "${raw[@]}" "$work/disc.bin" "$work/disc.wav"
{
  echo 'FILE "disc.bin" BINARY'
  for track in $(seq 1 10); do
    printf '  TRACK %02d AUDIO\n    INDEX 01 %02d:00:00\n' "$track" $(((track - 1) * 2))
  done
} >"$work/disc.cue"

field() { grep "$1" "$2" | sed 's/.*: //'; }
cpu() { awk '/User time|System time/ { s += $NF } END { printf "%.2f", s }' "$1"; }
# "m:ss.cc" or "h:mm:ss" into seconds.
seconds() { awk -F: '{ s = 0; for (i = 1; i <= NF; i++) s = s * 60 + $i; printf "%.2f", s }' <<<"$1"; }

echo "round  flac -5 (s)  save (s)  ratio  save peak (MB)  flac user+sys (s)  save user+sys (s)"
for round in $(seq 1 "$rounds"); do
  /usr/bin/time -v flac -5 -s -f -o "$work/reference.flac" "$work/disc.wav" 2>"$work/flac.time"
  rm -rf "$work/out"
  /usr/bin/time -v "$program" --save "$work/out" "$work/disc.cue" >/dev/null 2>"$work/save.time"
  reference=$(seconds "$(field 'Elapsed (wall clock)' "$work/flac.time")")
  saved=$(seconds "$(field 'Elapsed (wall clock)' "$work/save.time")")
  peak=$(field 'Maximum resident set size' "$work/save.time")
  printf '%5d  %11s  %8s  %5.2f  %14.1f  %17s  %17s\n' "$round" "$reference" "$saved" \
    "$(awk -v a="$saved" -v b="$reference" 'BEGIN { print a / b }')" "$(awk -v k="$peak" 'BEGIN { print k / 1024 }')" \
    "$(cpu "$work/flac.time")" "$(cpu "$work/save.time")"
done
