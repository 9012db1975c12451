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
unset LANGUAGE LC_ALL LC_MESSAGES
export LANG=C.UTF-8
if [ -z "${COVERART_E2E_BUS:-}" ]; then
  COVERART_E2E_BUS=1 exec dbus-run-session -- bash "$0" "$@"
fi
program=$1
shots=$2
here=$(dirname "$0")
mkdir -p "$shots"
. "$here/../support/x-session.sh"
work=$(mktemp -d)
pids=()
trap end_session EXIT

export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_CACHE_HOME=$work/cache XDG_RUNTIME_DIR=$work/run
mkdir -p "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME/cd-tunewick32" && chmod 700 "$XDG_RUNTIME_DIR"
# A rip of twelve tracks: a new disc that asks its questions (the demo disc comes with its titles).
. "$here/../support/rip.sh"
make_silent_rip "$work" twelve 12 10
export TUNEWICK_DEVICE=$work/twelve.cue TUNEWICK_AUDIO=null
export TUNEWICK_TEST_GUARD=coverart-$$
settings=$XDG_CONFIG_HOME/cd-tunewick32/ROTOR.INI
cache=$XDG_CACHE_HOME/cd-tunewick32
cover=$cache/00000000-0000-0000-0000-000000000001.jpg
convert -size 500x500 xc:teal "$work/front.jpg"
export COVER_FILE=$work/front.jpg COVER_MODE=image

start_x_session

step() { echo "--- $*"; }
fail() {
  echo "FAIL: $*"
  import -window root "$shots/coverart-failure.png" 2>/dev/null || true
  cat "$work/program.log" "$service_log" 2>/dev/null || true
  exit 1
}
keys_to() {
  local id=$1; shift
  xdotool windowactivate --sync "$id" 2>/dev/null || xdotool windowfocus --sync "$id"
  xdotool "$@"
}
art() { playerctl -p cd_tunewick32 metadata mpris:artUrl 2>/dev/null || true; }
covers_asked() { grep -c '^/release/' "$service_log" || true; }
start_service() {
  service_log=$work/requests-$RANDOM.log
  touch "$service_log"
  rm -f "$work/port"
  /usr/bin/python3 "$here/musicbrainz_server.py" "$work/port" "$service_log" 12 &
  pids+=($!)
  for _ in $(seq 50); do [ -s "$work/port" ] && break; sleep 0.1; done
  [ -s "$work/port" ] || fail "the stand-in service did not start"
  export TUNEWICK_MUSICBRAINZ_URL=http://127.0.0.1:$(cat "$work/port") TUNEWICK_COVERART_URL=http://127.0.0.1:$(cat "$work/port")
}
# Starts the program; with a key, answers the registration question with it (the disc is
# registered once the first editor closes).
start_program() {
  "$program" >"$work/program.log" 2>&1 &
  program_pid=$!
  pids+=($program_pid)
  panel=$(wait_window "$program_pid" '^CD-Tunewick32') || fail "the main panel did not appear"
  [ $# -gt 0 ] || return 0
  question=$(wait_window "$program_pid" '^情報$') || fail "no registration question"
  keys_to "$question" key "$1"
}
# Waits up to 5 s until the published cover is $1.
expect_art() {
  for _ in $(seq 50); do [ "$(art)" = "$1" ] && return 0; sleep 0.1; done
  fail "mpris:artUrl is '$(art)', expected '$1'"
}

step "the release taken gives the disc its cover, fetched once and published"
printf '[Online]\r\nMusicBrainz=1\r\n' >"$settings"
start_service
start_program Return
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
  start_service
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
start_service
start_program
sleep 2
[ ! -s "$service_log" ] || fail "requests with the look-up off: $(cat "$service_log")"
[ -z "$(art)" ] || fail "published: $(art)"
stop "$program_pid"
echo "cover art e2e: passed"
