#include "player/PlayerState.h"

#include <cstdio>

int CurrentTrack = 0;
int ShownTrack = 0;
int TrackCount = 0;
int TimeMode = 0;
bool RepeatOn = false;
int RepeatTrack = 0;
bool ShuffleOn = false;
int PlayOrder[101] = {};
int PlayOrderPos = 0;
bool EndlessOn = true;
bool LcdVisible = false;
int ScrollDelay = 250;
std::string DiscTitle;
QString DiscFilePath;
QString HelpFile;

void resetPlayerState() {
    CurrentTrack = 0;
    ShownTrack = 0;
    TrackCount = 0;
    TimeMode = 0;
    RepeatOn = false;
    RepeatTrack = 0;
    ShuffleOn = false;
    for (int &entry : PlayOrder) entry = 0;
    PlayOrderPos = 0;
    EndlessOn = true;
    LcdVisible = false;
    ScrollDelay = 250;
    DiscTitle.clear();
    DiscFilePath.clear();
    HelpFile.clear();
}

std::string twoDigits(int n) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%2.2d", n);
    return buffer;
}
