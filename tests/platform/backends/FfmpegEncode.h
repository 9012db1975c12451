#pragma once

#include <string>

namespace platform::testing {

// Encodes `pcm` (16-bit little-endian stereo at 44.1 kHz) into `path` with FFmpeg's encoder
// `encoder` (flac, alac, tta, wavpack, pcm_s16le, libmp3lame, libopus, ...) in its container
// `container` (matroska, ogg, caf, ipod, ...): files that Debian's command-line encoders do not
// write. Empty on success, else what failed.
std::string encodeWithFfmpeg(const std::string &pcm, const std::string &path, const char *container,
                             const char *encoder);

} // namespace platform::testing
