#pragma once

#include <QStringList>

// `cd-tunewick32 --save FOLDER [SOURCE]`: saves a disc as files without a display (Qt Core only, no
// window, no single-instance guard: a running player is neither asked nor disturbed). SOURCE is
// what the player opens (a sheet, an image, a folder with one sheet, a device, "demo"); left out,
// the drive the player would choose at its start. Prints progress to standard error (one updating
// line on a terminal, a line every tenth otherwise) and one line per track with its result to
// standard output. Interrupting it (Ctrl+C, SIGTERM) cancels the save cleanly. Returns the exit
// status: 0 only when every track was read and written whole; 1 when the save failed or is not
// whole; 2 for a wrong command line. `arguments` are those after --save.
int runSaveCommand(int argc, char **argv, const QStringList &arguments);
