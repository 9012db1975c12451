#pragma once

#include "tests/support/AppFixture.h"

#include <string>
#include <vector>

// The program over a simulated drive with a disc loaded by the first poll tick.
class EngineFixture : public AppFixture {
protected:
    // Inserts `disc`, starts the program and runs the tick that loads it (declining registration).
    void load(const platform::SimulatedDisc &disc);
    // Starts `track` the way a press on the track grid does.
    void pressGridTrack(int track);
    // The packed MSF length of `disc` as the device reports it (the catalogue file's name).
    static uint32_t discLength(const platform::SimulatedDisc &disc);
    // The track and whole seconds of the device's position.
    int deviceTrack() const;
    int count(const std::string &logEntry) const;
    std::vector<std::string> gridCells(int tracks) const;
};
