#!/usr/bin/env bash
# The online title look-up and the release's cover in the real program, on a private session bus,
# against a stand-in for MusicBrainz and the Cover Art Archive on 127.0.0.1:
#   1. a new disc on two editions: the consent question, the look-up, "はい" to the registration
#      question, the choice of edition by keyboard, the editor filled with its titles, "保存" and
#      the catalogue file's lines; the edition's cover fetched once (by way of the archive's
#      redirect), kept in the cache folder and published as mpris:artUrl;
#   2. after a restart the same cover is published without a request;
#   3. a removed cover whose fetch gives a 404, or bytes that are no image, publishes nothing;
#   4. a service that takes 20 s to answer: the panel and the LCD keep answering meanwhile;
#   5. with the look-up off, nothing is fetched.
#   online_e2e.sh PROGRAM SCREENSHOT_DIR
set -euo pipefail
if [ -z "${ONLINE_E2E_BUS:-}" ]; then
  ONLINE_E2E_BUS=1 exec dbus-run-session -- bash "$0" "$@"
fi
program=$1
shots=$2
. "$(dirname "$0")/../support/x-session.sh"
. "$(dirname "$0")/../support/musicbrainz.sh"
. "$(dirname "$0")/../support/rip.sh"
begin_e2e online
# A rip of twelve tracks: a new disc that asks its questions (the demo disc comes with its titles).
make_silent_rip "$work" twelve 12 10
export TUNEWICK_DEVICE=$work/twelve.cue TUNEWICK_AUDIO=null
cache=$XDG_CACHE_HOME/cd-tunewick32
cover=$cache/00000000-0000-0000-0000-000000000002.jpg
convert -size 500x500 xc:teal "$work/front.jpg"
export COVER_FILE=$work/front.jpg COVER_MODE=image

start_x_session

# Waits until no window of the program matches; a moment more lets the window manager settle.
wait_gone() {
  for _ in $(seq 100); do
    xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 || { sleep 0.3; return 0; }
    sleep 0.1
  done
  return 1
}
art() { playerctl -p cd_tunewick32 metadata mpris:artUrl 2>/dev/null || true; }
covers_asked() { grep -c '^/release/' "$service_log" || true; }
# Waits up to 5 s until the published cover is $1.
expect_art() {
  for _ in $(seq 50); do [ "$(art)" = "$1" ] && return 0; sleep 0.1; done
  fail "mpris:artUrl is '$(art)', expected '$1'"
}

step "consent question before any request; the answer is kept"
start_service 12 0 2
start_program
consent=$(wait_window "$program_pid" '^タイトルの検索$') || fail "no consent question"
[ ! -s "$service_log" ] || fail "a request went out before the consent question was answered"
shot_consent=$shots/online-consent.png
import -window "$consent" "$shot_consent"
keys_to "$consent" key alt+y
question=$(wait_window "$program_pid" '^情報$') || fail "no registration question after the consent"
grep -q '^MusicBrainz=1' "$settings" || fail "consent not kept: $(cat "$settings")"

step "the disc is looked up by its ID with the program's User-Agent"
for _ in $(seq 50); do [ -s "$service_log" ] && break; sleep 0.1; done
grep -Eq '^/ws/2/discid/[A-Za-z0-9._-]{28}[?]inc=recordings' "$service_log" || fail "no disc-ID request: $(cat "$service_log")"
grep -q 'CD-Tunewick32/[0-9.]* ( .*@.* )' "$service_log" || fail "User-Agent does not name the program and a contact"

step "はい opens the editor with the titles found; 保存 writes them"
keys_to "$question" key Return
editor=$(wait_window "$program_pid" '^CD_Database$') || fail "the editor did not open"
choice=$(wait_window "$program_pid" '^リリースの選択$') || fail "no choice between the two editions"
sleep 0.5
import -window "$choice" "$shots/online-choice.png"
keys_to "$choice" key Down Return
wait_gone '^リリースの選択$' || fail "the choice did not close on Enter"
import -window "$editor" "$shots/online-editor.png"
keys_to "$editor" key alt+s
sleep 0.5
keys_to "$editor" key alt+c
cdl=$(ls "$XDG_DATA_HOME"/cd-tunewick32/*.CDL 2>/dev/null | head -n1)
[ -n "$cdl" ] || fail "no catalogue file written"
lines=$(iconv -f CP932 -t UTF-8 "$cdl" | tr -d '\r')
[ "$(sed -n 1p <<<"$lines")" = "デモの ディスク 第2版" ] || fail "disc title line: $(sed -n 1p <<<"$lines")"
[ "$(sed -n 2p <<<"$lines")" = "第1曲　和音の調べ" ] || fail "first track line: $(sed -n 2p <<<"$lines")"
[ "$(sed -n 13p <<<"$lines")" = "第12曲　和音の調べ" ] || fail "last track line: $(sed -n 13p <<<"$lines")"
[ "$(wc -l <<<"$lines")" = 13 ] || fail "the file holds $(wc -l <<<"$lines") lines"

step "the edition taken gives the disc its cover, fetched once and published"
for _ in $(seq 50); do [ -s "$cover" ] && break; sleep 0.1; done
[ -s "$cover" ] || fail "no cover kept in $cache: $(ls -la "$cache" 2>&1)"
cmp -s "$cover" "$COVER_FILE" || fail "the kept cover differs from the archive's"
grep -q '^00000000-0000-0000-0000-000000000002$' <(cut -d' ' -f2 "$cache/releases") || fail "release not remembered"
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
export COVER_MODE=image

step "a service that answers after 20 s: the panel and the LCD keep answering"
rm -f "$XDG_DATA_HOME"/cd-tunewick32/*.CDL
start_service 12 20
start_program
question=$(wait_window "$program_pid" '^情報$') || fail "no registration question"
keys_to "$question" key Return
editor=$(wait_window "$program_pid" '^CD_Database$') || fail "the editor did not open while the service is silent"
keys_to "$editor" type --delay 30 'typed'
import -window "$editor" "$shots/online-editor-waiting.png"
keys_to "$editor" key alt+c
wait_gone '^CD_Database$' || fail "the editor did not close while the service was silent"
xdotool mousemove --window "$panel" 292 13 click 1  # DISPLAY
wait_window "$program_pid" '^DISPLAY$' >/dev/null || fail "the panel did not answer while the service was silent"
grep -c '^/ws/2/' "$service_log" | grep -qx 1 || fail "requests while the service was silent: $(cat "$service_log")"
stop "$program_pid"

step "with the look-up off nothing is fetched"
printf '[Online]\r\nMusicBrainz=0\r\n' >"$settings"
start_service 12
start_program
sleep 2
[ ! -s "$service_log" ] || fail "requests with the look-up off: $(cat "$service_log")"
[ -z "$(art)" ] || fail "published: $(art)"
stop "$program_pid"
echo "online e2e: passed"
