#pragma once

#include "platform/backends/DriveReadiness.h"
#include "platform/backends/SectorSource.h"

#include <cdio/cdio.h>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {

class TocCopy;

// A CD drive or a disc image (.cue/.bin, .toc, .nrg) read through libcdio. The worker thread
// that calls poll() and read() owns the libcdio handle; no other thread ever touches it.
class CdioSource : public SectorSource {
public:
    static constexpr int kQuietSpeed = 4; // times CD speed: fast enough to keep up, and quiet
    static constexpr int kSessionGap =
        11400; // sectors from a session's lead-out to the next session's first track

    // Checks on the calling thread whether `path` can be used, without keeping a handle: a device
    // node must exist and be readable; an image is read once for its table of contents. Returns
    // null and a reason for the user when it cannot be used.
    static std::shared_ptr<CdioSource> create(const std::string &path, std::string &reason);

    MediaState poll(TableOfContents &toc) override;
    bool read(int lsn, int count, uint8_t *out) override;
    bool hasDoor() const override { return m_device; }
    bool eject() override;
    MediaState knownAtStart(TableOfContents &toc) const override;
    std::string name() const override;

    // Reads the table of contents from an open handle; false when there is no readable disc.
    static bool readToc(CdIo_t *cdio, TableOfContents &toc);
    // Where each track's pregap (INDEX 00) starts, per track of `toc`; -1 where it has none that
    // libcdio can say. Of a cdrdao .toc only a START gives a pregap: what libcdio reports for
    // a PREGAP statement is no sector of the disc.
    static std::vector<int> readGaps(CdIo_t *cdio, const TableOfContents &toc);
    // The libcdio driver for an image path, chosen by its extension.
    static driver_id_t imageDriver(const std::string &path);

private:
    using Handle = std::unique_ptr<CdIo_t, decltype(&cdio_destroy)>;

    CdioSource(std::string path, bool device, TableOfContents probed, std::shared_ptr<TocCopy> copy = nullptr);
    Handle openHandle() const;
    MediaState pollDevice();
    MediaState pollImage();

    const std::string m_path;
    const bool m_device;
    const TableOfContents m_probed; // an image's contents as create() found them
    const std::shared_ptr<TocCopy> m_copy; // what libcdio reads for a .toc, when not the sheet itself
    Handle m_handle{nullptr, &cdio_destroy};
    bool m_tocFresh = false; // m_toc belongs to the disc in the drive now
    TableOfContents m_toc;
    ReadinessFilter m_readiness;
};

// Runs `work` in a child process that keeps none of this process's descriptors beyond the standard
// three and dies with it; true when it returns true within `waitMs` (the caller waits that long at
// most). A child that cannot be started counts as success, so that `work`'s own use goes ahead.
bool succeedsInChild(const std::function<bool()> &work, int waitMs);

} // namespace platform
