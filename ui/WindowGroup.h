#pragma once

class QWidget;

// Makes the program's windows meet the window system as one application:
// - one task-bar entry at a time: the main panel's while it is shown, the LCD's while the panel is
//   hidden; the track selector, the editor and the about box never get one;
// - minimising the window that holds the entry minimises every other window on screen, and
//   restoring it brings them back;
// - a right-button release anywhere on the main panel, the LCD or the selector opens the shared
//   popup menu, and no control there opens a menu of its own;
// - a window-manager close of the LCD or the selector that leaves none of the program's windows on
//   screen ends the program, as a close of the main panel does.
// Call once the five windows exist; the group lives as long as the main panel.
void setUpWindowGroup();
