// Tells whether the end of a WAV file sounds the demo disc's track N: the Goertzel power at that
// track's frequencies must stand above every other track's.
//   tone_check FILE.wav TRACK SECONDS     exit 0 when it does
// Or writes a rip that sounds like the demo disc but is another disc: DIR/tones.cue over
// DIR/tones.bin, the first SECONDS of the demo's tracks 1 to TRACKS.
//   tone_check --write-rip DIR TRACKS SECONDS
#include "platform/backends/DemoDisc.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <numbers>
#include <string>
#include <vector>

namespace {

constexpr double kRate = 44100.0;

std::vector<double> lastSecondsMono(const char *path, double seconds) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t data = 44;
    for (size_t i = 12; i + 8 <= bytes.size();) {
        uint32_t size = 0;
        std::memcpy(&size, &bytes[i + 4], 4);
        if (std::memcmp(&bytes[i], "data", 4) == 0) {
            data = i + 8;
            break;
        }
        i += 8 + size;
    }
    size_t frames = (bytes.size() - std::min(bytes.size(), data)) / 4;
    size_t want = std::min(frames, static_cast<size_t>(seconds * kRate));
    std::vector<double> mono;
    for (size_t f = frames - want; f < frames; ++f) {
        int16_t left = 0;
        int16_t right = 0;
        std::memcpy(&left, &bytes[data + f * 4], 2);
        std::memcpy(&right, &bytes[data + f * 4 + 2], 2);
        mono.push_back((left + right) / 2.0);
    }
    return mono;
}

double goertzel(const std::vector<double> &samples, double frequency) {
    double w = 2.0 * std::numbers::pi * frequency / kRate;
    double coefficient = 2.0 * std::cos(w);
    double s1 = 0;
    double s2 = 0;
    for (double x : samples) {
        double s0 = x + coefficient * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return s1 * s1 + s2 * s2 - coefficient * s1 * s2;
}

double trackPower(const std::vector<double> &samples, int track) {
    double sum = 0;
    for (double f : platform::demo::trackFrequencies(track)) sum += goertzel(samples, f);
    return sum / static_cast<double>(platform::demo::trackFrequencies(track).size());
}

int writeRip(const std::string &dir, int tracks, int seconds) {
    std::ofstream bin(dir + "/tones.bin", std::ios::binary);
    std::ofstream cue(dir + "/tones.cue");
    cue << "FILE \"tones.bin\" BINARY\n";
    const platform::TableOfContents demo = platform::demo::toc();
    std::vector<uint8_t> sector(platform::kSectorBytes);
    for (int track = 1; track <= tracks; ++track) {
        const int start = (track - 1) * seconds;
        char line[64];
        std::snprintf(line, sizeof line, "  TRACK %02d AUDIO\n    INDEX 01 %02d:%02d:00\n", track, start / 60,
                      start % 60);
        cue << line;
        for (int s = 0; s < seconds * platform::kFramesPerSecond; ++s) {
            platform::demo::renderSector(demo.startOf(track) + s, sector.data());
            bin.write(reinterpret_cast<const char *>(sector.data()),
                      static_cast<std::streamsize>(sector.size()));
        }
    }
    return bin && cue ? 0 : 1;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc == 5 && std::strcmp(argv[1], "--write-rip") == 0)
        return writeRip(argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
    if (argc != 4) {
        std::fprintf(stderr, "usage: tone_check FILE.wav TRACK SECONDS\n");
        return 2;
    }
    int track = std::atoi(argv[2]);
    std::vector<double> samples = lastSecondsMono(argv[1], std::atof(argv[3]));
    if (samples.size() < 4410) {
        std::fprintf(stderr, "too little sound in %s\n", argv[1]);
        return 1;
    }
    double own = trackPower(samples, track);
    int best = track;
    for (int other = 1; other <= 12; ++other)
        if (other != track && trackPower(samples, other) >= own) best = other;
    std::printf("track %d: power %.3g; loudest other: %d\n", track, own, best);
    return best == track && own > 0 ? 0 : 1;
}
