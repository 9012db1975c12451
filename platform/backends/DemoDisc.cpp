#include "platform/backends/DemoDisc.h"

#include "platform/backends/AudioOutput.h"
#include "platform/backends/MemorySource.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace platform::demo {

namespace {

struct Track {
    int minutes, seconds, frames;
    std::vector<double> hz;
};

// Chords in equal temperament (A4 = 440 Hz); no two tracks share the same set.
const std::vector<Track> &tracks() {
    static const std::vector<Track> table = {
        {2, 5, 0, {220.00, 277.18, 329.63}},           // A major
        {3, 17, 40, {261.63, 329.63, 392.00}},         // C major
        {2, 48, 0, {440.00, 659.25}},                  // A and its fifth
        {3, 2, 15, {293.66, 349.23, 440.00}},          // D minor
        {2, 30, 0, {164.81, 207.65, 246.94}},          // E major
        {3, 41, 60, {174.61, 220.00, 261.63}},         // F major
        {2, 12, 0, {196.00, 246.94, 293.66}},          // G major
        {2, 56, 20, {246.94, 293.66, 369.99}},         // B minor
        {3, 25, 0, {311.13, 392.00, 466.16}},          // E flat major
        {2, 40, 5, {220.00, 261.63, 329.63}},          // A minor
        {3, 8, 0, {185.00, 220.00, 277.18}},           // F sharp minor
        {3, 50, 33, {523.25, 659.25, 783.99, 987.77}}, // C major seventh, an octave up
    };
    return table;
}

constexpr double kPeak = 0.36; // of full scale, all partials together: soft, never clipping
constexpr double kFadeSeconds = 0.75;

} // namespace

TableOfContents toc() {
    TableOfContents t;
    t.firstTrack = 1;
    t.lastTrack = static_cast<int>(tracks().size());
    int sector = 0;
    for (const Track &track : tracks()) {
        t.trackStart.push_back(sector);
        t.dataTrack.push_back(false);
        sector += (track.minutes * 60 + track.seconds) * kFramesPerSecond + track.frames;
    }
    t.leadOut = sector;
    return t;
}

const std::vector<double> &trackFrequencies(int track) {
    return tracks().at(static_cast<size_t>(track - 1)).hz;
}

void renderSector(int lsn, uint8_t *out) {
    static const TableOfContents disc = toc();
    if (lsn < 0 || lsn >= disc.leadOut) {
        std::fill(out, out + kSectorBytes, uint8_t{0});
        return;
    }
    int track = disc.trackAt(lsn);
    const std::vector<double> &hz = trackFrequencies(track);
    const long long first = static_cast<long long>(lsn - disc.startOf(track)) * kFramesPerSector;
    const long long length =
        static_cast<long long>(disc.endOf(track) - disc.startOf(track)) * kFramesPerSector;
    const double amplitude = kPeak / static_cast<double>(hz.size());

    // Each partial turns a phasor one sample step at a time, started at the exact phase of the
    // sector's first sample, so any sector renders the same whatever was read before it.
    double re[4], im[4], stepRe[4], stepIm[4];
    const size_t partials = std::min<size_t>(hz.size(), 4);
    for (size_t p = 0; p < partials; ++p) {
        double step = 2 * std::numbers::pi * hz[p] / kSampleRate;
        double phase = std::fmod(step * static_cast<double>(first), 2 * std::numbers::pi);
        re[p] = std::cos(phase);
        im[p] = std::sin(phase);
        stepRe[p] = std::cos(step);
        stepIm[p] = std::sin(step);
    }
    const double fadeFrames = kFadeSeconds * kSampleRate;
    for (int i = 0; i < kFramesPerSector; ++i) {
        double value = 0;
        for (size_t p = 0; p < partials; ++p) {
            value += im[p];
            double r = re[p] * stepRe[p] - im[p] * stepIm[p];
            im[p] = re[p] * stepIm[p] + im[p] * stepRe[p];
            re[p] = r;
        }
        long long n = first + i;
        double edge = static_cast<double>(std::min(n, length - 1 - n)) / fadeFrames;
        double gain = edge >= 1 ? 1.0 : 0.5 - 0.5 * std::cos(std::numbers::pi * std::max(0.0, edge));
        auto sample = static_cast<int16_t>(std::lround(value * amplitude * gain * 32767));
        auto low = static_cast<uint8_t>(static_cast<uint16_t>(sample) & 0xFF);
        auto high = static_cast<uint8_t>(static_cast<uint16_t>(sample) >> 8);
        uint8_t *frame = out + static_cast<size_t>(i) * kFrameBytes;
        frame[0] = low;
        frame[1] = high;
        frame[2] = low;
        frame[3] = high;
    }
}

std::shared_ptr<SectorSource> makeSource() {
    return std::make_shared<MemorySource>(toc(), &renderSector, "demo disc");
}

} // namespace platform::demo
