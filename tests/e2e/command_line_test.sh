#!/usr/bin/env bash
# The program's command line: --help and --version answer at once, with no display at all and while
# another copy holds the single-instance guard, and exit 0; an unknown option is ignored and the
# player starts as usual. A test run's guard (TUNEWICK_TEST_GUARD) lets the test's copy start beside
# a player started the user's way, whose guard still keeps a second plain copy out.
set -euo pipefail
program=$1
work=$(mktemp -d)
player=""
users_player=""
cleanup() {
  [ -z "$player" ] || kill "$player" 2>/dev/null || true
  [ -z "$users_player" ] || kill "$users_player" 2>/dev/null || true
  wait
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data TUNEWICK_DEVICE=demo TUNEWICK_AUDIO=null
# A single-instance guard of this run's own: a player the user runs, or another test run, neither
# stops this one nor is stopped by it.
export TUNEWICK_TEST_GUARD=command-line-$$

# Without any display a program that made its application object first would abort here.
without_display() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" "$@"; }

# Prints once file $1 holds the first line of a started copy, or after 10 s.
wait_started() { for _ in $(seq 100); do grep -q '^drive: ' "$1" && break; sleep 0.1; done; }
# A copy started as the user starts it. Where the user's own player already runs, this one ends at
# once and the user's stands in for it.
as_user=(env -u TUNEWICK_TEST_GUARD XDG_CONFIG_HOME="$work/user" QT_QPA_PLATFORM=offscreen "$program")
"${as_user[@]}" >"$work/user.out" 2>&1 &
users_player=$!
wait_started "$work/user.out"

QT_QPA_PLATFORM=offscreen "$program" --no-such-option >"$work/player.out" 2>&1 &
player=$!
wait_started "$work/player.out"
grep -q '^drive: demo disc' "$work/player.out" ||
  fail "the player did not start with an unknown option beside the user's player"
timeout 5 env QT_QPA_PLATFORM=offscreen "$program" >"$work/second.out" 2>&1 || fail "a second test copy did not end"
timeout 5 "${as_user[@]}" >"$work/second-user.out" 2>&1 || fail "a second plain copy did not end"
! grep -q '^drive: ' "$work/second.out" "$work/second-user.out" || fail "a second copy started beside the first"
# A player that does not answer (here stopped) leaves a second start saying so, with a non-zero
# status, within seconds; its message is not acted on later.
kill -STOP "$player"
if timeout 20 env QT_QPA_PLATFORM=offscreen "$program" "$work/lost.cue" >"$work/lost.out" 2>&1; then
  fail "a path that the player never took was reported as handed over"
fi
kill -CONT "$player"
grep -q "lost.cue" "$work/lost.out" || fail "a lost hand-over was not said: $(cat "$work/lost.out")"

# --help speaks the desktop's language: Japanese without a locale or in a Japanese one, else English.
unset LANGUAGE LC_ALL LC_MESSAGES LANG
help=$(without_display --help) || fail "--help did not exit 0"
for word in 使い方 --version TUNEWICK_DEVICE TUNEWICK_AUDIO UTF-8 .cue MusicBrainz "\[Online\] の"; do
  grep -q -e "$word" <<<"$help" || fail "--help does not mention $word"
done
[ "$(LANG=ja_JP.UTF-8 without_display --help)" = "$help" ] || fail "--help in a Japanese locale is not the Japanese one"
english=$(LANG=en_US.UTF-8 without_display --help) || fail "--help did not exit 0 in English"
for word in Usage: --version TUNEWICK_DEVICE "byte-order mark" "A rip" "\[Online\]"; do
  grep -q -e "$word" <<<"$english" || fail "the English --help does not mention $word"
done
version=$(without_display ignored --version) || fail "--version did not exit 0"
[[ $version =~ ^cd-tunewick32\ [0-9]+\.[0-9]+$ ]] || fail "--version printed '$version'"
kill -0 "$player" 2>/dev/null || fail "the running copy ended"
if without_display --version >/dev/full; then fail "a failed write of --version exited 0"; fi
echo "command line ok"
