#include "desktop/SaveProgress.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>
#include <algorithm>

namespace desktop {

namespace {

// The entry is found by the desktop file the program is installed with.
const QString kAppUri = QStringLiteral("application://cd-tunewick32.desktop");
const QString kEntryPath = QStringLiteral("/com/canonical/unity/launcherentry/cd_tunewick32");
// The notification's time on screen is the server's choice.
constexpr int kServerDefaultTimeout = -1;

// Connecting happens once per process; a missing bus is a disconnected connection, not a wait.
bool sessionBusReady(QDBusConnection &bus) {
    return bus.isConnected();
}

void sendLauncherUpdate(const QVariantMap &properties) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!sessionBusReady(bus)) return;
    QDBusMessage signal = QDBusMessage::createSignal(
        kEntryPath, QStringLiteral("com.canonical.Unity.LauncherEntry"), QStringLiteral("Update"));
    signal << kAppUri << properties;
    bus.send(signal);
}

} // namespace

void showSaveProgress(double fraction) {
    sendLauncherUpdate({{QStringLiteral("progress"), std::clamp(fraction, 0.0, 1.0)},
                        {QStringLiteral("progress-visible"), true}});
}

void hideSaveProgress() {
    sendLauncherUpdate({{QStringLiteral("progress-visible"), false}});
}

// Sent without waiting for the server's reply (the notification's id is of no use here).
void notifySaveResult(const QString &summary, const QString &body) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!sessionBusReady(bus)) return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    call << QStringLiteral("CD-Tunewick32") << 0u << QStringLiteral("cd-tunewick32") << summary << body
         << QStringList() << QVariantMap{{QStringLiteral("desktop-entry"), QStringLiteral("cd-tunewick32")}}
         << kServerDefaultTimeout;
    bus.send(call);
}

} // namespace desktop
