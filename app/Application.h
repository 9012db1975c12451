#pragma once

#include "platform/CdDrive.h"

#include <memory>
#include <string>

using DriveMaker = std::unique_ptr<platform::CdDrive> (*)(std::string &description);

// Runs the whole program: the single-instance guard, the five windows, the message loop and
// shutdown. `makeDrive` is called only once this instance knows it is the only one. Returns the
// process exit code.
int runApplication(int argc, char **argv, DriveMaker makeDrive);

// Creates the five windows, hidden, in their fixed order, each held in its process-wide
// variable; and destroys them again.
void createWindows();
void destroyWindows();
