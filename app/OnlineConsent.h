#pragma once

#include <QString>

#include <optional>

// The user's answer to whether the program may look titles up on the internet (MusicBrainz),
// kept in ROTOR.INI as [Online] MusicBrainz=1 or 0. UI thread only.

// The stored answer (or, when ROTOR.INI could not keep it, this run's); nothing while the user
// has not been asked.
std::optional<bool> storedOnlineConsent();
// Sets the answer for this run and the menu's check mark, then stores it; throws when ROTOR.INI
// cannot be written.
void setOnlineConsent(bool allowed);
// Whether a look-up may go out: the stored answer, or, the first time, the user's answer to the
// question, which is then stored.
bool onlineLookupAllowed();

// The same for any yes or no kept in ROTOR.INI as [Online] <key>=1 or 0: the stored answer (or
// this run's when ROTOR.INI could not keep it), nothing while the user has not been asked.
std::optional<bool> storedConsent(const char *key);
// Sets this run's answer, then stores it; throws when ROTOR.INI cannot be written.
void storeConsent(const char *key, bool allowed);
// Asks a yes or no question about sending something online; Esc and the close box answer No.
bool askConsent(const QString &caption, const QString &question);
