#!/usr/bin/env bash
# End to end: keys held down under the X server's own key repeat act once, as a press does.
#   keys_e2e.sh PROGRAM SCREENSHOT_DIR
set -euo pipefail
program=$1
shots=$2
. "$(dirname "$0")/../support/x-session.sh"
begin_e2e keys
export TUNEWICK_DEVICE=demo TUNEWICK_AUDIO=null

start_x_session

title() { xdotool getwindowname "$panel"; }
wait_title() {
  for _ in $(seq 30); do [ "$(title)" = "$1" ] && return 0; sleep 0.1; done
  fail "panel title '$(title)', expected '$1'"
}
# Holds key $1 down for $2 seconds: the X server repeats it after 660 ms, 25 times a second.
hold() {
  xdotool keydown "$1"
  sleep "$2"
  xdotool keyup "$1"
  sleep 0.5
}

start_program
# The demo disc is in once the grid takes a track's number: 1 and Enter play track 1 from then on.
for _ in $(seq 50); do
  keys_to "$panel" key 1 Return
  [ "$(title)" = "CD-Tunewick32 Track : 01" ] && break
  sleep 0.2
done
wait_title "CD-Tunewick32 Track : 01"

step "N held 2 s moves one track on"
hold n 2
wait_title "CD-Tunewick32 Track : 02"
step "Right held 2 s moves one track on"
hold Right 2
wait_title "CD-Tunewick32 Track : 03"
step "4 held 2 s waits as one digit and plays track 4"
hold 4 2
wait_title "CD-Tunewick32 Track : 04"
sleep 1.5 # past the remote's pause: a repeated 4 would have made 44, then a 4 of its own
wait_title "CD-Tunewick32 Track : 04"
step "a key pressed again after its release acts again"
xdotool key --delay 100 n n
wait_title "CD-Tunewick32 Track : 06"
echo "PASS"
