#!/usr/bin/env bash
# The program's command line: --help and --version answer at once, with no display at all and while
# another copy holds the single-instance guard, and exit 0; any other argument is ignored and the
# player starts as usual.
set -euo pipefail
# The single-instance guard is a name in the network namespace, shared by every copy the user runs.
# Run in a namespace of our own when the system allows one, so that a player running elsewhere
# does not hold the guard.
if [ -z "${COMMAND_LINE_TEST_ALONE:-}" ] && unshare -rn true 2>/dev/null; then
  COMMAND_LINE_TEST_ALONE=1 exec unshare -rn bash "$0" "$@"
fi
program=$1
work=$(mktemp -d)
player=""
cleanup() {
  [ -z "$player" ] || kill "$player" 2>/dev/null || true
  wait
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data TUNEWICK_DEVICE=demo TUNEWICK_AUDIO=null

# Without any display a program that made its application object first would abort here.
without_display() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" "$@"; }

QT_QPA_PLATFORM=offscreen "$program" --no-such-option track.cue >"$work/player.out" 2>&1 &
player=$!
for _ in $(seq 100); do
  grep -q '^drive: ' "$work/player.out" && break
  sleep 0.1
done
grep -q '^drive: demo disc' "$work/player.out" || fail "the player did not start with an unknown argument"

# --help speaks the desktop's language: Japanese without a locale or in a Japanese one, else English.
unset LANGUAGE LC_ALL LC_MESSAGES LANG
help=$(without_display --help) || fail "--help did not exit 0"
for word in 使い方 --version TUNEWICK_DEVICE TUNEWICK_AUDIO UTF-8; do
  grep -q -e "$word" <<<"$help" || fail "--help does not mention $word"
done
[ "$(LANG=ja_JP.UTF-8 without_display --help)" = "$help" ] || fail "--help in a Japanese locale is not the Japanese one"
english=$(LANG=en_US.UTF-8 without_display --help) || fail "--help did not exit 0 in English"
for word in Usage: --version TUNEWICK_DEVICE "byte-order mark"; do
  grep -q -e "$word" <<<"$english" || fail "the English --help does not mention $word"
done
version=$(without_display ignored --version) || fail "--version did not exit 0"
[[ $version =~ ^cd-tunewick32\ [0-9]+\.[0-9]+$ ]] || fail "--version printed '$version'"
kill -0 "$player" 2>/dev/null || fail "the running copy ended"
if without_display --version >/dev/full; then fail "a failed write of --version exited 0"; fi
echo "command line ok"
