// What the sound outputs cost the drive's worker per second of sound: the clocked output's queue
// (the null output's copy in and play out, with and without its checksum), and how many writes,
// and so wake-ups of the worker, a second of sound takes through ALSA (its "null" device here, as
// the build machine has no sound card; a card takes the same buffer and write sizes).
#include "platform/backends/AlsaOutput.h"
#include "platform/backends/ClockedOutput.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

using namespace platform;

// One second of sound written a period at a time into a null output whose clock runs so fast that
// every write finds room: the copying and the clock's bookkeeping, no sleeping.
void BM_NullOutputOneSecond(benchmark::State &state) {
    NullOutput output(1e6);
    output.keepChecksum(state.range(0) != 0);
    std::vector<uint8_t> period(static_cast<size_t>(output.periodFrames()) * kFrameBytes, 0x5a);
    for (auto _ : state) {
        for (int written = 0; written < kSampleRate; written += output.periodFrames()) {
            output.write(period.data(), output.periodFrames());
            benchmark::DoNotOptimize(output.delayFrames());
        }
    }
    state.counters["writes_per_second_of_sound"] =
        static_cast<double>(kSampleRate) / static_cast<double>(output.periodFrames());
}
BENCHMARK(BM_NullOutputOneSecond)->ArgName("checksum")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// A period written to ALSA: the counter is the worker's writes (each after one wake-up) per second.
void BM_AlsaWritePeriod(benchmark::State &state) {
    AlsaOutput output("null");
    if (!output.ok()) {
        state.SkipWithError(output.error().c_str());
        return;
    }
    std::vector<uint8_t> period(static_cast<size_t>(output.periodFrames()) * kFrameBytes, 0);
    for (auto _ : state) {
        output.write(period.data(), output.periodFrames());
        output.drop();
    }
    state.counters["writes_per_second_of_sound"] =
        static_cast<double>(kSampleRate) / static_cast<double>(output.periodFrames());
}
BENCHMARK(BM_AlsaWritePeriod)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
