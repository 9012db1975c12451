# Sourced by the scripts that run the real program in a desktop of their own. Needs `$work` (a
# folder the script removes at exit) and the array `pids` (processes the script ends at exit).
#   start_x_session: an Xvfb server with the openbox window manager (without one, a window cannot
#   be moved by the user, minimised or placed as a desktop would); exports DISPLAY.
#   end_session: the EXIT trap; ends and reaps the processes in `pids`, then removes `$work`.
#   median, stop, wait_window: what the benchmarks measure with.
start_x_session() {
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
  pids+=($!)
  for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
  export DISPLAY=:$(head -n1 "$work/display")
  # The number comes as the server starts listening; a client may still be refused for a moment.
  for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
  openbox --sm-disable >/dev/null 2>&1 &
  pids+=($!)
  sleep 1
}

# Median of the numbers on standard input, one a line ("nan" for none).
median() { sort -g | awk '{v[NR] = $1} END {if (NR == 0) print "nan"; else if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
# Ends process $1, forcibly after 3 s.
stop() {
  kill "$1" 2>/dev/null || true
  for _ in $(seq 30); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
  kill -9 "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
}
# Waits up to 10 s for a visible window of process $1 whose name matches $2 (xdotool ignores
# case, so the name is checked again); prints its id.
wait_window() {
  for _ in $(seq 100); do
    kill -0 "$1" 2>/dev/null || return 1
    for id in $(xdotool search --onlyvisible --pid "$1" --name "$2" 2>/dev/null || true); do
      xdotool getwindowname "$id" 2>/dev/null | grep -Eq -- "$2" && { echo "$id"; return 0; }
    done
    sleep 0.1
  done
  return 1
}

end_session() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  # Reaped before the next test starts: an X server still closing would remove the display socket
  # that the next test's server has just taken.
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}

# What a script that drives the real program starts with (it has set `shots`, the screenshot
# folder):
#   begin_e2e NAME: the Japanese texts whatever the desktop speaks; a `$work` folder and `pids`
#   ended at exit; XDG folders of its own under `$work` (`$settings` is its ROTOR.INI); a
#   single-instance guard of its own, so that a player the user runs, or another test run, neither
#   stops this one nor is stopped by it.
#   step, fail (a screenshot NAME-failure.png and the logs), keys_to, start_program ARGS...
begin_e2e() {
  unset LANGUAGE LC_ALL LC_MESSAGES
  export LANG=C.UTF-8
  e2e_name=$1
  mkdir -p "$shots"
  work=$(mktemp -d)
  pids=()
  trap end_session EXIT
  export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_CACHE_HOME=$work/cache XDG_RUNTIME_DIR=$work/run
  mkdir -p "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME/cd-tunewick32" "$XDG_DATA_HOME/cd-tunewick32"
  chmod 700 "$XDG_RUNTIME_DIR"
  settings=$XDG_CONFIG_HOME/cd-tunewick32/ROTOR.INI
  export TUNEWICK_TEST_GUARD=$e2e_name-$$
}
step() { echo "--- $*"; }
fail() {
  echo "FAIL: $*"
  import -window root "$shots/$e2e_name-failure.png" 2>/dev/null || true
  cat "$work"/program*.log ${service_log:+"$service_log"} 2>/dev/null || true
  exit 1
}
# Keys go to the focused window, as a user's would: activate the window first.
keys_to() {
  local id=$1; shift
  xdotool windowactivate --sync "$id" 2>/dev/null || xdotool windowfocus --sync "$id"
  xdotool "$@"
}
# Starts the program on ARGS, its output in $work/program.log; sets program_pid and panel.
start_program() {
  "$program" "$@" >"$work/program.log" 2>&1 &
  program_pid=$!
  pids+=($program_pid)
  panel=$(wait_window "$program_pid" '^CD-Tunewick32') || fail "the main panel did not appear"
}
