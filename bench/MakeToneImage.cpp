// Writes a disc image of steady tones for whole-process measurements: DIR/tone.cue and its
// DIR/tone.bin, TRACKS audio tracks of SECONDS each, one pitch per track. Prints the disc length
// value that names the image's catalogue file (<value>.CDL): minutes | seconds << 8 | frames << 16
// of the lead-out minus the first track's start minus one frame.
// Usage: make_tone_image DIR [TRACKS] [SECONDS]
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_tone_image DIR [TRACKS] [SECONDS]\n");
        return 2;
    }
    const std::string dir = argv[1];
    const int tracks = argc > 2 ? std::atoi(argv[2]) : 3;
    const int seconds = argc > 3 ? std::atoi(argv[3]) : 60;
    constexpr int kSectorsPerSecond = 75;
    constexpr int kFramesPerSector = 588;
    const int sectorsPerTrack = seconds * kSectorsPerSecond;

    std::FILE *bin = std::fopen((dir + "/tone.bin").c_str(), "wb");
    std::FILE *cue = std::fopen((dir + "/tone.cue").c_str(), "w");
    if (!bin || !cue) {
        std::perror(dir.c_str());
        return 1;
    }
    std::fprintf(cue, "FILE \"tone.bin\" BINARY\n");
    std::vector<int16_t> sector(kFramesPerSector * 2);
    for (int t = 0; t < tracks; ++t) {
        const int start = t * sectorsPerTrack;
        std::fprintf(cue, "  TRACK %02d AUDIO\n    INDEX 01 %02d:%02d:%02d\n", t + 1, start / (60 * 75),
                     start / 75 % 60, start % 75);
        const double step = 2 * M_PI * 220.0 * (t + 2) / 2 / 44100;
        long long frame = 0;
        for (int s = 0; s < sectorsPerTrack; ++s) {
            for (int i = 0; i < kFramesPerSector; ++i, ++frame) {
                auto sample = static_cast<int16_t>(6000 * std::sin(step * static_cast<double>(frame)));
                sector[2 * i] = sector[2 * i + 1] = sample; // little-endian hosts only
            }
            std::fwrite(sector.data(), sizeof(int16_t), sector.size(), bin);
        }
    }
    std::fclose(bin);
    std::fclose(cue);
    const int length = tracks * sectorsPerTrack - 1;
    std::printf("%d\n", length / (60 * 75) | (length / 75 % 60) << 8 | (length % 75) << 16);
    return 0;
}
