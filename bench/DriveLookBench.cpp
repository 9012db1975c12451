// What looking for a CD drive costs the drive's worker once a second while there is none: libcdio's
// full look for the default drive, and the stat of /dev that decides whether it is worth running.
#include "platform/backends/HotPlugSource.h"

#include <benchmark/benchmark.h>

#include <sys/stat.h>

namespace {

void BM_DefaultDriveLook(benchmark::State &state) {
    for (auto _ : state) benchmark::DoNotOptimize(platform::HotPlugSource::defaultDrive());
}
BENCHMARK(BM_DefaultDriveLook)->Unit(benchmark::kMicrosecond);

void BM_DevChangedCheck(benchmark::State &state) {
    struct stat info {};
    for (auto _ : state) benchmark::DoNotOptimize(stat("/dev", &info));
}
BENCHMARK(BM_DevChangedCheck)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
