# Sourced by the scripts that play rips in the real program.
#   make_silent_rip DIR NAME TRACKS SECONDS: DIR/NAME.cue over a silent DIR/NAME.bin (a sparse
#   file), TRACKS audio tracks of SECONDS each; another TRACKS or SECONDS makes another disc.
make_silent_rip() {
  local dir=$1 name=$2 tracks=$3 seconds=$4 t
  truncate -s $((tracks * seconds * 75 * 2352)) "$dir/$name.bin"
  { echo "FILE \"$name.bin\" BINARY"
    for t in $(seq "$tracks"); do
      printf '  TRACK %02d AUDIO\n    INDEX 01 %02d:%02d:00\n' "$t" $(((t - 1) * seconds / 60)) $(((t - 1) * seconds % 60))
    done; } >"$dir/$name.cue"
}
# The catalogue file's name of a rip of TRACKS tracks of SECONDS each from sector 0: the disc's
# length less one frame, as minutes | seconds << 8 | frames << 16.
catalogue_name() {
  local frames=$(($1 * $2 * 75 - 1))
  echo "$((frames / 4500 | (frames / 75 % 60) << 8 | (frames % 75) << 16)).CDL"
}
