#pragma once

#include <cstdint>

// Packed device values. A TMSF position holds the track in byte 0, then minutes, seconds and
// frames; an MSF length holds minutes in byte 0, then seconds and frames. 75 frames make a second.
namespace tmsf {

constexpr uint32_t pack(int track, int minutes, int seconds, int frames) {
    return static_cast<uint32_t>(track & 0xFF) | static_cast<uint32_t>(minutes & 0xFF) << 8 |
           static_cast<uint32_t>(seconds & 0xFF) << 16 | static_cast<uint32_t>(frames & 0xFF) << 24;
}
constexpr int track(uint32_t v) { return static_cast<int>(v & 0xFF); }
constexpr int minutes(uint32_t v) { return static_cast<int>(v >> 8 & 0xFF); }
constexpr int seconds(uint32_t v) { return static_cast<int>(v >> 16 & 0xFF); }
constexpr int frames(uint32_t v) { return static_cast<int>(v >> 24 & 0xFF); }

}  // namespace tmsf

namespace msf {

constexpr uint32_t pack(int minutes, int seconds, int frames) {
    return static_cast<uint32_t>(minutes & 0xFF) | static_cast<uint32_t>(seconds & 0xFF) << 8 |
           static_cast<uint32_t>(frames & 0xFF) << 16;
}
// A count of frames as MSF.
constexpr uint32_t fromFrames(int totalFrames) {
    return pack(totalFrames / 75 / 60, totalFrames / 75 % 60, totalFrames % 75);
}
constexpr int minutes(uint32_t v) { return static_cast<int>(v & 0xFF); }
constexpr int seconds(uint32_t v) { return static_cast<int>(v >> 8 & 0xFF); }
constexpr int frames(uint32_t v) { return static_cast<int>(v >> 16 & 0xFF); }

}  // namespace msf
