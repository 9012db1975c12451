// Rips' cue sheets under arbitrary bytes: the sheet reader, the table of contents laid out from it,
// and the whole rip opened through its files.
//
// Each input is a sheet. It is read and laid out with every file 40 sectors long: when that works,
// the table of contents must be one a drive could give (tracks in order, each at least one sector,
// the spans covering the disc without gaps). Then the sheet is written into a scratch folder that
// holds a raw "a.bin" and a 44.1 kHz "a.wav" and opened as a rip: that must fail with a reason or
// give a disc whose first and last sectors read, never crash or hang.
#include "fuzz/FuzzSupport.h"
#include "platform/backends/CueSheet.h"
#include "platform/backends/RipSource.h"

#include <QDir>

#include <vector>

namespace {

constexpr int kFileSectors = 40;

std::string wavFile() {
    const uint32_t data = kFileSectors * platform::kSectorBytes;
    std::string header = "RIFF";
    auto put = [&](uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) header.push_back(static_cast<char>(value >> (8 * i)));
    };
    put(36 + data, 4);
    header += "WAVEfmt ";
    put(16, 4), put(1, 2), put(2, 2), put(44100, 4), put(44100 * 4, 4), put(4, 2), put(16, 2);
    header += "data";
    put(data, 4);
    return header + std::string(data, '\x22');
}

void checkLayout(const platform::RipLayout &layout) {
    const platform::TableOfContents &toc = layout.toc;
    FUZZ_CHECK(toc.firstTrack >= 1 && toc.lastTrack >= toc.firstTrack && toc.lastTrack <= 99);
    FUZZ_CHECK(toc.trackStart.size() == static_cast<std::size_t>(toc.trackCount()));
    FUZZ_CHECK(toc.text.trackTitles.size() == toc.trackStart.size());
    for (std::size_t k = 0; k < toc.trackStart.size(); ++k) {
        const int end = k + 1 < toc.trackStart.size() ? toc.trackStart[k + 1] : toc.leadOut;
        FUZZ_CHECK(toc.trackStart[k] >= 0 && toc.trackStart[k] < end);
    }
    int next = 0;
    for (const platform::RipLayout::Span &span : layout.spans) {
        FUZZ_CHECK(span.start == next && span.sectors > 0);
        next += span.sectors;
    }
    FUZZ_CHECK(next == toc.leadOut);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    const QDir folder(fuzz::scratchFolder());
    fuzz::writeBytes(folder.filePath(QStringLiteral("a.bin")),
                     std::string(static_cast<std::size_t>(kFileSectors) * platform::kSectorBytes, '\x11'));
    fuzz::writeBytes(folder.filePath(QStringLiteral("a.wav")), wavFile());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
    if (size > 8192) return -1;
    const std::string_view text = fuzz::asText(data, size);
    std::string reason;
    std::optional<platform::CueSheet> sheet = platform::CueSheet::parse(text, reason);
    if (!sheet) {
        FUZZ_CHECK(!reason.empty());
        return 0;
    }
    std::vector<platform::RipLayout::Extent> extents(sheet->files.size(),
                                                     {kFileSectors * platform::kSectorBytes, kFileSectors});
    if (std::optional<platform::RipLayout> layout = platform::RipLayout::build(*sheet, extents, reason))
        checkLayout(*layout);
    else
        FUZZ_CHECK(!reason.empty());

    const QString path = QDir(fuzz::scratchFolder()).filePath(QStringLiteral("a.cue"));
    fuzz::writeBytes(path, text);
    std::shared_ptr<platform::RipSource> rip = platform::RipSource::create(path.toStdString(), reason);
    if (!rip) {
        FUZZ_CHECK(!reason.empty());
        return 0;
    }
    platform::TableOfContents toc;
    FUZZ_CHECK(rip->knownAtStart(toc) == platform::MediaState::Ready);
    std::vector<uint8_t> sector(platform::kSectorBytes);
    FUZZ_CHECK(rip->read(toc.trackStart.front(), 1, sector.data()));
    FUZZ_CHECK(rip->read(toc.leadOut - 1, 1, sector.data()));
    return 0;
}
