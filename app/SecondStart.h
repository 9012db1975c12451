#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

class QObject;

// What a second start of the program hands to the running player before it ends: a path to open,
// or none to make the player come forward, and the desktop's activation token (XDG_ACTIVATION_TOKEN
// or DESKTOP_STARTUP_ID) that lets the window manager raise the player's window.
struct SecondStart {
    QString path; // absolute; empty: come forward
    QByteArray activationToken;

    bool operator==(const SecondStart &) const = default;
};

// The desktop's activation token of this start. Read it before the application object exists: Qt's
// platform takes the variables out of the environment as it starts.
QByteArray activationTokenOfThisStart();
// The message for this process: `argumentPath` made absolute, and the token.
SecondStart secondStartFromHere(const QString &argumentPath, const QByteArray &activationToken);
// The message as it goes through the guard's socket, and back; nothing for bytes that are not one.
QByteArray encodeSecondStart(const SecondStart &start);
std::optional<SecondStart> decodeSecondStart(const QByteArray &bytes);

// Listens on `descriptor` (the guard's listening socket, taken over and closed with `parent`) and
// calls `handle` on the UI thread for each second start.
void receiveSecondStarts(int descriptor, std::function<void(const SecondStart &)> handle, QObject *parent);

// Brings the player forward: the main panel is shown (also after HIDE), restored when minimised
// and raised, with the LCD when it is shown. `activationToken` goes to the window system.
void comeForward(const QByteArray &activationToken);
