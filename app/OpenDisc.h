#pragma once

#include <QString>
#include <QStringList>

class QAction;
class QMenu;
class QWidget;

// Opening a rip, a disc image or another drive while the player runs: the popup menu's file
// dialog and drive list, drops on the player's windows, a path on the command line or from a
// second start. Whatever opens, it goes into the drive as a disc change does: the poll sees the
// disc go and the new one come, and loads its titles or asks to register it. UI thread only.

// What the player opens for `path`: the path itself (made absolute), or the one cue sheet of a
// folder. Empty with a reason for the user when there is nothing to open there.
QString resolveOpenPath(const QString &path, QString &reason);

// Puts `choice` in the drive: a path (resolved as above), a device node, "demo", or "" for the
// system's drive. Returns at once: the new source is checked away from the window (a rip's audio
// files are opened and measured) while the old disc plays on, and replaces it only when it plays;
// while the editor holds unsaved titles the user is asked first. A choice that cannot be played
// gets a message naming it and why, and the player keeps what it had. False when the path is
// refused at once (said). An image put in this way stays in the drive across restarts. A later
// call replaces one still being checked.
bool openDisc(const QString &choice);
// openDisc() with the check on this thread, for the start before any window shows. False when the
// choice cannot be played (said).
bool openDiscNow(const QString &choice);
// True while the last openDisc() waits for its check.
bool isOpeningDisc();

// What the drive plays at start, unless a path on the command line says otherwise: TUNEWICK_DEVICE,
// else the image left in the drive at the last run when its file is still there, else "" (the
// system's drive).
QString startupChoice();

// The images opened most recently, newest first (at most eight); those whose file is gone are
// dropped from the list, also in ROTOR.INI.
QStringList recentImages();

// The demo disc's titles, put in place when the user has none for it.
void putDemoTitlesInPlace();

// Adds "ディスクイメージを開く..." and the "ドライブ" sub-menu to the popup menu, before `before`.
void addOpenDiscItems(QMenu *menu, QAction *before);
// Lets `window` take drops of sheets, images and folders holding one sheet.
void acceptDiscDrops(QWidget *window);
