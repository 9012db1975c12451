#pragma once

#include <QByteArray>

// The folder of the program's per-user lock files and sockets: $XDG_RUNTIME_DIR when it is the
// user's own private folder, else a private folder of our own under /tmp. Empty when neither can
// be had. No other user can put a file there first.
QByteArray guardFolder();
