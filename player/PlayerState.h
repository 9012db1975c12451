#pragma once

#include <QString>

#include <string>

// The player's process-wide state, read and written directly by the commands, the status poll,
// the play modes, disc loading and the windows. UI thread only.
extern int CurrentTrack;      // track playing or selected, from 1
extern int ShownTrack;        // track whose title, grid cell and selector were last refreshed; -1 forces it
extern int TrackCount;        // tracks of the loaded disc
extern int TimeMode;          // 0 elapsed, 1 remaining in the track, 2 remaining with tracks left
extern bool RepeatOn;
extern int RepeatTrack;       // the track that repeat returns to; 0 while repeat is off
extern bool ShuffleOn;
extern int PlayOrder[101];    // shuffle order in entries 1..TrackCount; entry 0 unused
extern int PlayOrderPos;      // entry of PlayOrder now playing
extern bool EndlessOn;
extern bool LcdVisible;
extern int ScrollDelay;       // ms between marquee steps
extern std::string DiscTitle; // code page 932 bytes
extern QString DiscFilePath;
extern QString HelpFile;

// Puts every value back to its start-of-run value (for tests that run the program several times).
void resetPlayerState();

// "%2.2d": at least two digits, zero-padded.
std::string twoDigits(int n);
