#!/usr/bin/env bash
# `cd-tunewick32 --save FOLDER [SOURCE]`: runs with no display at all and beside a running player,
# which it neither stops nor hands its arguments to; makes FOLDER; prints one line per track; exits
# 0 only when every track is whole; refuses to overwrite and names the files in the way; a full
# disk (a file-size limit) leaves no incomplete file under a final name.
set -euo pipefail
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
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_CACHE_HOME=$work/cache TUNEWICK_AUDIO=null
export TUNEWICK_TEST_GUARD=save-command-$$
unset LANGUAGE LC_ALL LC_MESSAGES LANG
# A program that made a window's application object would abort on this platform name.
save() { env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=no-such-platform "$program" --save "$@"; }
# Every FLAC file in folder $1 decodes whole; no temporary file is left.
all_whole() {
  for f in "$1"/*.flac; do [ -e "$f" ] || continue; flac -t -s "$f" || fail "$f is not whole"; done
  ! ls -A "$1" | grep -q '\.part$' || fail "a temporary file was left in $1"
}

# A rip of three two-second tracks of noise, in a folder of its own.
mkdir -p "$work/rip"
head -c $((450 * 2352)) /dev/urandom >"$work/rip/disc.bin"
printf 'TITLE "Noise"\nFILE "disc.bin" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    INDEX 01 00:02:00\n  TRACK 03 AUDIO\n    INDEX 01 00:04:00\n' >"$work/rip/disc.cue"

TUNEWICK_DEVICE=demo QT_QPA_PLATFORM=offscreen "$program" >"$work/player.out" 2>&1 &
player=$!
for _ in $(seq 100); do grep -q '^drive: ' "$work/player.out" && break; sleep 0.1; done

save "$work/new/music" "$work/rip" >"$work/out" 2>"$work/err" || fail "the save did not exit 0: $(cat "$work/err")"
[ "$(grep -c '正しく保存しました' "$work/out")" = 3 ] || fail "not one line per track: $(cat "$work/out")"
album="$work/new/music/Noise"
for f in "01 トラック 01.flac" "03 トラック 03.flac" Noise.cue Noise.log; do
  [ -f "$album/$f" ] || fail "$f was not written"
done
all_whole "$album"
[ "$(grep -c '保存中' "$work/err")" -le 12 ] || fail "progress into a file is not sparse"
kill -0 "$player" 2>/dev/null || fail "the running player ended"
[ "$(grep -c '^drive: ' "$work/player.out")" = 1 ] || fail "the running player took the save's arguments"

before=$(md5sum "$album"/*)
if save "$work/new/music" "$work/rip" >"$work/out" 2>"$work/err"; then fail "a save over existing files exited 0"; fi
grep -q "$album/01 トラック 01.flac" "$work/err" || fail "the files in the way are not named: $(cat "$work/err")"
[ "$(md5sum "$album"/*)" = "$before" ] || fail "existing files were changed"

if (ulimit -f 200; save "$work/full" "$work/rip" >"$work/out" 2>"$work/err"); then fail "a save onto a full disk exited 0"; fi
grep -q '空きがありません' "$work/err" || fail "a full disk is not named: $(cat "$work/err")"
all_whole "$work/full/Noise"

if save "$work/x" "$work/no-such.cue" 2>"$work/err"; then fail "a missing source exited 0"; fi
grep -q 'no-such.cue' "$work/err" || fail "a missing source is not named"
status=0; save 2>/dev/null || status=$?
[ "$status" = 2 ] || fail "--save without a folder exited $status"

LANG=en_US.UTF-8 save "$work/english" "$work/rip/disc.cue" >"$work/out" 2>/dev/null || fail "the English save failed"
grep -q '^Track 01: saved' "$work/out" || fail "the track lines are not translated: $(cat "$work/out")"
for language in "" en_US.UTF-8; do
  env -u DISPLAY LANG=$language "$program" --help | grep -q -- '--save FOLDER\|--save 保存先' || fail "--help ($language) does not name --save"
done
echo "save command ok"
