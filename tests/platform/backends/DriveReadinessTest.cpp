#include "platform/backends/DriveReadiness.h"

#include <gtest/gtest.h>

#include <array>

namespace {

using platform::MediaState;
using platform::NotReadyReason;
using platform::ReadinessFilter;
using namespace std::chrono_literals;

std::array<uint8_t, 18> sense(uint8_t key, uint8_t asc, uint8_t ascq) {
    std::array<uint8_t, 18> bytes{};
    bytes[0] = 0x70;
    bytes[2] = key;
    bytes[7] = 10;
    bytes[12] = asc;
    bytes[13] = ascq;
    return bytes;
}

TEST(DriveReadiness, OnlyMediumNotPresentSaysTheDiscIsGone) {
    const struct {
        const char *name;
        std::array<uint8_t, 18> bytes;
        int length;
        NotReadyReason reason;
    } cases[] = {
        {"no medium, tray closed", sense(0x02, 0x3A, 0x01), 18, NotReadyReason::NoMedium},
        {"no medium", sense(0x02, 0x3A, 0x00), 18, NotReadyReason::NoMedium},
        {"no medium, tray open", sense(0x02, 0x3A, 0x02), 18, NotReadyReason::TrayOpen},
        {"becoming ready", sense(0x02, 0x04, 0x01), 18, NotReadyReason::Other},
        {"unit attention: medium may have changed", sense(0x06, 0x28, 0x00), 18, NotReadyReason::Other},
        {"unit attention: reset", sense(0x06, 0x29, 0x00), 18, NotReadyReason::Other},
        {"sense data too short", sense(0x02, 0x3A, 0x02), 13, NotReadyReason::Other},
        {"no sense data", {}, 0, NotReadyReason::Other},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(platform::notReadyReason(c.length ? c.bytes.data() : nullptr, c.length), c.reason);
    }
}

// Checks about a second apart, as the drive's worker makes them.
TEST(DriveReadiness, ATransientFailureKeepsTheDiscUntilChecksFailForASecond) {
    ReadinessFilter filter;
    const ReadinessFilter::Clock::time_point t0{};
    EXPECT_EQ(filter.failed(NotReadyReason::Other, true, t0), MediaState::Ready) << "one failed check";
    filter.succeeded();
    EXPECT_EQ(filter.failed(NotReadyReason::Other, true, t0 + 1s), MediaState::Ready) << "a success came between";
    EXPECT_EQ(filter.failed(NotReadyReason::Other, true, t0 + 1500ms), MediaState::Ready);
    EXPECT_EQ(filter.failed(NotReadyReason::Other, true, t0 + 2s), MediaState::NoDisc) << "failing for a second";
    filter.succeeded();
    EXPECT_EQ(filter.failed(NotReadyReason::Other, false, t0 + 3s), MediaState::NoDisc) << "no disc to keep";
    filter.succeeded();
    EXPECT_EQ(filter.failed(NotReadyReason::TrayOpen, true, t0 + 4s), MediaState::TrayOpen);
    EXPECT_EQ(filter.failed(NotReadyReason::NoMedium, true, t0 + 5s), MediaState::NoDisc);
    EXPECT_EQ(filter.failed(NotReadyReason::Other, true, t0 + 6s), MediaState::Ready)
        << "the drive's own answer starts no count";
}

}  // namespace
