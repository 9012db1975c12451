// The de-emphasis filter: its response against the reference curve, and how the drive's stage
// applies it track by track (bit-exact passthrough, memory across a gapless change, clean starts).
#include "platform/Deemphasis.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <numbers>

namespace platform {
namespace {

constexpr int kFramesPerSector = kSectorBytes / 4;

// Stereo frames of a sine (the right channel a quarter period behind) as little-endian bytes.
std::vector<uint8_t> sine(double hertz, long frames, double amplitude = 12000, long firstFrame = 0) {
    std::vector<uint8_t> bytes(static_cast<size_t>(frames) * 4);
    for (long f = 0; f < frames; ++f) {
        const double phase = 2 * std::numbers::pi * hertz * static_cast<double>(firstFrame + f) / 44100.0;
        const int16_t samples[2] = {static_cast<int16_t>(std::lrint(amplitude * std::sin(phase))),
                                    static_cast<int16_t>(std::lrint(amplitude * std::cos(phase)))};
        std::memcpy(&bytes[static_cast<size_t>(f) * 4], samples, 4);
    }
    return bytes;
}

int16_t sampleAt(const std::vector<uint8_t> &bytes, size_t index) {
    int16_t sample = 0;
    std::memcpy(&sample, &bytes[index * 2], 2);
    return sample;
}

// Root mean square of every sample from frame `from` on.
double rms(const std::vector<uint8_t> &bytes, size_t from) {
    double sum = 0;
    const size_t samples = bytes.size() / 2;
    for (size_t i = from * 2; i < samples; ++i) sum += std::pow(sampleAt(bytes, i), 2);
    return std::sqrt(sum / static_cast<double>(samples - from * 2));
}

// The largest change from one sample of a channel to its next, over frames [from, to).
int largestStep(const std::vector<uint8_t> &bytes, size_t from, size_t to) {
    int largest = 0;
    for (size_t f = std::max<size_t>(from, 1); f < to; ++f)
        for (size_t c = 0; c < 2; ++c)
            largest = std::max(largest, std::abs(sampleAt(bytes, f * 2 + c) - sampleAt(bytes, (f - 1) * 2 + c)));
    return largest;
}

// Three tracks of 10 sectors each, the lead-out after them; `flags` says which are flagged.
TableOfContents disc(std::vector<bool> flags) {
    TableOfContents toc;
    toc.firstTrack = 1;
    toc.lastTrack = 3;
    toc.trackStart = {0, 10, 20};
    toc.dataTrack = {false, false, false};
    toc.preemphasis = std::move(flags);
    toc.leadOut = 30;
    return toc;
}

TEST(DeemphasisTest, SinesAreLoweredAsTheReferenceCurveWithinATenthOfADecibelAndDcPassesUnchanged) {
    struct Case {
        double hertz;
        double decibels; // the reference figure
    };
    for (Case c : {Case{1000, -0.38}, Case{10000, -7.61}, Case{16000, -9.10}}) {
        SCOPED_TRACE(c.hertz);
        const std::vector<uint8_t> in = sine(c.hertz, 44100);
        std::vector<uint8_t> out = in;
        DeemphasisFilter filter;
        filter.process(out.data(), 22050); // in two calls: the second goes on from the first
        filter.process(out.data() + 22050 * 4, 22050);
        EXPECT_NEAR(20 * std::log10(rms(out, 4410) / rms(in, 4410)), c.decibels, 0.1);
    }
    // A held value comes out as it went in from the first sample: a start gives no step.
    std::vector<uint8_t> held(400);
    for (size_t i = 0; i < held.size() / 2; ++i) std::memcpy(&held[i * 2], i % 2 ? "\x00\x80" : "\x39\x30", 2);
    std::vector<uint8_t> out = held;
    DeemphasisFilter().process(out.data(), 100);
    EXPECT_EQ(out, held);
}

TEST(DeemphasisTest, UnflaggedTracksAndTheSwitchedOffFilterPassBitForBit) {
    const long frames = 30L * kFramesPerSector;
    const std::vector<uint8_t> in = sine(9000, frames, 30000);
    std::vector<uint8_t> off = in;
    TrackDeemphasis().apply(disc({true, true, true}), 0, off.data(), frames, false);
    EXPECT_EQ(off, in) << "switched off, even flagged tracks pass as they are";

    std::vector<uint8_t> out = in;
    TrackDeemphasis stage;
    for (long at = 0; at < frames; at += 1000)
        stage.apply(disc({false, true}), at, out.data() + at * 4, std::min(1000L, frames - at), true);
    const auto bytesOfTrack = [](int track) {
        return std::pair{(track - 1) * 10L * kSectorBytes, track * 10L * kSectorBytes};
    };
    for (int track : {1, 3}) {
        auto [from, to] = bytesOfTrack(track);
        EXPECT_TRUE(std::equal(in.begin() + from, in.begin() + to, out.begin() + from)) << "track " << track;
    }
    auto [from, to] = bytesOfTrack(2);
    EXPECT_LT(rms(std::vector<uint8_t>(out.begin() + from, out.begin() + to), 0),
              0.5 * rms(std::vector<uint8_t>(in.begin() + from, in.begin() + to), 0));
}

TEST(DeemphasisTest, AGaplessChangeBetweenFlaggedTracksKeepsTheFilterAndAJumpStartsItClean) {
    const long frames = 30L * kFramesPerSector;
    const std::vector<uint8_t> in = sine(5000, frames);
    std::vector<uint8_t> whole = in;
    DeemphasisFilter().process(whole.data(), frames);

    // In blocks that straddle the track changes, as the drive hands them on.
    std::vector<uint8_t> out = in;
    TrackDeemphasis stage;
    for (long at = 0; at < frames; at += 1234)
        stage.apply(disc({true, true, true}), at, out.data() + at * 4, std::min(1234L, frames - at), true);
    EXPECT_EQ(out, whole) << "the filter went on across the changes as over one track";
    const size_t change = 10 * kFramesPerSector;
    EXPECT_LE(largestStep(out, change - 2, change + 2), largestStep(out, 0, change - 2)) << "a click at the change";

    // A seek back to the start: the filter starts as fresh, not from where it stood.
    std::vector<uint8_t> again = in;
    stage.apply(disc({true, true, true}), 0, again.data(), frames, true);
    EXPECT_EQ(again, whole);

    // Flagged, unflagged, flagged: the third track starts clean, as if played alone.
    std::vector<uint8_t> mixed = in;
    TrackDeemphasis().apply(disc({true, false, true}), 0, mixed.data(), frames, true);
    std::vector<uint8_t> third(in.begin() + 20L * kSectorBytes, in.end());
    DeemphasisFilter().process(third.data(), 10L * kFramesPerSector);
    EXPECT_TRUE(std::equal(third.begin(), third.end(), mixed.begin() + 20L * kSectorBytes));
}

} // namespace
} // namespace platform
