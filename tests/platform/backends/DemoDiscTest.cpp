// The demo disc and the drive the environment chooses.
#include "platform/backends/DemoDisc.h"

#include "platform/backends/ClockedOutput.h"
#include "platform/backends/DriveFactory.h"
#include "platform/backends/ExtractionDrive.h"
#include "tests/platform/backends/TestDisc.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <gmock/gmock.h>
#include <cstdlib>
#include <gtest/gtest.h>
#include <numbers>

namespace platform {
namespace {

using testing::eventually;

// Power of `hz` in the left channel of `pcm` (S16LE stereo), by the Goertzel recurrence.
double powerAt(const std::vector<uint8_t> &pcm, size_t firstFrame, size_t frames, double hz) {
    double coefficient = 2 * std::cos(2 * std::numbers::pi * hz / kSampleRate);
    double previous = 0, beforePrevious = 0;
    for (size_t i = firstFrame; i < firstFrame + frames; ++i) {
        auto sample = static_cast<int16_t>(pcm[i * kFrameBytes] | pcm[i * kFrameBytes + 1] << 8);
        double next = sample / 32768.0 + coefficient * previous - beforePrevious;
        beforePrevious = previous;
        previous = next;
    }
    return previous * previous + beforePrevious * beforePrevious - coefficient * previous * beforePrevious;
}

// The track whose every frequency sounds strongest in the frames: the weakest partial decides.
int trackHeard(const std::vector<uint8_t> &pcm, size_t firstFrame, size_t frames) {
    int best = 0;
    double bestPower = -1;
    for (int track = 1; track <= demo::toc().lastTrack; ++track) {
        double weakest = 1e300;
        for (double hz : demo::trackFrequencies(track))
            weakest = std::min(weakest, powerAt(pcm, firstFrame, frames, hz));
        if (weakest > bestPower) {
            bestPower = weakest;
            best = track;
        }
    }
    return best;
}

TEST(DemoDiscTest, TwelveTracksOfTwoToFourMinutesSomeWithAFramePart) {
    TableOfContents toc = demo::toc();
    ASSERT_EQ(toc.trackCount(), 12);
    int withFrames = 0;
    for (int track = 1; track <= 12; ++track) {
        int length = toc.endOf(track) - toc.startOf(track);
        EXPECT_GE(length, 90 * kFramesPerSecond);
        EXPECT_LE(length, 240 * kFramesPerSecond);
        if (length % kFramesPerSecond != 0) ++withFrames;
    }
    EXPECT_GT(withFrames, 0);
    EXPECT_LT(withFrames, 12);
    EXPECT_NEAR(toc.leadOut / kFramesPerSecond / 60.0, 35, 3);
}

TEST(DemoDiscTest, SoftNeverClippingAndFadedAtTheTrackEdges) {
    TableOfContents toc = demo::toc();
    std::vector<uint8_t> sector(kSectorBytes);
    int loudest = 0;
    for (int lsn = toc.startOf(4) + 200; lsn < toc.startOf(4) + 300; ++lsn) {
        demo::renderSector(lsn, sector.data());
        for (int i = 0; i < kSectorBytes; i += 2)
            loudest = std::max(loudest, std::abs(static_cast<int16_t>(sector[i] | sector[i + 1] << 8)));
    }
    EXPECT_GT(loudest, 3000);
    EXPECT_LT(loudest, 16384) << "not too loud: below half of full scale";
    demo::renderSector(toc.startOf(5), sector.data());
    EXPECT_LT(std::abs(static_cast<int16_t>(sector[0] | sector[1] << 8)), 50) << "a track fades in";
}

TEST(DemoDiscTest, OutputHoldsTheToneOfTheTrackPlayed) {
    auto output = std::make_shared<NullOutput>(50);
    output->keepCopy(true);
    ExtractionDrive drive([](std::string &) { return demo::makeSource(); }, output);
    std::string reason;
    ASSERT_TRUE(drive.open(reason)) << reason;
    for (int track : {2, 7, 12}) {
        size_t before = output->copy().size() / kFrameBytes;
        ASSERT_TRUE(drive.play(drive.toc().startOf(track) + 5 * kFramesPerSecond));
        ASSERT_TRUE(
            eventually([&] { return output->consumedFrames() >= static_cast<long long>(before) + 20000; }));
        ASSERT_TRUE(drive.stop());
        ASSERT_TRUE(eventually([&] { return output->delayFrames() == 0; }));
        EXPECT_EQ(trackHeard(output->copy(), before, 16384), track);
    }
}

struct EnvironmentCase {
    const char *device;
    const char *audio;
    std::string description;
};

TEST(DriveFactoryTest, DescriptionNamesTheDriveAndTheOutputFromTheEnvironment) {
    std::string unwritable = "wav:/nonexistent-folder/heard.wav";
    for (const EnvironmentCase &c :
         {EnvironmentCase{"demo", "null", "drive: demo disc; audio: null"},
          EnvironmentCase{"demo", unwritable.c_str(),
                          "drive: demo disc; audio: null (cannot write "
                          "/nonexistent-folder/heard.wav, sound goes to null)"},
          EnvironmentCase{"/nonexistent/sr9", "null", "drive: /nonexistent/sr9; audio: null"}}) {
        setenv("TUNEWICK_DEVICE", c.device, 1);
        setenv("TUNEWICK_AUDIO", c.audio, 1);
        std::string description;
        std::unique_ptr<CdDrive> drive = createDriveFromEnvironment(description);
        EXPECT_EQ(description, c.description);
    }
    unsetenv("TUNEWICK_DEVICE");
    unsetenv("TUNEWICK_AUDIO");
}

// Without a sound card ALSA prints a string of its own lines before the program's first line; the
// program catches them and says why in its own line alone. A configuration whose default device
// names a card that does not exist stands in for a machine without one.
TEST(DriveFactoryTest, AnUnopenableSoundDeviceIsSaidInTheProgramsOwnLineAlone) {
    const std::string config = ::testing::TempDir() + "tunewick-asound.conf";
    std::ofstream(config) << "pcm.!default { type hw card \"TunewickNoSuchCard\" }\n";
    setenv("ALSA_CONFIG_PATH", config.c_str(), 1);
    setenv("TUNEWICK_DEVICE", "demo", 1);
    unsetenv("TUNEWICK_AUDIO");
    std::string description;
    ::testing::internal::CaptureStderr();
    std::unique_ptr<CdDrive> drive = createDriveFromEnvironment(description);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_THAT(description, ::testing::MatchesRegex(
        "drive: demo disc; audio: null \\(cannot open ALSA default: .*TunewickNoSuchCard.*, sound goes to null\\)"));
    unsetenv("ALSA_CONFIG_PATH");
    unsetenv("TUNEWICK_DEVICE");
    std::remove(config.c_str());
}

TEST(DriveFactoryTest, DemoDriveOpensWithItsDiscAndAMissingDeviceSaysSo) {
    setenv("TUNEWICK_AUDIO", "null", 1);
    setenv("TUNEWICK_DEVICE", "demo", 1);
    std::string description, reason;
    std::unique_ptr<CdDrive> demoDrive = createDriveFromEnvironment(description);
    ASSERT_TRUE(demoDrive->open(reason)) << reason;
    EXPECT_EQ(demoDrive->toc(), demo::toc());
    EXPECT_EQ(demoDrive->status().state, DriveState::Stopped);

    setenv("TUNEWICK_DEVICE", "/nonexistent/sr9", 1);
    std::unique_ptr<CdDrive> missing = createDriveFromEnvironment(description);
    EXPECT_FALSE(missing->open(reason));
    EXPECT_NE(reason.find("CDﾄﾞﾗｲﾌﾞもﾃﾞｨｽｸｲﾒｰｼﾞもありません"), std::string::npos) << reason;
    unsetenv("TUNEWICK_DEVICE");
    unsetenv("TUNEWICK_AUDIO");
}

} // namespace
} // namespace platform
