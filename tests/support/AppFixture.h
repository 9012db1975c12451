#pragma once

#include "platform/SimulatedDrive.h"

#include <gtest/gtest.h>

#include <QString>

#include <functional>
#include <string>
#include <vector>

class QDialog;

// The whole program's windows over a simulated drive, for tests that call handlers directly.
// No wall-clock timer runs: tick() calls the status poll and advances the drive's clock; the
// marquee's waits advance the clock too and, with nestedTicks, deliver the poll's ticks inside
// the wait as the real event loop would. Message boxes and modal dialogs are answered by
// `answerModal`; errors shown by the standard error display are collected in `errors`.
class AppFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the five windows (reading the settings as start-up does), without showing them.
    void createApp();
    // Shows the main panel as start-up does: applies the LCD's visibility and switches the power on.
    void startApp();
    void insert(const platform::SimulatedDisc &disc);
    // Runs `count` poll ticks, 250 ms of drive time apart.
    void tick(int count = 1);
    // Advances the drive's clock by `ms` and runs a poll tick every 250 ms of it.
    void runFor(int ms);

    // Texts of the program's folders.
    static QString settingsPath();
    static QString catalogueFolder();
    // Writes a catalogue file for a disc of the given length value.
    static void writeCatalogue(uint32_t discLength, const std::vector<std::string> &lines);

    platform::SimulatedDrive drive;
    std::vector<std::string> errors;
    std::vector<int> waits;           // each WaitMs the marquee made
    std::vector<std::string> titleLine;  // each window the marquee showed
    bool nestedTicks = false;
    std::function<int(QDialog *)> answerModal;
    int modalCount = 0;

private:
    int m_sinceTick = 0;
    bool m_created = false;
};

// A 12-track disc: lengths mixed with and without a frame part.
platform::SimulatedDisc twelveTrackDisc();
