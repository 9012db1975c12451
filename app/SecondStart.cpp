#include "app/SecondStart.h"

#include "app/LocalPath.h"
#include "app/SingleInstance.h"
#include "desktop/X11Activation.h"
#include "player/PlayerState.h"
#include "ui/Form1.h"
#include "ui/LcdDisplay.h"

#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <deque>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A message is a few lines; anything longer is not one of ours and is dropped.
constexpr qsizetype kLongestMessage = 64 * 1024;
constexpr int kSenderWaitMs = 2000;
// Messages that wait while the player shows the box of an earlier one.
constexpr std::size_t kMostWaiting = 32;

QByteArray field(const QByteArray &name, const QByteArray &value) {
    return name + ' ' + value.toPercentEncoding() + '\n';
}

class SecondStartListener;

// One second start's connection: its bytes are gathered until the sender has said all, then read
// as a message and answered.
class SenderConnection : public QObject {
public:
    SenderConnection(int fd, SecondStartListener *listener);
    ~SenderConnection() override { ::close(m_fd); }
    SenderConnection(const SenderConnection &) = delete;
    SenderConnection &operator=(const SenderConnection &) = delete;

private:
    void receive();

    int m_fd;
    SecondStartListener *m_listener;
    QSocketNotifier m_notifier;
    QByteArray m_received;
};

// Takes the connections of second starts on the guard's listening socket, and hands their messages
// to the player one at a time: a message that comes while another one's error box is shown waits
// for the box to close. Qt's local server would do the same but lives in Qt Network, which the
// program keeps out of its start-up.
class SecondStartListener : public QObject {
public:
    SecondStartListener(int fd, std::function<void(const SecondStart &)> handle, QObject *parent)
        : QObject(parent), m_fd(fd), m_handle(std::move(handle)),
          m_notifier(fd, QSocketNotifier::Read, this) {
        connect(&m_notifier, &QSocketNotifier::activated, this, &SecondStartListener::accept);
    }
    ~SecondStartListener() override { ::close(m_fd); }
    SecondStartListener(const SecondStartListener &) = delete;
    SecondStartListener &operator=(const SecondStartListener &) = delete;

    // Takes `start` when there is room for it and `answer` reaches its sender (a sender that gave
    // up has said that it was not heard, so its message is dropped). The same path waiting twice
    // is opened once.
    void take(const SecondStart &start, const std::function<bool()> &answer) {
        const auto same = std::find_if(m_waiting.begin(), m_waiting.end(), [&](const SecondStart &waiting) {
            return waiting.path == start.path;
        });
        if (same == m_waiting.end() && m_waiting.size() >= kMostWaiting) return;
        if (!answer()) return;
        if (same != m_waiting.end()) {
            same->activationToken = start.activationToken;
            return;
        }
        m_waiting.push_back(start);
        if (!m_handing) QTimer::singleShot(0, this, &SecondStartListener::handWaiting);
    }

private:
    void accept() {
        const int sender = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (sender < 0) return;
        // Only this user's own programs may work the player.
        if (socketPeerUid(sender) != ::getuid()) {
            ::close(sender);
            return;
        }
        new SenderConnection(sender, this);
    }

    void handWaiting() {
        if (m_handing) return;
        m_handing = true;
        while (!m_waiting.empty()) {
            const SecondStart start = m_waiting.front();
            m_waiting.pop_front();
            m_handle(start);
        }
        m_handing = false;
    }

    int m_fd;
    std::function<void(const SecondStart &)> m_handle;
    QSocketNotifier m_notifier;
    std::deque<SecondStart> m_waiting;
    bool m_handing = false;
};

SenderConnection::SenderConnection(int fd, SecondStartListener *listener)
    : QObject(listener), m_fd(fd), m_listener(listener), m_notifier(fd, QSocketNotifier::Read, this) {
    connect(&m_notifier, &QSocketNotifier::activated, this, &SenderConnection::receive);
    // A sender that neither finishes nor goes away is let go.
    QTimer::singleShot(kSenderWaitMs, this, [this] { deleteLater(); });
}

void SenderConnection::receive() {
    char buffer[4096];
    const ssize_t count = ::recv(m_fd, buffer, sizeof buffer, 0);
    if (count < 0 && (errno == EAGAIN || errno == EINTR)) return;
    if (count > 0) {
        m_received.append(buffer, count);
        if (m_received.size() <= kLongestMessage) return;
    }
    m_notifier.setEnabled(false);
    deleteLater();
    if (count != 0) return;
    const std::optional<SecondStart> start = decodeSecondStart(m_received);
    if (!start) return;
    m_listener->take(*start, [this] {
        const ssize_t size = sizeof kHandOverTaken - 1;
        return ::send(m_fd, kHandOverTaken, size, MSG_NOSIGNAL | MSG_DONTWAIT) == size;
    });
}

} // namespace

QByteArray activationTokenOfThisStart() {
    const QByteArray token = qgetenv("XDG_ACTIVATION_TOKEN");
    return token.isEmpty() ? qgetenv("DESKTOP_STARTUP_ID") : token;
}

SecondStart secondStartFromHere(const QString &argumentPath, const QByteArray &activationToken) {
    SecondStart start;
    if (!argumentPath.isEmpty()) start.path = QFileInfo(argumentPath).absoluteFilePath();
    start.activationToken = activationToken;
    return start;
}

QByteArray encodeSecondStart(const SecondStart &start) {
    QByteArray bytes = start.path.isEmpty() ? QByteArray("show\n") : field("open", localPath(start.path));
    if (!start.activationToken.isEmpty()) bytes += field("token", start.activationToken);
    return bytes;
}

std::optional<SecondStart> decodeSecondStart(const QByteArray &bytes) {
    if (bytes.size() > kLongestMessage || !bytes.endsWith('\n')) return std::nullopt;
    SecondStart start;
    bool said = false;
    for (const QByteArray &line : bytes.chopped(1).split('\n')) {
        const qsizetype blank = line.indexOf(' ');
        const QByteArray name = blank < 0 ? line : line.left(blank);
        const QByteArray value =
            blank < 0 ? QByteArray() : QByteArray::fromPercentEncoding(line.mid(blank + 1));
        if (name == "show" && blank < 0 && !said) {
            said = true;
        } else if (name == "open" && !said && !value.isEmpty()) {
            start.path = pathFromLocal(value);
            said = true;
        } else if (name == "token" && start.activationToken.isEmpty()) {
            start.activationToken = value;
        } else {
            return std::nullopt;
        }
    }
    if (!said) return std::nullopt;
    return start;
}

void receiveSecondStarts(int descriptor, std::function<void(const SecondStart &)> handle, QObject *parent) {
    if (descriptor < 0) return;
    ::fcntl(descriptor, F_SETFL, ::fcntl(descriptor, F_GETFL) | O_NONBLOCK);
    new SecondStartListener(descriptor, std::move(handle), parent);
}

void comeForward(const QByteArray &activationToken) {
    // Qt's Wayland platform hands this token to the compositor with the next activation.
    if (!activationToken.isEmpty()) qputenv("XDG_ACTIVATION_TOKEN", activationToken);
    if (!Form1->isVisible()) LCD_DISPLAY->PA_COMClick(Form1);
    if (Form1->isMinimized()) Form1->showNormal();
    if (LcdVisible && LCD_DISPLAY->isVisible()) LCD_DISPLAY->raise();
    Form1->raise();
    Form1->activateWindow();
    activateWithStartupId(Form1, activationToken);
}
