#include "platform/SimulatedDrive.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {

struct SimulatedDriveTest : ::testing::Test {
    SimulatedDrive drive;
    void SetUp() override {
        std::string reason;
        ASSERT_TRUE(drive.open(reason));
    }
};

TEST_F(SimulatedDriveTest, PlaysOnTheVirtualClockAndStopsAtTheEnd) {
    drive.insert(SimulatedDisc::ofSeconds({2, 3}));
    ASSERT_TRUE(drive.play(0));
    drive.advance(1000);
    EXPECT_EQ(drive.status().sector, 75);
    drive.advance(10000);
    EXPECT_EQ(drive.status().state, DriveState::Stopped);
    EXPECT_EQ(drive.status().sector, 5 * 75 - 1);
}

TEST_F(SimulatedDriveTest, DoorDiscAndReadiness) {
    EXPECT_EQ(drive.status().state, DriveState::NoDisc);
    drive.setReadyDelay(500);
    drive.insert(SimulatedDisc::uniform(3, 10));
    EXPECT_EQ(drive.status().state, DriveState::NoDisc);
    EXPECT_EQ(drive.toc().trackCount(), 0);
    drive.advance(500);
    EXPECT_EQ(drive.status().state, DriveState::Stopped);
    EXPECT_EQ(drive.toc().trackCount(), 3);
    ASSERT_TRUE(drive.play(0));
    drive.pullDisc();
    EXPECT_EQ(drive.status().state, DriveState::NoDisc);
    ASSERT_TRUE(drive.eject());
    EXPECT_EQ(drive.status().state, DriveState::TrayOpen);
}

TEST_F(SimulatedDriveTest, NeverPlaysADataTrackAndStopsBeforeOne) {
    SimulatedDisc disc = SimulatedDisc::ofSeconds({60, 2, 2});
    disc.dataTrack = {true, false, true};
    drive.insert(disc);
    EXPECT_FALSE(drive.play(0));
    ASSERT_TRUE(drive.play(60 * 75));
    drive.advance(5000);
    EXPECT_EQ(drive.status().state, DriveState::Stopped);
    EXPECT_EQ(drive.status().sector, 62 * 75 - 1);
}

TEST_F(SimulatedDriveTest, FaultsStallsAndTheLog) {
    drive.insert(SimulatedDisc::uniform(2, 10));
    drive.failNext(SimulatedDrive::Op::Play);
    EXPECT_FALSE(drive.play(0));
    ASSERT_TRUE(drive.play(0));
    drive.stall(3000);
    drive.advance(3000);
    EXPECT_EQ(drive.status().state, DriveState::Playing);
    EXPECT_EQ(drive.status().sector, 0);
    drive.advance(1000);
    EXPECT_EQ(drive.status().sector, 75);
    EXPECT_EQ(drive.log(), (std::vector<std::string>{"open", "play 0", "play 0"}));
}

TEST(SimulatedDriveOpen, ReportsWhyItCannotOpen) {
    SimulatedDrive drive;
    drive.failOpen("no permission");
    std::string reason;
    EXPECT_FALSE(drive.open(reason));
    EXPECT_EQ(reason, "no permission");
    EXPECT_EQ(drive.status().state, DriveState::NoDrive);
}

}  // namespace
