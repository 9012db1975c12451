#pragma once

#include <optional>

// The player takes a path to open (see app/OpenDisc.h) and ignores other options, except --help,
// --version and --save (see app/SaveCommand.h), which are answered before anything else happens: no
// display, no window and no single-instance guard are needed for them. Returns the exit code when the program should end
// here, nothing when it should start.
std::optional<int> answerCommandLine(int argc, char **argv);
