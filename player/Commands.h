#pragma once

#include <QObject>

class TTimer;

#include <functional>
#include <string>

// The transport commands that the buttons, the menu, the poll and the play modes share. Each
// keeps the player state, the transport bar's enabled set, the menu's check marks and the poll
// timer in step with the device.
void PlayCD(QObject *Sender);
// Why the drive cannot play now, or "" when it can (a disc in a drive that is being saved: the
// drive is busy reading it). While there is a reason, PlayCD raises it as an error before it
// changes anything, so the panel shows why instead of playing.
void setPlayRefusal(std::function<std::string()> reason);
void StopCD(QObject *Sender);
void PauseCD();
void NextTrack();
void PrevTrack();
void EjectCD(QObject *Sender);
// Leaves the track grid as an eject does: no selection but the first cell, disabled, every cell blank.
void blankTrackGrid();

// Waits `ms` milliseconds while handling the application's events, so ticks, clicks and menu
// commands run inside the wait. Blocks for the next event or the deadline; never spins.
void WaitMs(int ms);
// Waits as WaitMs does, but ends early when `timer`'s clock runs out first: work that follows
// the wait then runs in the same wake-up of the window thread as the timer's tick.
void WaitForTimer(const TTimer &timer, int ms);
// Test seam: replaces the wait (for example with one that advances a simulated clock).
void setWaitHook(std::function<void(int ms)> hook);
