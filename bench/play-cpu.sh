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
/usr/bin/time -v "$build/bench/play_demo" "$seconds" 2>"$report"
user=$(awk -F': ' '/User time/ {print $2}' "$report")
system=$(awk -F': ' '/System time/ {print $2}' "$report")
peak=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$report")
awk -v u="$user" -v s="$system" -v n="$seconds" -v m="$peak" 'BEGIN {
  cpu = u + s
  printf "audio played: %d s\n", n
  printf "processor time: %.2f s (user %.2f, system %.2f)\n", cpu, u, s
  printf "processor seconds per minute of audio: %.3f (%.3f%% of one core)\n", cpu * 60 / n, cpu * 100 / n
  printf "peak memory: %.1f MiB\n", m / 1024
}'
