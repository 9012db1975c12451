// The de-emphasis filter's cost: one second of CD audio through the filter, and through the
// drive's track stage on a flagged and on an unflagged track (which only looks up the track).
#include "platform/Deemphasis.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr long kSecond = 44100;  // frames
constexpr long kBlock = 4096;    // frames handed to the output at a time

std::vector<uint8_t> secondOfSound() {
    std::vector<uint8_t> bytes(kSecond * 4);
    for (long f = 0; f < kSecond * 2; ++f) {
        const auto sample = static_cast<int16_t>(std::lrint(12000 * std::sin(0.05 * static_cast<double>(f))));
        std::memcpy(&bytes[static_cast<size_t>(f) * 2], &sample, 2);
    }
    return bytes;
}

platform::TableOfContents oneTrack(bool flagged) {
    platform::TableOfContents toc;
    toc.firstTrack = toc.lastTrack = 1;
    toc.trackStart = {0};
    toc.dataTrack = {false};
    toc.preemphasis = {flagged};
    toc.leadOut = 75 * 60;
    return toc;
}

void BM_FilterOneSecond(benchmark::State &state) {
    std::vector<uint8_t> bytes = secondOfSound();
    platform::DeemphasisFilter filter;
    for (auto _ : state) {
        filter.process(bytes.data(), kSecond);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kSecond);
}
BENCHMARK(BM_FilterOneSecond)->Unit(benchmark::kMicrosecond);

void BM_StageOneSecond(benchmark::State &state) {
    std::vector<uint8_t> bytes = secondOfSound();
    const platform::TableOfContents toc = oneTrack(state.range(0) != 0);
    platform::TrackDeemphasis stage;
    long long frame = 0;
    for (auto _ : state) {
        for (long at = 0; at < kSecond; at += kBlock) {
            const long count = std::min(kBlock, kSecond - at);
            stage.apply(toc, frame, bytes.data() + at * 4, count, true);
            frame = (frame + count) % (kSecond * 50); // within the track; a jump back once a minute
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kSecond);
}
BENCHMARK(BM_StageOneSecond)->Arg(1)->Arg(0)->ArgName("flagged")->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
