// The AccurateRip checksums' cost in a save's one pass: one second of CD audio (44,100 stereo
// samples) through both checksums, handed over as the save's readers do (a sector's bytes) and as
// its encoders do (16-bit frames).
#include "save/AccurateRip.h"

#include <benchmark/benchmark.h>
#include <cstdint>
#include <vector>

namespace {

constexpr std::size_t kSecond = 44100; // frames
constexpr std::size_t kSector = 588;   // frames

std::vector<int16_t> secondOfSound() {
    std::vector<int16_t> samples(kSecond * 2);
    uint32_t noise = 1;
    for (int16_t &sample : samples)
        sample = static_cast<int16_t>((noise = noise * 1664525 + 1013904223) >> 16);
    return samples;
}

void BM_ChecksumsOfOneSecondAsSectors(benchmark::State &state) {
    const std::vector<int16_t> samples = secondOfSound();
    const auto *bytes = reinterpret_cast<const uint8_t *>(samples.data());
    for (auto _ : state) {
        save::AccurateRipChecksum sum(kSecond, save::TrackPlace::Middle);
        for (std::size_t at = 0; at < kSecond; at += kSector)
            sum.add({bytes + at * 4, kSector * 4});
        benchmark::DoNotOptimize(sum.v2());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSecond * 4));
}
BENCHMARK(BM_ChecksumsOfOneSecondAsSectors);

void BM_ChecksumsOfOneSecondAsFrames(benchmark::State &state) {
    const std::vector<int16_t> samples = secondOfSound();
    for (auto _ : state) {
        save::AccurateRipChecksum sum(kSecond, save::TrackPlace::Middle);
        sum.addFrames(samples.data(), kSecond);
        benchmark::DoNotOptimize(sum.v2());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSecond * 4));
}
BENCHMARK(BM_ChecksumsOfOneSecondAsFrames);

} // namespace

BENCHMARK_MAIN();
