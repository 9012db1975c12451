#pragma once

#include <QString>

#include <exception>
#include <functional>

// The standard error display: a message box with the error icon, captioned with the application
// title, holding the message followed by ".". Tests can replace the box with a recorder.
void showException(const std::exception &error);
using ErrorSink = std::function<void(const QString &caption, const QString &message)>;
void setErrorSink(ErrorSink sink);  // empty: the real message box

// Runs one event handler so that no exception crosses the event loop: a failure ends the handler
// at the failing step and is shown by the standard error display.
void runGuarded(const std::function<void()> &handler);
