#pragma once

#include <QUrl>

// Shows a help page: through the desktop's opener (xdg-open), and in a small viewer window of the
// program's own when the desktop has no opener or the opener fails (no browser), so that help
// never does nothing. A page that does not exist is named in a message instead. UI thread only;
// never blocks: the opener's answer comes later through the event loop.
void showHelpPage(const QUrl &page);

// The viewer window alone, at the page's anchor; brought forward when it is open already.
void showHelpInViewer(const QUrl &page);
