#pragma once

#include "platform/CdDrive.h"

#include <memory>
#include <string>

// Makes the drive that plays `choice` ("" the system's drive, "demo", a device node or an image).
using DriveMaker = std::unique_ptr<platform::CdDrive> (*)(const std::string &choice,
                                                          std::string &description);

// Runs the whole program: the single-instance guard, the five windows, the message loop and
// shutdown. `makeDrive` is called only once this instance knows it is the only one; a second start
// hands its path argument (or a "come forward") to the first and ends. Returns the process exit code.
int runApplication(int argc, char **argv, DriveMaker makeDrive);

// A service that the desktop reaches the player by, started once the windows exist and before the
// main panel is shown. It returns what the start-up line says about it.
using DesktopService = std::string (*)();
void addDesktopService(DesktopService start);

// Something the program adds to the windows once they exist (a menu item and its window), run by
// createWindows after the windows' own items, in the order added.
using WindowAddition = void (*)();
void addToWindows(WindowAddition add);

// Creates the five windows, hidden, in their fixed order, each held in its process-wide
// variable, with the menu's items for opening discs and drops on the player's windows; and
// destroys them again.
void createWindows();
void destroyWindows();
