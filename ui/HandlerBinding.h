#pragma once

#include "ui/ErrorDisplay.h"

#include <QObject>

// Connects `signal` of `source` to the window's event handler, which runs guarded (no exception
// crosses the event loop) and receives `source` as its sender.
template <class Source, class Signal, class Window>
void bindHandler(Source *source, Signal signal, Window *window, void (Window::*handler)(QObject *)) {
    QObject::connect(source, signal, window,
                     [source, window, handler] { runGuarded([&] { (window->*handler)(source); }); });
}
