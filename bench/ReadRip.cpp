// Reads a rip from its first track to its lead-out as fast as it decodes, as the drive's worker
// reads it while playing, and prints the time taken and the process's peak memory: the peak must
// not grow with the rip's length. Usage: read_rip SHEET.cue
#include "platform/backends/RipSource.h"

#include <chrono>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

int main(int argc, char **argv) {
    using namespace platform;
    if (argc < 2) {
        std::fprintf(stderr, "usage: read_rip SHEET.cue\n");
        return 2;
    }
    std::string reason;
    const auto started = std::chrono::steady_clock::now();
    std::shared_ptr<RipSource> rip = RipSource::create(argv[1], reason);
    if (!rip) {
        std::fprintf(stderr, "%s\n", reason.c_str());
        return 1;
    }
    TableOfContents toc;
    rip->knownAtStart(toc);
    constexpr int kRead = 20; // sectors per read, as the drive reads
    std::vector<uint8_t> buffer(kRead * kSectorBytes);
    for (int lsn = toc.startOf(toc.firstTrack); lsn < toc.leadOut; lsn += kRead)
        if (!rip->read(lsn, std::min(kRead, toc.leadOut - lsn), buffer.data())) return 1;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%d sectors (%.1f min of audio) in %.2f s, peak memory %ld KiB\n", toc.leadOut,
                toc.leadOut / 75.0 / 60, seconds, usage.ru_maxrss);
    return 0;
}
