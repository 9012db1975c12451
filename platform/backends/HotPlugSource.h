#pragma once

#include "platform/backends/SectorSource.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace platform {

// The system's CD drive, whenever it is there: used when the user named no drive, so that a USB
// drive plugged in after start, or one that appears late at boot, plays without a restart. While
// there is no drive it looks for one, at most once per look interval, and takes the first that
// appears; the poll then sees no disc, then the disc, as for a drive that was there at start. A
// drive that goes away (its device node vanishes or is made anew) is let go, which the player sees
// as a disc gone, and the looking starts again. All looking runs in poll(), on the drive's worker.
class HotPlugSource : public SectorSource {
public:
    // How drives are found; each function runs on the worker thread only.
    struct Finder {
        // The default drive's device node, or empty when there is none.
        std::function<std::string()> find;
        // Tells this node from one made anew for another drive; empty once the node is gone.
        std::function<std::string(const std::string &path)> identify;
        // A source for the drive at `path`, or null with a reason for the user.
        std::function<std::shared_ptr<SectorSource>(const std::string &path, std::string &reason)> open;
        // A descriptor that becomes readable when a look may find something new, while a look
        // would find nothing; -1 (or no function) while looks are due.
        std::function<int()> quietUntilReadable = {};
    };

    // `drive`, found at `path` before start, may be null: then the first poll looks.
    HotPlugSource(Finder finder, std::shared_ptr<SectorSource> drive, const std::string &path,
                  std::chrono::milliseconds lookInterval = std::chrono::seconds(1));

    // The system's default drive's device node now, or empty when there is none.
    static std::string defaultDrive();
    // The system's default drive through libcdio. `path` is where it was at start (empty: none);
    // null with a reason when a drive is there but cannot be used (no permission), as at start.
    static std::shared_ptr<SectorSource> forSystemDrive(const std::string &path, std::string &reason);

    // NoDrive while there is none.
    MediaState poll(TableOfContents &toc) override;
    bool read(int lsn, int count, uint8_t *out) override;
    bool hasDoor() const override { return true; }
    bool eject() override;
    MediaState knownAtStart(TableOfContents &) const override { return MediaState::NoDisc; }
    std::string name() const override { return "the system's CD drive"; }
    int quietUntilReadable() const override;

private:
    void look();
    void take(std::shared_ptr<SectorSource> drive, const std::string &path);
    void letGo();

    Finder m_finder;
    std::chrono::milliseconds m_lookInterval;
    std::chrono::steady_clock::time_point m_nextLook{};
    std::shared_ptr<SectorSource> m_drive;
    std::string m_path;
    std::string m_identity;
    std::string m_refusedPath; // a drive found that cannot be used, said once
};

} // namespace platform
