#pragma once

#include <QString>

#include <functional>

// The player's keys, on the main panel, the LCD and the track selector alike. Each key runs the
// handler that the same press of the mouse runs (with the sender the mouse gives it), and only
// when that control would take the press: a key whose control is switched off does nothing.
// The keys are shortcuts of the windows, so no control ever takes the keyboard focus for them:
// the panels stay out of the focus chain. A dialog or the editor, active, keeps every key.
//   Space            Play when stopped or paused, Pause when playing
//   S, N / Right, P / Left, E   Stop, Next, Previous, Eject
//   L, R, D          REP, SHF, DISPLAY
//   0-9              a track by its number, as a CD player's remote takes it (see below)
//   A key held down acts once: the window system's repeats of these keys are dropped.
//   Shift+F10, Menu  the popup menu, over the window
//   F1               help
//   media keys       Play/Pause, Pause, Stop, Next, Previous, Eject, as the keys above. A desktop
//                    whose media-key service grabs them sends them over MPRIS instead: the window
//                    never sees a grabbed key, so each press arrives once.
// Call once the windows exist; the keys live as long as the main panel.
void setUpKeys();

// The digits typed so far and not yet played ("" for none). One digit waits a second for a
// second one; Enter or the second digit plays at once, Escape forgets; a number of no track on
// the disc is forgotten with a beep. While digits wait they show in the grid's current cell and
// in the LCD's track field.
QString pendingTrackDigits();
// What the end of the pause does: plays the pending number's track.
void playPendingTrack();
// Any other action than a digit forgets the digits: a key, a press of the mouse on one of the
// player's windows (taken care of here), a command from the desktop's media controls.
void forgetPendingTrackDigits();

// Test seam: called instead of the system's beep; empty for the real one.
void setBeepHook(std::function<void()> hook);
