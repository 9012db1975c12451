#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// One audio file of a rip, decoded a little at a time as it is read: memory stays the same whatever
// the file's length. Only 44.1 kHz 16-bit stereo is taken, so that every sample is played as it was
// ripped. One thread at a time.
//
// The decoder (FFmpeg, FfmpegDecoder.h) lives in a module of its own that is loaded the first time
// a rip is opened: FFmpeg's libraries pull in about a hundred more shared libraries, whose loading
// would otherwise double the start-up of every run, rips or not.
class AudioDecoder {
public:
    static constexpr int kRate = 44100;

    // Opens `path` and checks its format. With `checkEnd`, also decodes its last second, so that a
    // file cut short is refused now rather than found out while playing. Null and a reason for
    // the user (naming the file and, for a refused format, the format) when it cannot be played,
    // also when the decoding module cannot be loaded. Loading it blocks the first call for a while.
    // Once `cancelled` turns true the file reads as ended, so that a long open gives up soon.
    static std::unique_ptr<AudioDecoder> open(const std::string &path, const std::string &shownName,
                                              bool checkEnd, std::string &reason,
                                              const std::atomic<bool> *cancelled = nullptr);
    virtual ~AudioDecoder() = default;

    // Stereo sample frames in the file, as its header (or a pass over its packets) gives them; after
    // `checkEnd`, the samples really there when the header also counted a last packet's padding.
    virtual long long frames() const = 0;
    // Fills `count` frames from `frame` on as 16-bit little-endian stereo. Frames past the end and
    // frames of damaged parts are silence. Reading on from where the last read ended decodes on;
    // anything else seeks.
    virtual void read(long long frame, int count, uint8_t *out) = 0;
    // Where decoding last hit the end of the file, or -1 when it has not.
    virtual long long endFound() const = 0;
};

} // namespace platform
