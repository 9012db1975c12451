#pragma once

#include <QByteArray>

class QWidget;

// Lets an X window manager bring `window` forward for a start the user made elsewhere: the desktop's
// startup id (DESKTOP_STARTUP_ID, "..._TIME<server time>") says when the user asked, and a window
// manager that prevents focus stealing weighs an activation against that time. Ends the desktop's
// launch feedback for that id, and asks for the activation with its time. Does nothing off X.
// UI thread only.
void activateWithStartupId(QWidget *window, const QByteArray &startupId);
