#!/usr/bin/env bash
# The release's cover on the desktop, in the real program on a private session bus, against a
# stand-in for MusicBrainz and the Cover Art Archive on 127.0.0.1:
#   1. the one release found fills the editor; its cover is fetched once (by way of the
#      archive's redirect), kept in the cache folder and published as mpris:artUrl;
#   2. after a restart the same cover is published without a request;
#   3. a removed cover whose fetch gives a 404, or bytes that are no image, publishes nothing;
#   4. with the look-up off, a removed cover is not fetched.
#   coverart_e2e.sh PROGRAM SCREENSHOT_DIR
set -euo pipefail
if [ -z "${COVERART_E2E_BUS:-}" ]; then
  COVERART_E2E_BUS=1 exec dbus-run-session -- bash "$0" "$@"
fi
program=$1
shots=$2
. "$(dirname "$0")/../support/x-session.sh"
. "$(dirname "$0")/../support/musicbrainz.sh"
. "$(dirname "$0")/../support/rip.sh"
begin_e2e coverart
# A rip of twelve tracks: a new disc that asks its questions (the demo disc comes with its titles).
make_silent_rip "$work" twelve 12 10
export TUNEWICK_DEVICE=$work/twelve.cue TUNEWICK_AUDIO=null
cache=$XDG_CACHE_HOME/cd-tunewick32
cover=$cache/00000000-0000-0000-0000-000000000001.jpg
convert -size 500x500 xc:teal "$work/front.jpg"
export COVER_FILE=$work/front.jpg COVER_MODE=image

start_x_session

art() { playerctl -p cd_tunewick32 metadata mpris:artUrl 2>/dev/null || true; }
covers_asked() { grep -c '^/release/' "$service_log" || true; }
# Waits up to 5 s until the published cover is $1.
expect_art() {
  for _ in $(seq 50); do [ "$(art)" = "$1" ] && return 0; sleep 0.1; done
  fail "mpris:artUrl is '$(art)', expected '$1'"
}

step "the release taken gives the disc its cover, fetched once and published"
printf '[Online]\r\nMusicBrainz=1\r\n' >"$settings"
start_service 12
start_program
# はい to the registration question (the disc is registered once the first editor closes).
question=$(wait_window "$program_pid" '^情報$') || fail "no registration question"
keys_to "$question" key Return
editor=$(wait_window "$program_pid" '^CD_Database$') || fail "the editor did not open"
for _ in $(seq 50); do [ -s "$cover" ] && break; sleep 0.1; done
[ -s "$cover" ] || fail "no cover kept in $cache: $(ls -la "$cache" 2>&1)"
cmp -s "$cover" "$COVER_FILE" || fail "the kept cover differs from the archive's"
grep -q '^00000000-0000-0000-0000-000000000001$' <(cut -d' ' -f2 "$cache/releases") || fail "release not remembered"
keys_to "$editor" key alt+c
playerctl -p cd_tunewick32 play 2>/dev/null || true
expect_art "file://$cover"
[ "$(covers_asked)" = 1 ] || fail "cover requests: $(covers_asked)"
stop "$program_pid"

step "after a restart the cover is published without a request"
start_program
expect_art "file://$cover"
sleep 1.5
[ "$(covers_asked)" = 1 ] || fail "the kept cover was fetched again"
stop "$program_pid"

for mode in missing broken; do
  step "a removed cover that comes back $mode publishes nothing"
  rm -f "$cover"
  export COVER_MODE=$mode
  start_service 12
  start_program
  for _ in $(seq 50); do [ "$(covers_asked)" = 1 ] && break; sleep 0.1; done
  [ "$(covers_asked)" = 1 ] || fail "a removed cover was not fetched again"
  sleep 0.5
  [ -z "$(art)" ] || fail "published: $(art)"
  [ -z "$(ls "$cache"/*.jpg "$cache"/*.png 2>/dev/null)" ] || fail "kept: $(ls "$cache")"
  stop "$program_pid"
done

step "with the look-up off nothing is fetched"
printf '[Online]\r\nMusicBrainz=0\r\n' >"$settings"
export COVER_MODE=image
start_service 12
start_program
sleep 2
[ ! -s "$service_log" ] || fail "requests with the look-up off: $(cat "$service_log")"
[ -z "$(art)" ] || fail "published: $(art)"
stop "$program_pid"
echo "cover art e2e: passed"
