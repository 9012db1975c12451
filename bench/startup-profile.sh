#!/usr/bin/env bash
# Where the start-up goes: callgrind counts the instructions of the player from the process start
# (the dynamic linker included) to the end of the main panel's first paint, where the player ends
# itself (TUNEWICK_EXIT_AT_FIRST_PAINT), and the same for the two floors of bench/whole-process.sh.
# Instruction counts do not depend on the machine's load, so the table is repeatable; the time they
# stand for is in docs/PERFORMANCE.md. The demo disc's titles are in place, as after a first run.
# Usage: bench/startup-profile.sh [BUILD (build-bench)]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build-bench}
if [ ! -x "$build/cd-tunewick32" ]; then
  cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTUNEWICK_TESTS=OFF >/dev/null
  ninja -C "$build" cd-tunewick32 minimal_window >/dev/null
fi
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
[ -n "${KEEP_PROFILES:-}" ] && cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; echo "profiles in $work" >&2; }
. "$top/tests/support/x-session.sh"
start_x_session
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/run
# A single-instance guard of this run's own, apart from a player the user runs.
export TUNEWICK_TEST_GUARD=bench-$$
mkdir -p "$XDG_RUNTIME_DIR" "$XDG_DATA_HOME/cd-tunewick32"
chmod 700 "$XDG_RUNTIME_DIR"
cp "$top"/packaging/demo/*.CDL "$XDG_DATA_HOME/cd-tunewick32/"
export TUNEWICK_FIRST_PAINT_LOG=$work/paint TUNEWICK_EXIT_AT_FIRST_PAINT=1
# Only one player runs per user (and network namespace): as root, run it in a namespace of its own
# so that a player running elsewhere on the machine does not end this one at once.
isolate=()
[ "$(id -u)" -eq 0 ] && command -v unshare >/dev/null && isolate=(unshare -n)
run() { # output file, environment assignments..., program
  local out=$1; shift
  local args=("$@") program=${args[-1]}
  unset 'args[-1]'
  env "${args[@]}" "${isolate[@]}" valgrind --tool=callgrind --callgrind-out-file="$out" "$program" >/dev/null 2>&1 || true
  [ -s "$out" ] || { echo "no profile from $program" >&2; exit 1; }
}
run "$work/cg.minimal" MINIMAL_TEXT=0 "$build/bench/minimal_window"
run "$work/cg.fair" MINIMAL_TEXT=1 "$build/bench/minimal_window"
run "$work/cg.player" TUNEWICK_DEVICE=demo TUNEWICK_AUDIO=null "$build/cd-tunewick32"

total() { callgrind_annotate "$1" 2>/dev/null | awk '/PROGRAM TOTALS/ && !done {gsub(",", "", $1); print $1; done = 1}'; }
# Inclusive instructions of the first function whose name starts with one of the patterns, summed.
inclusive() { # file, pattern...
  local file=$1; shift
  callgrind_annotate --inclusive=yes --threshold=100 "$file" 2>/dev/null | awk -v pats="$(printf '%s\n' "$@")" '
    BEGIN { n = split(pats, p, "\n") }
    { for (i = 1; i <= n; i++) if (!seen[i] && index($0, ":" p[i])) { v = $1; gsub(",", "", v); sum += v; seen[i] = 1 } }
    END { printf "%d\n", sum }'
}
player_total=$(total "$work/cg.player")
row() { # label, pattern...
  local label=$1; shift
  local n
  n=$(inclusive "$work/cg.player" "$@")
  awk -v l="$label" -v a="$n" -v b="$player_total" 'BEGIN {printf "| %s | %.2f M | %.1f %% |\n", l, a / 1e6, 100 * a / b}'
}
echo "| Start-up, process start to the end of the first paint | Instructions | Share |"
echo "|---|---|---|"
awk -v b="$player_total" 'BEGIN {printf "| the whole start-up of the player | %.1f M | 100 %% |\n", b / 1e6}'
row "dynamic linking and library constructors before main" "_dl_start"
row "Qt application object and X11 platform plug-in" "QApplication::QApplication("
row "fonts: fontconfig set-up, matching, loading faces (in the windows below)" "QFontDatabasePrivate::findFont("
row "- of which fontconfig's configuration and font list" "QFontconfigDatabase::populateFontDatabase("
row "main panel (Form1) construction" "TForm1::TForm1("
row "LCD (LCD_DISPLAY) construction (the first font use: fontconfig's set-up is here)" "TLCD_DISPLAY::TLCD_DISPLAY("
row "about box (AboutBox) construction" "TAboutBox::TAboutBox("
row "catalogue editor (CD_Database) construction" "TCD_Database::TCD_Database("
row "track selector (Form5) construction" "TForm5::TForm5("
row "settings reads" "SettingsFile::SettingsFile(" "SettingsFile::ReadNumber(" "SettingsFile::ReadText("
row "drive made and opened" "platform::createDriveFromEnvironment" "CdAudioDevice::Open("
row "first layout and paint of the shown windows" "QWidgetRepaintManager::sync("
echo
printf '| Floor | Instructions | Player / floor |\n|---|---|---|\n'
for f in minimal fair; do
  n=$(total "$work/cg.$f")
  label="minimal window"
  [ $f = fair ] && label="fair floor (Japanese and Latin text in the same faces)"
  awk -v l="$label" -v a="$player_total" -v b="$n" 'BEGIN {printf "| %s | %.1f M | %.2fx |\n", l, b / 1e6, a / b}'
done
