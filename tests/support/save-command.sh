# Shared set-up of the `cd-tunewick32 --save` tests, sourced after `program=$1`:
# - a private work folder, gone at the end with every process listed in `background`;
# - private settings, data, cache and runtime folders, so that the user's own player or save,
#   running meanwhile, is none of the test's business; the null output; LANG unset (Japanese);
# - `save FOLDER [SOURCE]` runs the command with no display at all: a program that made a
#   window's application object would abort on the platform name given;
# - `$work/rip`: a rip of three two-second tracks of noise, in a folder of its own.
#   begin_save_test GUARD_NAME
work=$(mktemp -d)
background=()
save_cleanup() {
  local pid
  for pid in "${background[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait
  rm -rf "$work"
}
trap save_cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }
save() { env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=no-such-platform "$program" --save "$@"; }

begin_save_test() {
  export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_CACHE_HOME=$work/cache TUNEWICK_AUDIO=null
  export XDG_RUNTIME_DIR=$work/run TUNEWICK_TEST_GUARD=$1-$$
  mkdir -m 700 "$XDG_RUNTIME_DIR"
  unset LANGUAGE LC_ALL LC_MESSAGES LANG
  mkdir -p "$work/rip"
  head -c $((450 * 2352)) /dev/urandom >"$work/rip/disc.bin"
  printf 'TITLE "Noise"\nFILE "disc.bin" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    INDEX 01 00:02:00\n  TRACK 03 AUDIO\n    INDEX 01 00:04:00\n' >"$work/rip/disc.cue"
}
