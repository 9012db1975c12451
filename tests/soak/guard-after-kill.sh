#!/usr/bin/env bash
# How soon the single-instance guard can be taken again after its holder is killed with SIGKILL:
# a holder takes the guard, is killed, and the time until the next process holds it is measured
# (process start included). Prints each time and the longest.
#   tests/soak/guard-after-kill.sh FILES_TEST_HELPER [ROUNDS=20]
set -euo pipefail
helper=$1
rounds=${2:-20}
name=TunewickGuardProbe$$
longest=0
for _ in $(seq "$rounds"); do
  coproc holder { "$helper" hold "$name"; }
  read -r answer <&"${holder[0]}"
  [ "$answer" = held ] || { echo "the first holder could not take the guard: $answer"; exit 1; }
  kill -9 "$holder_PID"
  wait "$holder_PID" 2>/dev/null || true
  start=$(date +%s%N)
  answer=$("$helper" hold "$name" </dev/null)
  ms=$((($(date +%s%N) - start) / 1000000))
  [ "$answer" = held ] || { echo "the guard outlived its killed holder: $answer"; exit 1; }
  echo -n "$ms ms; "
  [ "$ms" -gt "$longest" ] && longest=$ms
done
echo
echo "guard taken again after SIGKILL: $rounds of $rounds, longest $longest ms"
