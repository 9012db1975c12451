#pragma once

#include <string>

// Disc loading and the titles of the loaded disc, kept in the catalogue editor and its file.

// Identifies a newly ready disc by its length, fills the in-memory catalogue and the LCD, loads
// the catalogue file or offers to register the disc. Called once per disc by the status poll.
// While the editor is on screen the question waits until it has closed (askPendingRegistration).
void LoadDisc();
// Switches the LCD to the disc title and shows it, read from the catalogue file.
void ReadDiscTitle();
// Shows the current track's title while the disc plays and the LCD shows track titles.
void ShowTrackTitle();
// Reads the catalogue file into the editor's title field and title column.
void LoadCatalogueGrid();
// For a disc without a catalogue file: puts the titles the disc carries (its cue sheet's TITLE lines
// or its CD-Text) into the editor's title field and title column. Called when the editor shows.
void fillTitlesTheDiscCarries();
// Puts a title (UTF-8) into the editor's title field (row 0) or a track's title cell as if typed;
// a title that code page 932 cannot hold is kept in UTF-8.
void putTitle(int row, const std::string &utf8);
// Asks the registration question that a disc change while the editor was on screen put off,
// when that disc is still loaded and still has no catalogue file. Called after the editor closes.
void askPendingRegistration();
