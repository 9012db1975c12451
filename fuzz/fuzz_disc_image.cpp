// Disc images through libcdio under arbitrary cue sheets and cdrdao table-of-contents files.
//
// Input: the first byte chooses the kind (even: .cue, odd: .toc), the rest is the sheet. The sheet
// is written into a scratch folder beside a small data file "a.bin" (a sheet may name it or any
// other file). Opening must not crash or hang; when it succeeds, the table of contents must be
// consistent and the first and last audio sectors must read without fault.
#include "fuzz/FuzzSupport.h"
#include "platform/backends/CdioSource.h"

#include <QDir>
#include <QFile>

#include <cdio/logging.h>
#include <unistd.h>

#include <vector>

namespace {

constexpr std::size_t kMaxSheet = 4096;
constexpr int kBinSectors = 40;

void quiet(cdio_log_level_t, const char *) {}

void checkToc(const platform::TableOfContents &toc) {
    FUZZ_CHECK(toc.firstTrack >= 1 && toc.lastTrack >= toc.firstTrack);
    const std::size_t count = static_cast<std::size_t>(toc.lastTrack - toc.firstTrack + 1);
    FUZZ_CHECK(toc.trackStart.size() == count && toc.dataTrack.size() == count);
    FUZZ_CHECK(toc.leadOut > toc.trackStart.back());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    cdio_log_set_handler(quiet);
    const QDir folder(fuzz::scratchFolder());
    fuzz::writeBytes(folder.filePath(QStringLiteral("a.bin")),
                     std::string(static_cast<std::size_t>(kBinSectors) * platform::kSectorBytes, '\x11'));
    // cdrdao sheets name their data files relative to the working folder.
    if (chdir(fuzz::scratchFolder().toLocal8Bit().constData()) != 0) fuzz::fail("cannot enter the scratch folder");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
    if (size == 0 || size > kMaxSheet + 1) return -1;
    const QDir folder(fuzz::scratchFolder());
    const QString sheet = folder.filePath(data[0] % 2 == 0 ? QStringLiteral("a.cue") : QStringLiteral("a.toc"));
    fuzz::writeBytes(sheet, fuzz::asText(data + 1, size - 1));

    std::string reason;
    std::shared_ptr<platform::CdioSource> source = platform::CdioSource::create(sheet.toStdString(), reason);
    QFile::remove(sheet);
    if (!source) {
        FUZZ_CHECK(!reason.empty());
        return 0;
    }
    platform::TableOfContents known;
    FUZZ_CHECK(source->knownAtStart(known) == platform::MediaState::Ready);
    checkToc(known);
    fuzz::writeBytes(sheet, fuzz::asText(data + 1, size - 1));
    platform::TableOfContents toc;
    if (source->poll(toc) != platform::MediaState::Ready) return 0;
    checkToc(toc);
    // Sectors beyond the data file read as a failure, never as a fault; keep the reads short.
    std::vector<uint8_t> sector(platform::kSectorBytes);
    for (std::size_t k = 0; k < toc.trackStart.size(); ++k) {
        if (toc.dataTrack[k]) continue;
        const int start = toc.trackStart[k];
        const int end = k + 1 < toc.trackStart.size() ? toc.trackStart[k + 1] : toc.leadOut;
        source->read(start, 1, sector.data());
        source->read(end - 1, 1, sector.data());
    }
    return 0;
}
