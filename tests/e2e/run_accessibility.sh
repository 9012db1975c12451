#!/usr/bin/env bash
# End to end with a real screen-reader client: the program under Xvfb on its own D-Bus session
# with the accessibility bus, driven through AT-SPI by tests/e2e/accessibility.py (or the client
# script given).
#   run_accessibility.sh PROGRAM [CLIENT_SCRIPT]
set -euo pipefail
program=$1
here=$(cd "$(dirname "$0")" && pwd)
client=${2:-$here/accessibility.py}
for tool in Xvfb dbus-run-session /usr/libexec/at-spi-bus-launcher; do
  command -v "$tool" >/dev/null || { echo "missing $tool: run scripts/install-deps --test"; exit 1; }
done
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || { echo "missing python3-pyatspi: run scripts/install-deps --test"; exit 1; }

work=$(mktemp -d)
xvfb_pid=
cleanup() {
  # Reaped before the next test starts: an X server still closing would remove the display socket
  # that the next test's server has just taken.
  [ -n "$xvfb_pid" ] && { kill "$xvfb_pid"; wait "$xvfb_pid"; } 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/run
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
# A rip of twelve tracks: a new disc that asks its questions (the demo disc comes with its titles).
. "$(dirname "$0")/../support/rip.sh"
make_silent_rip "$work" twelve 12 10
export TUNEWICK_DEVICE=$work/twelve.cue TUNEWICK_AUDIO=null
# The online look-up stays off: the first question is the registration question.
mkdir -p "$XDG_CONFIG_HOME/cd-tunewick32"
printf '[Online]\r\nMusicBrainz=0\r\n' >"$XDG_CONFIG_HOME/cd-tunewick32/ROTOR.INI"
export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
# The texts checked are the Japanese ones, whatever the desktop running the tests speaks.
unset LANGUAGE LC_ALL LC_MESSAGES
export LANG=C.UTF-8
# A single-instance guard of this run's own: a player the user runs, or another test run, neither
# stops this one nor is stopped by it.
export TUNEWICK_TEST_GUARD=accessibility-$$

# A display of this run's own, numbered away from the low numbers that desktops and other test
# servers take: a server that cannot listen on its display ends at once, and the next number is tried.
# -noreset: the server would otherwise reset when its last client (the readiness probe, the bus
# launcher) leaves, and refuse the program that connects during the reset.
for n in $(seq $((100 + $$ % 300)) 499); do
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp -noreset 2>/dev/null &
  xvfb_pid=$!
  for _ in $(seq 50); do
    sleep 0.1
    kill -0 "$xvfb_pid" 2>/dev/null || break
    DISPLAY=:$n xdpyinfo >/dev/null 2>&1 && break 2
  done
  { kill "$xvfb_pid"; wait "$xvfb_pid"; } 2>/dev/null || true
  xvfb_pid=
done
[ -n "$xvfb_pid" ] || { echo "FAIL: no X server could be started"; exit 1; }
export DISPLAY=:$n

# Inside a private session bus: the accessibility bus, then the client, which starts the program.
dbus-run-session -- bash -c '
  set -eu
  /usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
  launcher=$!
  for _ in $(seq 50); do
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null 2>&1 && break
    sleep 0.1
  done
  status=0
  /usr/bin/python3 "$3" "$1" "$2/program.log" || status=$?
  kill "$launcher" 2>/dev/null || true
  [ "$status" -eq 0 ] || { echo "--- program output"; cat "$2/program.log"; }
  exit "$status"
' accessibility "$program" "$work" "$client"
