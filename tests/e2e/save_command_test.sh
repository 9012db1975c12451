#!/usr/bin/env bash
# `cd-tunewick32 --save FOLDER [SOURCE]`: runs with no display at all and beside a running player,
# which it neither stops nor hands its arguments to; makes FOLDER; prints one line per track; exits
# 0 only when every track is whole; refuses to overwrite and names the files in the way; a full
# disk (a file-size limit) leaves no incomplete file under a final name; a killed save's temporary
# files go with the next save into its folder.
set -euo pipefail
program=$1
. "$(dirname "$0")/../support/save-command.sh"
begin_save_test save-command
# Every FLAC file in folder $1 decodes whole; no temporary file is left.
all_whole() {
  [ -d "$1" ] || return 0 # a save that wrote nothing takes away the folder it made
  for f in "$1"/*.flac; do [ -e "$f" ] || continue; flac -t -s "$f" || fail "$f is not whole"; done
  ! ls -A "$1" | grep -q '\.part$' || fail "a temporary file was left in $1"
}

TUNEWICK_DEVICE=demo QT_QPA_PLATFORM=offscreen "$program" >"$work/player.out" 2>&1 &
player=$!
background+=("$player")
for _ in $(seq 100); do grep -q '^drive: ' "$work/player.out" && break; sleep 0.1; done

save "$work/new/music" "$work/rip" >"$work/out" 2>"$work/err" || fail "the save did not exit 0: $(cat "$work/err")"
[ "$(grep -c '正しく保存しました' "$work/out")" = 3 ] || fail "not one line per track: $(cat "$work/out")"
album="$work/new/music/Noise"
for f in "01 トラック 01.flac" "03 トラック 03.flac" Noise.cue Noise.log; do
  [ -f "$album/$f" ] || fail "$f was not written"
done
all_whole "$album"
kill -0 "$player" 2>/dev/null || fail "the running player ended"
[ "$(grep -c '^drive: ' "$work/player.out")" = 1 ] || fail "the running player took the save's arguments"

# A cdrdao image named relative to another folder, START on its second and last tracks: each gap
# ends the file before, and the disc ends with the last track's data, not in the spare sectors after
# it (the disc ID of offsets 150, 330, 500 and lead-out 600, worked by hand).
mkdir -p "$work/toc"
head -c $((460 * 2352)) /dev/urandom >"$work/toc/disc.bin"
printf 'CD_DA\nTRACK AUDIO\nFILE "disc.bin" 0 00:02:00\nTRACK AUDIO\nFILE "disc.bin" 00:02:00 00:02:00\nSTART 00:00:30\nTRACK AUDIO\nFILE "disc.bin" 00:04:00 00:02:00\nSTART 00:00:50\n' >"$work/toc/disc.toc"
(cd "$work" && save "$work/toc-saved" toc/disc.toc >"$work/out" 2>"$work/err") || fail "the .toc image was not saved: $(cat "$work/err")"
toc_album="$work/toc-saved/不明なディスク"
grep -q '^MusicBrainz ディスク ID: TkcXeSrURkOw.Eve.KshJ8fplPQ-$' "$toc_album/不明なディスク.log" ||
  fail "not the .toc image's disc ID: $(cat "$toc_album/不明なディスク.log")"
[ "$(grep -o 'INDEX 00 [0-9:]*' "$toc_album/不明なディスク.cue" | tr '\n' ' ')" = "INDEX 00 00:02:00 INDEX 00 00:01:45 " ] ||
  fail "not the .toc image's gaps: $(cat "$toc_album/不明なディスク.cue")"

before=$(md5sum "$album"/*)
if save "$work/new/music" "$work/rip" >"$work/out" 2>"$work/err"; then fail "a save over existing files exited 0"; fi
grep -q "$album/01 トラック 01.flac" "$work/err" || fail "the files in the way are not named: $(cat "$work/err")"
[ "$(md5sum "$album"/*)" = "$before" ] || fail "existing files were changed"

if (ulimit -f 200; save "$work/full" "$work/rip" >"$work/out" 2>"$work/err"); then fail "a save onto a full disk exited 0"; fi
grep -q '空きがありません' "$work/err" || fail "a full disk is not named: $(cat "$work/err")"
all_whole "$work/full/Noise"

# Killed in the middle of a save: whatever has a final name is whole (a temporary file may stay).
mkdir -p "$work/long"
head -c $((10 * 450 * 2352)) /dev/urandom >"$work/long/disc.bin"
{
  echo 'FILE "disc.bin" BINARY'
  for track in $(seq 0 9); do printf '  TRACK %02d AUDIO\n    INDEX 01 00:%02d:00\n' $((track + 1)) $((track * 6)); done
} >"$work/long/disc.cue"
env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=no-such-platform "$program" --save "$work/killed" "$work/long" \
  >/dev/null 2>"$work/err" &
saving=$!
for _ in $(seq 200); do grep -q '保存中 [1-9]' "$work/err" && break; sleep 0.02; done
kill -9 "$saving"
wait "$saving" || true
for f in "$work"/killed/*/*.flac; do [ -e "$f" ] || continue; flac -t -s "$f" || fail "a killed save left $f incomplete"; done
# The next save into the folder removes what the killed one left, and only that: not a file of a
# save that still runs (the player's process stands in for one), nor a file named otherwise.
killed_album="$work/killed/不明なディスク" # the disc has no title
mkdir -p "$killed_album"
ls -A "$killed_album" | grep -q '^\.tunewick-save-.*\.part$' || echo "note: the killed save left no temporary file"
touch "$killed_album/.tunewick-save-$saving-side7.part" "$killed_album/.tunewick-save-$player-3.part" \
  "$killed_album/.tunewick-save-$saving-3.part.keep" "$killed_album/01 トラック 01.flac"
if save "$work/killed" "$work/long" >/dev/null 2>"$work/err"; then fail "a save over a killed one's files exited 0"; fi
[ "$(ls -A "$killed_album" | grep -c '\.part')" = 2 ] || fail "not only the killed save's temporary files went: $(ls -A "$killed_album")"
[ -e "$killed_album/.tunewick-save-$player-3.part" ] && [ -e "$killed_album/.tunewick-save-$saving-3.part.keep" ] ||
  fail "a file that is not a dead save's was removed"

if save "$work/x" "$work/no-such.cue" 2>"$work/err"; then fail "a missing source exited 0"; fi
grep -q 'no-such.cue' "$work/err" || fail "a missing source is not named"
status=0; save 2>/dev/null || status=$?
[ "$status" = 2 ] || fail "--save without a folder exited $status"

LANG=en_US.UTF-8 save "$work/english" "$work/rip/disc.cue" >"$work/out" 2>"$work/err" || fail "the English save failed: $(cat "$work/err")"
grep -q '^Track 01: saved' "$work/out" || fail "the track lines are not translated: $(cat "$work/out")"
for language in "" en_US.UTF-8; do
  env -u DISPLAY LANG=$language "$program" --help | grep -q -- '--save FOLDER\|--save 保存先' || fail "--help ($language) does not name --save"
done
echo "save command ok"
