#pragma once

#include "online/TitleLookup.h"
#include "save/DiscSaver.h"

#include <functional>
#include <memory>
#include <optional>

// What a save asks online: the AccurateRip answer that checks each track, and the MusicBrainz
// release's details for the files' tags. Each asks nothing without the user's consent. UI (main)
// thread only; nothing here blocks.

// The answer kept in ROTOR.INI as [Online] AccurateRip=1 or 0 (or, when ROTOR.INI could not keep
// it, this run's); nothing while the user has not been asked.
std::optional<bool> storedAccurateRipConsent();
// Sets the answer for this run and the menu's check mark, then stores it; throws when ROTOR.INI
// cannot be written.
void setAccurateRipConsent(bool allowed);
// Whether a save's tracks may be checked: the stored answer, or, the first time, the user's answer
// to the question, which is then stored. The window's save only; the command line never asks.
bool accurateRipAllowed();
// The line the command line prints (and the log keeps) when the setting is not there: how to allow it.
QString accurateRipNotSetLine();

// A check for the next save that asks AccurateRip only when `allowed`; otherwise nothing is sent
// and, when the user was never asked, the log says how to allow it.
std::shared_ptr<save::SaveCheck> makeAccurateRipCheck(std::optional<bool> consent);

// The details of the disc's release, when the user took its titles from a MusicBrainz release
// (the release index) and the look-up is allowed: `done` is called once, with nothing when there
// is none or it cannot be had, and then, when they were asked for, a line naming why they did not
// come. The look-up's consent is not asked here: off or unset sends nothing.
using ReleaseDetailsDone =
    std::function<void(const std::optional<online::ReleaseDetails> &details, const QString &failure)>;
void fetchReleaseDetailsOf(const platform::TableOfContents &toc, ReleaseDetailsDone done);
struct ReleaseDetailsAnswer {
    std::optional<online::ReleaseDetails> details;
    QString failure; // why the details asked for did not come; empty when they came or none were asked
};
// The same for a caller on a worker thread (the save's completeMetadata): asks the main thread and
// waits for the answer, at most as long as the service is given. Never call it on the main thread.
ReleaseDetailsAnswer releaseDetailsOf(const platform::TableOfContents &toc);
// Puts the release's artists, date and IDs into the tags that are still empty: what the user or the
// catalogue gave wins.
void addReleaseDetails(const online::ReleaseDetails &details, save::SaveMetadata &metadata);
// Both for a save's completeMetadata (a worker thread): asks for the disc's release and fills
// what it gives into the tags still empty; returns the line for the log and the user when the
// details were asked for and did not come. Call it after the catalogue's titles are in.
QStringList addReleaseDetailsOfDisc(const save::DiscLayout &disc, save::SaveMetadata &metadata);
