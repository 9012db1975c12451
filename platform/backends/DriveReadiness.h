#pragma once

#include "platform/backends/SectorSource.h"

#include <chrono>
#include <cstdint>
#include <optional>

namespace platform {

// What the sense data of a failed TEST UNIT READY says about the medium.
enum class NotReadyReason {
    NoMedium,  // NOT READY, medium not present (tray closed, or unknown)
    TrayOpen,  // NOT READY, medium not present, tray open
    Other,     // anything else: unit attention, becoming ready, no sense data
};

// Reads fixed-format sense data: key in byte 2, ASC in byte 12, ASCQ in byte 13.
NotReadyReason notReadyReason(const uint8_t *sense, int length);

// Decides what a real drive's failed readiness checks mean. The drive saying that no medium is
// present or that the tray is open counts at once. Any other failure (a unit attention after a
// bus reset, a drive spinning up again) keeps a known disc, until checks have failed without a
// success between them for a second: a transient not-ready must not take the disc away under the
// player, which would eject it. Drive worker thread only.
class ReadinessFilter {
public:
    using Clock = std::chrono::steady_clock;

    void succeeded() { m_failingSince.reset(); }
    // What to report for a failed check at `now`; Ready means: keep the disc that is known.
    MediaState failed(NotReadyReason reason, bool discKnown, Clock::time_point now);

private:
    std::optional<Clock::time_point> m_failingSince;
};

}  // namespace platform
