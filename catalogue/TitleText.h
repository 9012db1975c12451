#pragma once

#include <QString>

namespace catalogue {

// A title is one line of a catalogue file: CR or LF would split it and move every later title down
// a track, 0x1A would end the file there, and other control characters have no place in a title.
// Every title that enters the editor (typed, pasted, from a cue sheet, CD-Text or an online
// look-up) passes through here first: each control character becomes a blank.
QString blankControlCharacters(QString title);

}  // namespace catalogue
