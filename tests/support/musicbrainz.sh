# Sourced by the scripts that look titles up in the real program, after x-session.sh.
#   start_service TRACKS [DELAY...]: a stand-in for MusicBrainz and the Cover Art Archive on
#   127.0.0.1 (musicbrainz_server.py), never the internet; sets $service_log (one line a request)
#   and points the program at it.
start_service() {
  service_log=$work/requests-$RANDOM.log
  touch "$service_log"
  rm -f "$work/port"
  /usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/../e2e/musicbrainz_server.py" "$work/port" "$service_log" "$@" &
  pids+=($!)
  for _ in $(seq 50); do [ -s "$work/port" ] && break; sleep 0.1; done
  [ -s "$work/port" ] || fail "the stand-in service did not start"
  export TUNEWICK_MUSICBRAINZ_URL=http://127.0.0.1:$(cat "$work/port")
  export TUNEWICK_COVERART_URL=$TUNEWICK_MUSICBRAINZ_URL
}
