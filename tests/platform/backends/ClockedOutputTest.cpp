// The clocked output's queue, a ring of one buffer: what goes in comes out in order across the
// ring's end, and the clock running past the queue while the sound goes on counts as a gap.
#include "platform/backends/ClockedOutput.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

using namespace platform;
using namespace std::chrono_literals;

std::vector<uint8_t> numberedFrames(int frames, int from) {
    std::vector<uint8_t> bytes(static_cast<size_t>(frames) * kFrameBytes);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>((static_cast<size_t>(from) * 4 + i) * 7);
    return bytes;
}

TEST(ClockedOutput, PlaysOutEveryByteInOrderAcrossTheRingsEnd) {
    // A clock a hundred times real time, writes of an odd size: the pieces straddle the ring's end.
    NullOutput output(100.0, 200);
    output.keepCopy(true);
    std::vector<uint8_t> written;
    int frames = 0;
    for (int i = 0; i < 12; ++i) {
        std::vector<uint8_t> piece = numberedFrames(3001, frames);
        ASSERT_TRUE(output.write(piece.data(), 3001));
        written.insert(written.end(), piece.begin(), piece.end());
        frames += 3001;
    }
    while (output.delayFrames() > 0) std::this_thread::sleep_for(1ms);
    EXPECT_EQ(output.consumedFrames(), frames);
    EXPECT_TRUE(output.copy() == written) << "the sound played out differs from the sound written";
}

TEST(ClockedOutput, CountsAGapOnlyWhenSoundFollowsAQueueThatRanDry) {
    // So fast a clock that ten frames are played out at once.
    NullOutput output(1e6, 200);
    std::vector<uint8_t> piece = numberedFrames(10, 0);
    output.write(piece.data(), 10);
    while (output.delayFrames() > 0) std::this_thread::sleep_for(1ms);
    std::this_thread::sleep_for(2ms);
    EXPECT_EQ(output.gaps(), 0) << "the end of the sound is no gap";
    output.write(piece.data(), 10);
    EXPECT_EQ(output.gaps(), 1) << "sound after the queue ran dry was heard late";

    // A drop (stop, pause, seek) ends the run: the next sound starts a new one.
    while (output.delayFrames() > 0) std::this_thread::sleep_for(1ms);
    std::this_thread::sleep_for(2ms);
    output.drop();
    output.write(piece.data(), 10);
    EXPECT_EQ(output.gaps(), 1);
}

} // namespace
