// Encodes a raw disc image's samples (16-bit little-endian stereo at 44.1 kHz, as make_tone_image
// writes them) into a rip's audio file with FFmpeg's own encoders, for containers that Debian's
// command-line encoders do not write (ALAC in Matroska, ...).
// Usage: make_rip IN.bin OUT CONTAINER ENCODER   (e.g. make_rip tone.bin tone.mkv matroska alac)
#include "tests/platform/backends/FfmpegEncode.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

int main(int argc, char **argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: make_rip IN.bin OUT CONTAINER ENCODER\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::string pcm(std::istreambuf_iterator<char>(in), {});
    const std::string failure = platform::testing::encodeWithFfmpeg(pcm, argv[2], argv[3], argv[4]);
    if (!failure.empty()) std::fprintf(stderr, "%s: %s\n", argv[2], failure.c_str());
    return failure.empty() ? 0 : 1;
}
