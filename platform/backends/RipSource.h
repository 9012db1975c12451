#pragma once

#include "platform/backends/AudioDecoder.h"
#include "platform/backends/CueSheet.h"
#include "platform/backends/SectorSource.h"

#include <memory>
#include <string>

namespace platform {

// A rip played as a disc: a cue sheet with its audio files (raw BINARY data, or files that FFmpeg
// decodes, one for the disc or one per track), read sector by sector on the drive's worker like a
// disc image. The table of contents is the one the disc gives in a drive, so its lengths and its
// catalogue file are the same. The sheet's TITLE lines come with the table of contents.
class RipSource : public SectorSource {
public:
    // Reads the sheet and looks at every file it names, on the calling thread: the files are found
    // relative to the sheet's folder, never outside it, and must be 44.1 kHz 16-bit stereo.
    // Null and a reason for the user when the rip cannot be played.
    static std::shared_ptr<RipSource> create(const std::string &sheetPath, std::string &reason);
    ~RipSource() override;

    MediaState poll(TableOfContents &toc) override;
    // Silence where the sheet adds gaps or a file ends short of its last sector; false only when a
    // file cannot be read any more (it went away), as a failing drive read.
    bool read(int lsn, int count, uint8_t *out) override;
    bool hasDoor() const override { return false; }
    MediaState knownAtStart(TableOfContents &toc) const override;
    std::string name() const override { return "rip " + m_sheetPath; }

private:
    RipSource(std::string sheetPath, CueSheet sheet, std::vector<std::string> files, RipLayout layout);
    bool readSpan(const RipLayout::Span &span, int lsn, int count, uint8_t *out);
    bool use(int file);

    const std::string m_sheetPath;
    const CueSheet m_sheet;
    const std::vector<std::string> m_files; // paths found for the sheet's FILE lines
    const RipLayout m_layout;
    int m_current = -1; // the file open now: one at a time
    std::unique_ptr<AudioDecoder> m_decoder;
    int m_fd = -1;
};

} // namespace platform
