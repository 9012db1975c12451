#pragma once

#include "platform/backends/AudioDecoder.h"
#include "platform/backends/CueSheet.h"
#include "platform/backends/SectorSource.h"

#include <atomic>
#include <memory>
#include <optional>
#include <string>

namespace platform {

// A rip played as a disc: a cue sheet with its audio files (raw BINARY data, or files that FFmpeg
// decodes, one for the disc or one per track), read sector by sector on the drive's worker like a
// disc image. The table of contents is the one the disc gives in a drive, so its lengths and its
// catalogue file are the same. The sheet's TITLE lines come with the table of contents.
class RipSource : public SectorSource {
public:
    // Reads the sheet and finds the files it names, relative to the sheet's folder and never outside
    // it: quick checks only, for the UI thread. The files are opened and measured by the first
    // poll(), on the drive's worker: a file whose length only decoding it all tells (ALAC in
    // Matroska) takes seconds. Null and a reason for the user when the rip cannot be played.
    static std::shared_ptr<RipSource> prepare(const std::string &sheetPath, std::string &reason);
    // prepare() and the measuring at once, on the calling thread: every file must be 44.1 kHz
    // 16-bit stereo and as long as its header says.
    static std::shared_ptr<RipSource> create(const std::string &sheetPath, std::string &reason);
    ~RipSource() override;

    // Measures the files now, once; see SectorSource::check().
    bool check(std::string &reason) override;
    // The first call measures the files, unless check() did; NoDrive, with failure() saying why, when they cannot be
    // played. Ready with the rip's table of contents otherwise.
    MediaState poll(TableOfContents &toc) override;
    std::string failure() const override { return m_failure; }
    void cancel() override { m_cancelled = true; }
    // Silence where the sheet adds gaps or a file ends short of its last sector; false only when a
    // file cannot be read any more (it went away, or has been cut short since it was measured), as
    // a failing drive read.
    bool read(int lsn, int count, uint8_t *out) override;
    bool hasDoor() const override { return false; }
    // NoDisc until the files are measured.
    MediaState knownAtStart(TableOfContents &toc) const override;
    std::string name() const override { return "rip " + m_sheetPath; }

private:
    RipSource(std::string sheetPath, CueSheet sheet, std::vector<std::string> files);
    bool measure(std::string &reason);
    bool readSpan(const RipLayout::Span &span, int lsn, int count, uint8_t *out);
    bool use(int file);

    const std::string m_sheetPath;
    const CueSheet m_sheet;
    const std::vector<std::string> m_files; // paths found for the sheet's FILE lines
    std::vector<RipLayout::Extent> m_extents; // each file's length as measured
    std::optional<RipLayout> m_layout;      // once measured; then never changed
    std::atomic<bool> m_measured{false};    // m_layout is there, for knownAtStart() on other threads
    std::atomic<bool> m_cancelled{false};
    bool m_measureTried = false; // once: a rip that cannot be played stays so
    std::string m_failure;
    int m_current = -1; // the file open now: one at a time
    std::unique_ptr<AudioDecoder> m_decoder;
    int m_fd = -1;
};

} // namespace platform
