#!/usr/bin/env bash
# Building the program's target alone, as scripts/run does, brings its English translation along:
# the compiled translation is put aside, only the program is built, and it must be there again.
set -euo pipefail
build=$1
qm=$build/translations/cd-tunewick32_en.qm
aside=$(mktemp)
restore() { [ -e "$qm" ] || ! [ -s "$aside" ] || mv "$aside" "$qm"; rm -f "$aside"; }
trap restore EXIT
[ -e "$qm" ] && mv "$qm" "$aside"
cmake --build "$build" --target cd-tunewick32 >/dev/null
[ -s "$qm" ] || { echo "FAIL: building cd-tunewick32 alone leaves no $qm"; exit 1; }
echo "the program's target brings its translation"
