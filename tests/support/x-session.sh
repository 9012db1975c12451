# Sourced by the scripts that run the real program in a desktop of their own. Needs `$work` (a
# folder the script removes at exit) and the array `pids` (processes the script ends at exit).
#   start_x_session: an Xvfb server with the openbox window manager (without one, a window cannot
#   be moved by the user, minimised or placed as a desktop would); exports DISPLAY.
start_x_session() {
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
  pids+=($!)
  for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
  export DISPLAY=:$(head -n1 "$work/display")
  openbox --sm-disable >/dev/null 2>&1 &
  pids+=($!)
  sleep 1
}
