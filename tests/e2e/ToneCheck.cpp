// Tells whether the end of a WAV file sounds the demo disc's track N: the Goertzel power at that
// track's frequencies must stand above every other track's.
//   tone_check FILE.wav TRACK SECONDS     exit 0 when it does
#include "platform/backends/DemoDisc.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <numbers>
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

}  // namespace

int main(int argc, char **argv) {
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
