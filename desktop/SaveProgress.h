#pragma once

#include <QString>

// What the desktop shows of a disc being saved: the progress on the program's task-bar or dock
// entry (the launcher-entry signal that docks, Plasma and Unity read) and a notification with the
// result. Every call only sends a message and returns at once; without a session bus, or with no
// dock or notification service listening, nothing is shown and nothing fails. UI thread only.
namespace desktop {

// The entry's progress bar at `fraction` (clamped to 0..1), shown.
void showSaveProgress(double fraction);
// The entry's progress bar hidden again.
void hideSaveProgress();
// A desktop notification with the program's name, `summary` and `body`.
void notifySaveResult(const QString &summary, const QString &body);

} // namespace desktop
