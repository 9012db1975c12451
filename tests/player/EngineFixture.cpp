#include "tests/player/EngineFixture.h"

#include "player/TimeFormat.h"
#include "ui/Form1.h"

#include <algorithm>

void EngineFixture::load(const platform::SimulatedDisc &disc) {
    insert(disc);
    startApp();
    tick();
}

void EngineFixture::pressGridTrack(int track) {
    Form1->SG_TRACK->setCurrent((track - 1) % 10, (track - 1) / 10);
    Form1->SG_TRACKMouseUp(Form1->SG_TRACK, Qt::LeftButton);
}

uint32_t EngineFixture::discLength(const platform::SimulatedDisc &disc) {
    platform::TableOfContents toc = disc.toc();
    return msf::fromFrames(toc.leadOut - toc.startOf(toc.firstTrack) - 1);
}

int EngineFixture::deviceTrack() const { return tmsf::track(Form1->MediaPlayer1->Position()); }

int EngineFixture::count(const std::string &logEntry) const {
    return static_cast<int>(std::count(drive.log().begin(), drive.log().end(), logEntry));
}

std::vector<std::string> EngineFixture::gridCells(int tracks) const {
    std::vector<std::string> cells;
    for (int t = 1; t <= tracks; ++t) cells.push_back(Form1->SG_TRACK->Cells((t - 1) % 10, (t - 1) / 10));
    return cells;
}
