// Plays the demo disc (or a rip's sheet or a disc image) through the extraction drive into the
// null output for a while, for whole-process measurements (bench/play-cpu.sh).
// Usage: play_demo [seconds] [track] [sheet.cue | image.toc]
#include "platform/backends/CdioSource.h"
#include "platform/backends/ClockedOutput.h"
#include "platform/backends/DemoDisc.h"
#include "platform/backends/ExtractionDrive.h"
#include "platform/backends/RipSource.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>
#include <thread>

int main(int argc, char **argv) {
    using namespace platform;
    int seconds = argc > 1 ? std::atoi(argv[1]) : 30;
    int track = argc > 2 ? std::atoi(argv[2]) : 1;
    auto output = std::make_shared<NullOutput>();
    output->keepChecksum(true);
    const std::string image = argc > 3 ? argv[3] : "";
    ExtractionDrive drive(
        [image](std::string &reason) -> std::shared_ptr<SectorSource> {
            if (image.empty()) return demo::makeSource();
            if (CdioSource::imageDriver(image) == DRIVER_BINCUE) return RipSource::create(image, reason);
            return CdioSource::create(image, reason);
        },
        output);
    std::string reason;
    if (!drive.open(reason)) {
        std::fprintf(stderr, "cannot open the drive: %s\n", reason.c_str());
        return 1;
    }
    TableOfContents toc = drive.toc();
    if (!toc.hasTrack(track) || !drive.play(toc.startOf(track))) {
        std::fprintf(stderr, "cannot play track %d\n", track);
        return 1;
    }
    auto start = std::chrono::steady_clock::now();
    // Looks at the status once a second, as the player's poll does.
    while (std::chrono::steady_clock::now() - start < std::chrono::seconds(seconds)) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        if (drive.status().state != DriveState::Playing) break;
    }
    DriveStatus status = drive.status();
    double played = static_cast<double>(output->consumedFrames()) / kSampleRate;
    drive.close();
    // The whole process's processor time, to the microsecond (time -v rounds to 10 ms).
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                 static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    std::printf("played %.2f s of audio; heard sector %d; checksum %016llx\n", played, status.sector,
                static_cast<unsigned long long>(output->checksum()));
    std::printf("processor seconds: %.4f\n", cpu);
    std::printf("gaps in the sound: %lld\n", output->gaps());
    return 0;
}
