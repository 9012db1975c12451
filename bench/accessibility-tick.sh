#!/usr/bin/env bash
# The status poll's tick with the accessible interfaces installed, with and without a screen-reader
# client: engine_bench's poll benchmarks under Xvfb on a private session bus with the accessibility
# bus, first with accessibility off (no client has asked for it), then with it forced on and a
# client listening for every name and state change, as a screen reader does.
# Usage: bench/accessibility-tick.sh [BUILD_DIR (build)] [extra engine_bench arguments]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
shift || true
bench=$build/bench/engine_bench
[ -x "$bench" ] || { echo "build $bench first"; exit 1; }

work=$(mktemp -d)
xvfb_pid=
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(head -n1 "$work/display") QT_QPA_PLATFORM=xcb

cat >"$work/listener.py" <<'PY'
import pyatspi
def heard(event):
    event.source.name  # a reader reads what changed
for kind in ("object:property-change:accessible-name", "object:state-changed", "object:selection-changed"):
    pyatspi.Registry.registerEventListener(heard, kind)
pyatspi.Registry.start()
PY

dbus-run-session -- bash -c '
  set -eu
  bench=$1 work=$2; shift 2
  /usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
  launcher=$!
  sleep 1
  echo "=== no client: accessibility off"
  "$bench" --benchmark_filter=PollTick "$@"
  /usr/bin/python3 "$work/listener.py" &
  listener=$!
  sleep 1
  echo "=== a client listening to every change"
  QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$bench" --benchmark_filter=PollTick "$@"
  kill "$listener" "$launcher" 2>/dev/null || true
' accessibility-tick "$bench" "$work" "$@" 2>&1 | grep -v '^dbus-daemon'
