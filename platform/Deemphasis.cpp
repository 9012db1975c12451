#include "platform/Deemphasis.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstring>
#include <numbers>

namespace platform {

static_assert(std::endian::native == std::endian::little, "frames are little-endian 16-bit samples");

namespace {

constexpr double kRate = 44100.0;
constexpr double kPoleSeconds = 50e-6; // the emphasis curve's time constants
constexpr double kZeroSeconds = 15e-6;
constexpr long kFramesPerSector = kSectorBytes / 4;

std::atomic<bool> enabledFlag{true};

// The analogue curve's power gain at `hertz`.
double analogueGain(double hertz) {
    const double w = 2 * std::numbers::pi * hertz;
    return (1 + w * w * kZeroSeconds * kZeroSeconds) / (1 + w * w * kPoleSeconds * kPoleSeconds);
}

double determinant(const double m[3][3]) {
    return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

// The root inside the unit circle of r = -2x / (1 + x^2).
double rootOf(double r) { return r == 0 ? 0 : (std::sqrt(1 - r * r) - 1) / r; }

} // namespace

// A first-order filter's power gain is (n0 + n1 cos w) / (1 + d1 cos w). Choosing n0, n1, d1 so
// that it equals the analogue curve at DC, 10 kHz and 16 kHz keeps the whole band within a few
// hundredths of a dB of it; the bilinear transform instead bends the shelf towards the top of the
// band and is almost 1 dB too deep at 10 kHz.
DeemphasisFilter::DeemphasisFilter() {
    const double hertz[3] = {0, 10000, 16000};
    double rows[3][3];
    double gains[3];
    for (int k = 0; k < 3; ++k) {
        const double c = std::cos(2 * std::numbers::pi * hertz[k] / kRate);
        gains[k] = analogueGain(hertz[k]);
        rows[k][0] = 1;
        rows[k][1] = c;
        rows[k][2] = -gains[k] * c;
    }
    double solution[3];
    const double whole = determinant(rows);
    for (int unknown = 0; unknown < 3; ++unknown) { // Cramer's rule
        double replaced[3][3];
        std::memcpy(replaced, rows, sizeof rows);
        for (int k = 0; k < 3; ++k) replaced[k][unknown] = gains[k];
        solution[unknown] = determinant(replaced) / whole;
    }
    const double zero = rootOf(solution[1] / solution[0]);
    const double pole = rootOf(solution[2]);
    const double gain = (1 - pole) / (1 - zero); // unity at DC
    m_b0 = static_cast<float>(gain);
    m_b1 = static_cast<float>(-gain * zero);
    m_pole = static_cast<float>(pole);
}

void DeemphasisFilter::process(uint8_t *frames, long count) {
    const long samples = count * 2;
    for (long i = 0; i < samples; ++i) {
        int16_t sample = 0;
        std::memcpy(&sample, frames + i * 2, 2);
        Channel &channel = m_channels[static_cast<size_t>(i & 1)];
        const float input = sample;
        if (m_fresh) channel = {input, input};
        const float output = m_b0 * input + m_b1 * channel.input + m_pole * channel.output;
        channel = {input, output};
        sample = static_cast<int16_t>(std::clamp(std::lrint(output), -32768L, 32767L));
        std::memcpy(frames + i * 2, &sample, 2);
        if (i & 1) m_fresh = false;
    }
}

void TrackDeemphasis::apply(const TableOfContents &toc, long long firstFrame, uint8_t *frames, long count,
                            bool enabled) {
    long done = 0;
    while (done < count) {
        const long long frame = firstFrame + done;
        const int track = toc.trackAt(static_cast<int>(frame / kFramesPerSector));
        const long long trackEnd = static_cast<long long>(toc.endOf(track)) * kFramesPerSector;
        const long run = static_cast<long>(std::clamp<long long>(trackEnd - frame, 1, count - done));
        if (enabled && toc.hasPreemphasis(track)) {
            if (frame != m_nextFrame) m_filter.reset();
            m_filter.process(frames + done * 4, run);
            m_nextFrame = frame + run;
        } else {
            m_nextFrame = -1;
        }
        done += run;
    }
}

void setDeemphasisEnabled(bool enabled) { enabledFlag.store(enabled, std::memory_order_relaxed); }

bool deemphasisEnabled() { return enabledFlag.load(std::memory_order_relaxed); }

} // namespace platform
