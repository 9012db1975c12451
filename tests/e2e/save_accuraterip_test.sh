#!/usr/bin/env bash
# `cd-tunewick32 --save` and AccurateRip: with no setting nothing is sent and the user is told how
# to allow it; with [Online] AccurateRip=1 the disc's answer is asked from a stand-in service on
# 127.0.0.1, each track's line carries its verdict, and a disc not in the database is no failure;
# with AccurateRip=0 nothing is sent.
set -euo pipefail
program=$1
. "$(dirname "$0")/../support/save-command.sh"
begin_save_test save-accuraterip

mkdir -p "$work/service" "$XDG_CONFIG_HOME/cd-tunewick32"

# A service that knows no disc: every request is a 404, logged.
python3 -u -m http.server --bind 127.0.0.1 --directory "$work/service" 0 >"$work/service.log" 2>&1 &
server=$!
background+=("$server")
for _ in $(seq 50); do grep -qs 'port [0-9]' "$work/service.log" && break; sleep 0.1; done
port=$(sed -n 's/.* port \([0-9]*\) .*/\1/p' "$work/service.log" | head -1)
[ -n "$port" ] || fail "the stand-in service did not start: $(cat "$work/service.log")"
export TUNEWICK_ACCURATERIP_URL=http://127.0.0.1:$port/accuraterip
requests() { grep -c 'GET ' "$work/service.log" || true; }

save "$work/unset" "$work/rip" >"$work/out" 2>"$work/err" || fail "the save without a setting failed: $(cat "$work/err")"
grep -q 'AccurateRip=1' "$work/err" || fail "no word on how to allow AccurateRip: $(cat "$work/err")"
[ "$(requests)" = 0 ] || fail "something was sent without consent"

printf '[Online]\nAccurateRip=1\n' >"$XDG_CONFIG_HOME/cd-tunewick32/ROTOR.INI"
save "$work/on" "$work/rip" >"$work/out" 2>"$work/err" || fail "a disc not in the database failed the save: $(cat "$work/err")"
[ "$(grep -c 'AccurateRip v1 [0-9A-F]\{8\}, v2 [0-9A-F]\{8\}: データベースにありません' "$work/out")" = 3 ] ||
  fail "the track lines lack the checksums and the verdict: $(cat "$work/out")"
[ "$(requests)" = 1 ] || fail "not one request: $(cat "$work/service.log")"
grep -q 'GET /accuraterip/./././dBAR-003-[0-9a-f]\{8\}-[0-9a-f]\{8\}-[0-9a-f]\{8\}\.bin ' "$work/service.log" ||
  fail "not the disc's answer: $(cat "$work/service.log")"
grep -q 'AccurateRip v1 [0-9A-F]\{8\}, v2 [0-9A-F]\{8\}: データベースにありません' "$work/on/Noise/Noise.log" ||
  fail "the log lacks the checksums"
# The demo disc is made up: nothing is asked for it, whatever the setting.
save "$work/demo" demo >"$work/out" 2>"$work/err" || fail "the demo disc was not saved: $(cat "$work/err")"
[ "$(requests)" = 1 ] || fail "the demo disc was looked up: $(cat "$work/service.log")"

printf '[Online]\nAccurateRip=0\n' >"$XDG_CONFIG_HOME/cd-tunewick32/ROTOR.INI"
save "$work/off" "$work/rip" >"$work/out" 2>"$work/err" || fail "the save with AccurateRip off failed"
[ "$(requests)" = 1 ] || fail "something was sent with AccurateRip=0"
! grep -q 'AccurateRip=1' "$work/err" || fail "told how to allow what the user refused"

# A disc whose titles came from a MusicBrainz release: the files' tags get the release's artists,
# date and IDs, asked from the stand-in service under the look-up's consent.
disc_id=$(sed -n 's/^MusicBrainz ディスク ID: //p' "$work/on/Noise/Noise.log")
[ -n "$disc_id" ] || fail "the log names no disc ID"
release=6109ceed-7e21-490b-b5ad-3a66b4e4cfbb
mkdir -p "$XDG_CACHE_HOME/cd-tunewick32" "$work/service/ws/2/release"
echo "$disc_id $release" >"$XDG_CACHE_HOME/cd-tunewick32/releases"
python3 - "$release" "$disc_id" >"$work/service/ws/2/release/$release" <<'PY'
import json, sys
release, disc = sys.argv[1:]
credit = [{"name": "Artist A", "joinphrase": " & "}, {"name": "B", "joinphrase": ""}]
tracks = [{"id": "00000000-0000-4000-8000-00000000000%d" % n, "position": n, "artist-credit": credit,
           "recording": {"id": "11111111-1111-4111-8111-11111111111%d" % n}} for n in (1, 2, 3)]
print(json.dumps({"id": release, "date": "2001-02-03", "artist-credit": credit,
                  "media": [{"discs": [{"id": disc}], "tracks": tracks}]}))
PY
export TUNEWICK_MUSICBRAINZ_URL=http://127.0.0.1:$port
printf '[Online]\nMusicBrainz=1\n' >"$XDG_CONFIG_HOME/cd-tunewick32/ROTOR.INI"
save "$work/tagged" "$work/rip" >"$work/out" 2>"$work/err" || fail "the save with a release failed: $(cat "$work/err")"
grep -q "GET /ws/2/release/$release?inc=artist-credits+recordings+discids&fmt=json" "$work/service.log" ||
  fail "the release was not asked for: $(cat "$work/service.log")"
file="$work/tagged/Artist A & B/Noise/02 トラック 02.flac"
[ -f "$file" ] || fail "not saved under the album artist: $(find "$work/tagged")"
tags=$(metaflac --export-tags-to=- "$file")
for tag in "ALBUMARTIST=Artist A & B" "ARTIST=Artist A & B" "DATE=2001-02-03" "MUSICBRAINZ_ALBUMID=$release" \
           "MUSICBRAINZ_TRACKID=11111111-1111-4111-8111-111111111112" "MUSICBRAINZ_DISCID=$disc_id"; do
  grep -qxF "$tag" <<<"$tags" || fail "no $tag in: $tags"
done

# Details that cannot be had leave those tags out, and the save says why on stderr and in the log
# and still succeeds: a release the service does not know, and an answer that is no release.
unreadable=22222222-2222-4222-8222-222222222222
echo 'not json' >"$work/service/ws/2/release/$unreadable"
for case in "33333333-3333-4333-8333-333333333333:(HTTP 404)" "$unreadable:応答を読めませんでした"; do
  echo "$disc_id ${case%%:*}" >"$XDG_CACHE_HOME/cd-tunewick32/releases"
  rm -rf "$work/untagged"
  save "$work/untagged" "$work/rip" >"$work/out" 2>"$work/err" || fail "failed details failed the save: $(cat "$work/err")"
  grep -q "タグに入れていません: .*${case#*:}" "$work/err" || fail "stderr does not say ${case#*:}: $(cat "$work/err")"
  grep -q "タグに入れていません: .*${case#*:}" "$work/untagged/Noise/Noise.log" || fail "the log does not say ${case#*:}"
  ! metaflac --export-tags-to=- "$work/untagged/Noise/02 トラック 02.flac" | grep -q '^ARTIST=' ||
    fail "an artist without details"
done
echo "save with AccurateRip ok"
