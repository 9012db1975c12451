#!/usr/bin/env bash
# Plays the demo disc for 30 s through the extraction drive into the null output (real time) and
# prints the processor time per minute of audio and the peak memory of the whole process.
# Usage: bench/play-cpu.sh [build folder] [seconds]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
seconds=${2:-30}
cmake --build "$build" --target play_demo >/dev/null
report=$(mktemp)
trap 'rm -f "$report"' EXIT
/usr/bin/time -v "$build/bench/play_demo" "$seconds" >>"$report" 2>&1
grep '^played' "$report"
# play_demo reports its processor time to the microsecond; time -v gives the peak memory.
cpu=$(awk -F': ' '/^processor seconds/ {print $2}' "$report")
peak=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$report")
awk -v cpu="$cpu" -v n="$seconds" -v m="$peak" 'BEGIN {
  printf "processor time: %.4f s for %d s of audio\n", cpu, n
  printf "processor seconds per minute of audio: %.4f (%.3f%% of one core)\n", cpu * 60 / n, cpu * 100 / n
  printf "peak memory: %.1f MiB\n", m / 1024
}'
