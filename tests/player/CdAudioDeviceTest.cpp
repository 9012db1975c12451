#include "player/CdAudioDevice.h"
#include "player/TimeFormat.h"
#include "platform/SimulatedDrive.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {

struct DeviceTest : ::testing::Test {
    SimulatedDrive drive;
    CdAudioDevice device;
    void SetUp() override { device.setDrive(&drive); }
    void openWith(const SimulatedDisc &disc) {
        drive.insert(disc);
        device.Open();
    }
};

TEST_F(DeviceTest, ClosedDeviceRaisesForTheMarkedOperations) {
    const std::vector<std::function<void()>> marked = {
        [&] { device.Play(); },     [&] { device.Stop(); },        [&] { device.Pause(); },
        [&] { device.Next(); },     [&] { device.Previous(); },    [&] { device.Eject(); },
        [&] { device.Length(); },   [&] { device.Tracks(); },      [&] { device.TrackLength(1); },
        [&] { device.SetPosition(tmsf::pack(1, 0, 0, 0)); }};
    for (const auto &operation : marked) {
        try {
            operation();
            ADD_FAILURE() << "no error";
        } catch (const EMCIDeviceError &e) {
            EXPECT_STREQ(e.what(), "MCI ﾃﾞﾊﾞｲｽがありません");
        }
    }
    EXPECT_EQ(device.Mode(), mpNotReady);
    EXPECT_EQ(device.Position(), 0u);
    EXPECT_NO_THROW(device.Close());
}

TEST_F(DeviceTest, OpenFailureCarriesTheDriveReasonOrTheUnknownText) {
    drive.failOpen("ドライブがありません");
    EXPECT_THROW(
        {
            try {
                device.Open();
            } catch (const EMCIDeviceError &e) {
                EXPECT_STREQ(e.what(), "ドライブがありません");
                throw;
            }
        },
        EMCIDeviceError);
    EXPECT_FALSE(device.isDeviceOpen());
    SimulatedDrive silent;
    silent.failNext(SimulatedDrive::Op::Open);
    device.setDrive(&silent);
    try {
        device.Open();
        ADD_FAILURE();
    } catch (const EMCIDeviceError &e) {
        EXPECT_STREQ(e.what(), "原因不明のｴﾗｰ");
    }
}

// Lengths as the Windows CD audio driver gives them: the disc one frame short of lead-out minus
// the first start, the last track one frame short, others next start minus start.
TEST_F(DeviceTest, LengthsFollowTheWindowsDriver) {
    SimulatedDisc disc = SimulatedDisc::ofSeconds({120, 200});
    disc.trackFrames[0] += 12;
    openWith(disc);
    EXPECT_EQ(device.Tracks(), 2);
    EXPECT_EQ(device.TrackLength(1), msf::pack(2, 0, 12));
    EXPECT_EQ(device.TrackLength(2), msf::pack(3, 19, 74));
    EXPECT_EQ(device.Length(), msf::pack(5, 20, 11));
    EXPECT_EQ(device.TrackLength(3), 0u);
    EXPECT_NE(device.LastError(), 0);
}

TEST_F(DeviceTest, NinetyNineTracksAndADataTrackFirst) {
    openWith(SimulatedDisc::uniform(99, 30, 5));
    EXPECT_EQ(device.Tracks(), 99);
    device.SetPosition(tmsf::pack(99, 0, 10, 0));
    EXPECT_EQ(device.Position(), tmsf::pack(99, 0, 10, 0));
    EXPECT_EQ(device.TrackLength(99), msf::pack(0, 30, 4));

    SimulatedDisc mixed = SimulatedDisc::ofSeconds({300, 100, 100});
    mixed.dataTrack = {true};
    openWith(mixed);
    EXPECT_EQ(device.Tracks(), 3);
    EXPECT_EQ(device.TrackLength(1), msf::pack(5, 0, 0));
    device.Play();  // from the data track's start: plays the first audio track instead
    drive.advance(1000);
    EXPECT_EQ(device.Mode(), mpPlaying);
    EXPECT_EQ(device.Position(), tmsf::pack(2, 0, 1, 0));
}

TEST_F(DeviceTest, PlayFromPendingStartThenFromThePosition) {
    openWith(SimulatedDisc::uniform(5, 60));
    device.SetStartPos(tmsf::pack(3, 0, 0, 0));
    device.Play();
    drive.advance(2000);
    EXPECT_EQ(device.Position(), tmsf::pack(3, 0, 2, 0));
    device.Stop();
    EXPECT_EQ(device.Mode(), mpStopped);
    device.Play();  // the pending start was used up: play resumes at the position
    drive.advance(1000);
    EXPECT_EQ(device.Position(), tmsf::pack(3, 0, 3, 0));
}

TEST_F(DeviceTest, PauseHaltsReportsStoppedAndPlayResumes) {
    openWith(SimulatedDisc::uniform(3, 60));
    device.Play();
    drive.advance(5000);
    device.Pause();
    device.Pause();  // reported as stopped, so the second toggle leaves it paused
    EXPECT_EQ(device.Mode(), mpStopped);
    drive.advance(5000);
    EXPECT_EQ(device.Position(), tmsf::pack(1, 0, 5, 0));
    device.Play();
    drive.advance(1000);
    EXPECT_EQ(device.Mode(), mpPlaying);
    EXPECT_EQ(device.Position(), tmsf::pack(1, 0, 6, 0));
    drive.clearLog();
    device.Stop();
    device.Pause();  // pausing a stopped device does nothing
    EXPECT_EQ(drive.log(), (std::vector<std::string>{"stop"}));
}

TEST_F(DeviceTest, NextAndPreviousTargets) {
    openWith(SimulatedDisc::uniform(4, 60));
    struct Case {
        uint32_t at;
        bool playing;
        bool next;
        int expectTrack;
    };
    const Case cases[] = {
        {tmsf::pack(2, 0, 30, 0), false, true, 3},  {tmsf::pack(4, 0, 30, 0), false, true, 4},
        {tmsf::pack(2, 0, 30, 0), false, false, 2}, {tmsf::pack(2, 0, 0, 40), false, false, 1},
        {tmsf::pack(1, 0, 0, 10), false, false, 1}, {tmsf::pack(3, 0, 1, 0), false, false, 3},
        {tmsf::pack(2, 0, 30, 0), true, true, 3},   {tmsf::pack(3, 0, 0, 5), true, false, 2},
    };
    for (const Case &c : cases) {
        device.SetPosition(c.at);
        if (c.playing) device.Play();
        if (c.next)
            device.Next();
        else
            device.Previous();
        EXPECT_EQ(tmsf::track(device.Position()), c.expectTrack) << tmsf::track(c.at) << " next=" << c.next;
        EXPECT_EQ(device.Mode(), c.playing ? mpPlaying : mpStopped);
        device.Stop();
    }
}

TEST_F(DeviceTest, ModesForDoorAndDisc) {
    device.Open();
    EXPECT_EQ(device.Mode(), mpNotReady);
    EXPECT_EQ(device.Tracks(), 0);
    drive.insert(SimulatedDisc::uniform(2, 10));
    EXPECT_EQ(device.Mode(), mpStopped);
    device.Eject();
    EXPECT_EQ(device.Mode(), mpOpen);
    drive.closeDoor();
    drive.setCanEject(false);
    device.Open();
    device.Eject();
    EXPECT_EQ(device.Mode(), mpStopped);
}

TEST_F(DeviceTest, SetPositionOutsideTheDiscOnlyRecordsAnError) {
    openWith(SimulatedDisc::uniform(2, 10));
    device.SetPosition(tmsf::pack(2, 0, 3, 0));
    device.SetPosition(tmsf::pack(7, 0, 0, 0));
    EXPECT_NE(device.LastError(), 0);
    EXPECT_EQ(device.Position(), tmsf::pack(2, 0, 3, 0));
}

}  // namespace
