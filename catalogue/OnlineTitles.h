#pragma once

#include "online/TitleLookup.h"

#include <memory>

// Titles of a new disc found online, put into the catalogue editor as a start for the user, who
// saves them or not. Only a disc without a catalogue file is looked up, and only with the user's
// consent; the editor fills only the title field and cells that are still empty.

// Sets the service the look-ups go to; none (the default) means no look-up.
void setTitleLookup(std::unique_ptr<online::TitleLookup> lookup);
// The service set, or none.
online::TitleLookup *titleLookup();
// Starts looking up the loaded disc, when a service is set and the user allows it (asked the
// first time). The editor takes the titles when it shows, or as they come while it is shown.
void startTitleLookup();
// Drops the look-up under way and the titles found: another disc is loaded.
void forgetFoundTitles();
// Puts the titles found into the editor's empty title field and cells, after the choice window
// when several releases hold the disc; shows a one-line note in the empty title field while the
// look-up runs or when it found nothing. When the service does not know the disc, a link beside the
// note opens the service's page for adding it in the desktop's browser. Called when the editor
// shows.
void fillTitlesFoundOnline();
// The editor saved its titles: the release they were taken from, if any, is remembered for the
// disc and gives it its cover. A release the user closed the editor on without saving is not.
void foundTitlesSaved();
// True while the editor's title field holds the disc title found online as it was put there: no
// title the user gave, as long as it is not saved.
bool editorHoldsFoundDiscTitle();
