#include "platform/backends/DriveReadiness.h"

namespace platform {

namespace {
constexpr uint8_t kSenseNotReady = 0x02;
constexpr uint8_t kMediumNotPresent = 0x3A;
constexpr uint8_t kTrayOpen = 0x02;  // ASCQ of "medium not present"
// Two failed checks a second apart: the worker checks about once a second, and a slow check may
// take its time stamp late, so a little less than a second counts.
constexpr auto kTransientFor = std::chrono::milliseconds(900);
}  // namespace

NotReadyReason notReadyReason(const uint8_t *sense, int length) {
    if (!sense || length < 14) return NotReadyReason::Other;
    if ((sense[2] & 0x0F) != kSenseNotReady || sense[12] != kMediumNotPresent) return NotReadyReason::Other;
    return sense[13] == kTrayOpen ? NotReadyReason::TrayOpen : NotReadyReason::NoMedium;
}

MediaState ReadinessFilter::failed(NotReadyReason reason, bool discKnown, Clock::time_point now) {
    if (reason == NotReadyReason::TrayOpen || reason == NotReadyReason::NoMedium) {
        m_failingSince.reset();
        return reason == NotReadyReason::TrayOpen ? MediaState::TrayOpen : MediaState::NoDisc;
    }
    if (!m_failingSince) m_failingSince = now;
    if (discKnown && now - *m_failingSince < kTransientFor) return MediaState::Ready;
    return MediaState::NoDisc;
}

}  // namespace platform
