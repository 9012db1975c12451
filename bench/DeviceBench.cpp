#include "player/CdAudioDevice.h"
#include "platform/SimulatedDrive.h"

#include <benchmark/benchmark.h>

namespace {

struct Playing {
    platform::SimulatedDrive drive;
    CdAudioDevice device;
    Playing() {
        drive.insert(platform::SimulatedDisc::uniform(99, 200, 33));
        device.setDrive(&drive);
        device.Open();
        device.Play();
        drive.advance(90000);
    }
};

void BM_ModeWhilePlaying(benchmark::State &state) {
    Playing p;
    for (auto _ : state) benchmark::DoNotOptimize(p.device.Mode());
}
BENCHMARK(BM_ModeWhilePlaying);

void BM_PositionWhilePlaying(benchmark::State &state) {
    Playing p;
    for (auto _ : state) benchmark::DoNotOptimize(p.device.Position());
}
BENCHMARK(BM_PositionWhilePlaying);

void BM_TrackLength(benchmark::State &state) {
    Playing p;
    for (auto _ : state) benchmark::DoNotOptimize(p.device.TrackLength(50));
}
BENCHMARK(BM_TrackLength);

}  // namespace

BENCHMARK_MAIN();
