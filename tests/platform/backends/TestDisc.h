#pragma once

#include "platform/CdDrive.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

namespace platform::testing {

// A byte of a sector that no other sector (nor another place in the same sector) is likely to
// share, so a repeated, lost or misplaced stretch of audio shows in a byte-for-byte comparison.
inline uint8_t patternByte(int lsn, int offset) {
    uint32_t x = static_cast<uint32_t>(lsn) * 2654435761u ^ static_cast<uint32_t>(offset) * 40503u;
    x ^= x >> 15;
    x *= 2246822519u;
    return static_cast<uint8_t>(x >> 13);
}

inline void renderPattern(int lsn, uint8_t *out) {
    for (int i = 0; i < kSectorBytes; ++i)
        out[i] = patternByte(lsn, i);
}

// The pattern of sectors [from, to).
inline std::vector<uint8_t> patternOf(int from, int to) {
    std::vector<uint8_t> bytes(static_cast<size_t>(to - from) * kSectorBytes);
    for (int lsn = from; lsn < to; ++lsn)
        renderPattern(lsn, bytes.data() + static_cast<size_t>(lsn - from) * kSectorBytes);
    return bytes;
}

// Waits up to `seconds` for `done`, looking every millisecond; true when it came.
inline bool eventually(const std::function<bool()> &done, int seconds = 10) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace platform::testing
