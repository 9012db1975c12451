#!/usr/bin/env bash
# The program in a Wayland session: a headless weston with XWayland. Where an X display is there the
# program must run on X (its windows at their saved places, the LCD asked to stay above); with
# QT_QPA_PLATFORM=wayland set by the user, or with no X display, it runs on Wayland and says on its
# start-up line what it cannot do there.
#   wayland_e2e.sh PROGRAM DEMO_CATALOGUE_DIR
set -euo pipefail
# The texts checked are the Japanese ones, whatever the desktop running the tests speaks.
unset LANGUAGE LC_ALL LC_MESSAGES
export LANG=C.UTF-8
program=$1
demo_titles=$2
. "$(dirname "$0")/../support/x-session.sh"
work=$(mktemp -d)
pids=()
trap end_session EXIT
fail() {
  echo "FAIL: $*"
  for log in "$work"/*.log; do echo "== $log"; cat "$log"; done
  exit 1
}
step() { echo "--- $*"; }

export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/run
mkdir -p "$XDG_RUNTIME_DIR" "$XDG_DATA_HOME/cd-tunewick32" "$XDG_CONFIG_HOME/cd-tunewick32"
chmod 700 "$XDG_RUNTIME_DIR"
cp "$demo_titles"/*.CDL "$XDG_DATA_HOME/cd-tunewick32/"
printf '[Tunewick]\nPos(X)=300\nPos(Y)=200\n[LCD]\nVisible=1\nPos(X)=60\nPos(Y)=420\n' \
  >"$XDG_CONFIG_HOME/cd-tunewick32/ROTOR.INI"
export TUNEWICK_DEVICE=demo TUNEWICK_AUDIO=null
# A single-instance guard of this run's own: a player the user runs, or another test run, neither
# stops this one nor is stopped by it.
export TUNEWICK_TEST_GUARD=wayland-$$
unset QT_QPA_PLATFORM DISPLAY WAYLAND_DISPLAY

# XWayland puts its socket there; a fresh machine may not have the folder yet.
[ -d /tmp/.X11-unix ] || { mkdir -p /tmp/.X11-unix && chmod 1777 /tmp/.X11-unix; }
socket=tunewick-e2e-$$
weston --no-config --backend=headless-backend.so --xwayland --socket="$socket" --width=1024 --height=768 \
  --idle-time=0 >"$work/weston.log" 2>&1 &
pids+=($!)
x_display=
for _ in $(seq 100); do
  x_display=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$work/weston.log")
  [ -n "$x_display" ] && break
  sleep 0.1
done
[ -n "$x_display" ] || fail "weston started no X server"
# XWayland starts at the first X client: start it now, so that the program meets a running one.
for _ in $(seq 100); do DISPLAY=$x_display xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
DISPLAY=$x_display xdpyinfo >/dev/null 2>&1 || fail "XWayland did not answer on $x_display"
# For a moment after its X window manager is made, weston places new X windows itself (the panel
# came up at 32,32 in about one start in eight); a second later it keeps them where they asked.
for _ in $(seq 100); do grep -q 'created wm' "$work/weston.log" && break; sleep 0.1; done
grep -q 'created wm' "$work/weston.log" || fail "weston's X window manager did not start"
sleep 1

# Starts the program with the given environment; its output goes to $work/$1.log.
start() {
  local log=$work/$1.log; shift
  env "$@" "$program" >"$log" 2>&1 &
  program_pid=$!
  pids+=($program_pid)
  for _ in $(seq 100); do
    [ -s "$log" ] && break
    kill -0 "$program_pid" 2>/dev/null || break
    sleep 0.1
  done
  first_line=$(grep -m1 '^drive: ' "$log" || true)
  echo "$first_line"
}
stop() {
  kill "$program_pid" 2>/dev/null || true
  wait "$program_pid" 2>/dev/null || true
}
x_window() { DISPLAY=$x_display xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1 || true; }
wait_x_window() {
  for _ in $(seq 100); do
    id=$(x_window "$1")
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}
# The window's place on the X screen (xdotool counts the window manager's frame in).
place_of() { DISPLAY=$x_display xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF} END {print x "," y}'; }

step "Wayland session with XWayland: the program runs on X"
# Weston now and then places an X window itself even though it asked for a place (about one start
# in eight here, whatever the wait above); a program that places its windows does so every time,
# so one more start settles it.
for attempt in 1 2; do
  start xwayland DISPLAY="$x_display" WAYLAND_DISPLAY="$socket" XDG_SESSION_TYPE=wayland
  [[ "$first_line" == *"; windows: xcb" ]] || fail "start-up line: $first_line"
  panel=$(wait_x_window '^CD-Tunewick32') || fail "the main panel is not on the X display"
  lcd=$(wait_x_window '^DISPLAY$') || fail "the LCD is not on the X display"
  sleep 0.3
  placed="panel $(place_of "$panel"), LCD $(place_of "$lcd")"
  [ "$placed" = "panel 300,200, LCD 60,420" ] && break
  echo "$placed, saved panel 300,200, LCD 60,420"
  [ "$attempt" = 2 ] && fail "the windows are not at their saved places"
  stop
done
# An X window manager that knows the state keeps it on the window; weston's own does not know it.
if DISPLAY=$x_display xprop -root _NET_SUPPORTED | grep -q _NET_WM_STATE_ABOVE; then
  DISPLAY=$x_display xprop -id "$lcd" _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE ||
    fail "the LCD is not kept above other windows"
else
  echo "(this compositor's X window manager has no _NET_WM_STATE_ABOVE; not checked here)"
fi
stop

step "QT_QPA_PLATFORM=wayland set by the user: runs on Wayland and says what it cannot do"
start user-wayland DISPLAY="$x_display" WAYLAND_DISPLAY="$socket" QT_QPA_PLATFORM=wayland
[[ "$first_line" == *"; windows: wayland ("*"saved positions"*"above other windows"* ]] ||
  fail "start-up line: $first_line"
sleep 1
kill -0 "$program_pid" 2>/dev/null || fail "the program ended on Wayland"
[ -z "$(x_window '^CD-Tunewick32')" ] || fail "the user's choice of Wayland was overridden"
stop

step "no X display: runs on Wayland"
start no-x WAYLAND_DISPLAY="$socket" XDG_SESSION_TYPE=wayland
[[ "$first_line" == *"; windows: wayland ("* ]] || fail "start-up line: $first_line"
sleep 1
kill -0 "$program_pid" 2>/dev/null || fail "the program ended on Wayland"
stop
echo "wayland e2e ok"
