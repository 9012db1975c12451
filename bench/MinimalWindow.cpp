// The floors for any Qt Widgets program: one borderless window the size of the player's main panel.
// bench/whole-process.sh measures them side by side with the player.
// - plain: the window and nothing else;
// - MINIMAL_TEXT=1 (the fair floor): the window also paints one line of Japanese and Latin text in
//   each of the two Japanese faces the player asks for, mapped to the installed faces the same way,
//   so it pays the font loading that any program showing this panel pays.
// With TUNEWICK_FIRST_PAINT_LOG=path it appends the milliseconds from its process start to its first
// paint, measured as the player measures its own (and ends there with TUNEWICK_EXIT_AT_FIRST_PAINT).
// With MINIMAL_TICK_MS it also runs an idle timer (see main); with MINIMAL_SCROLL_MS (and
// MINIMAL_TEXT=1) its first line scrolls one character a step, repainting only that line: the floor
// for a window that scrolls a title, as the player's LCD does while playing.
#include "platform/ProcessClock.h"
#include "ui/controls/Fonts.h"

#include <QApplication>
#include <QPainter>
#include <QTimer>
#include <QWidget>

#include <cstdlib>
#include <memory>

namespace {

class TextWindow : public QWidget {
public:
    TextWindow() : QWidget(nullptr, Qt::FramelessWindowHint) {}

    void scroll() {
        m_first = (m_first + 1) % kScrolled.size();
        update(0, 0, width(), 20);
    }

protected:
    void paintEvent(QPaintEvent *) override {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::black);
        painter.setPen(Qt::white);
        painter.setFont(makeFont(kGothic, 12));
        painter.drawText(4, 16, (kScrolled + kScrolled).mid(m_first, 30));
        painter.setFont(makeFont(kPGothic, 12));
        painter.drawText(4, 40, QStringLiteral("POWER DISPLAY ﾘﾋﾟｰﾄﾌﾟﾚｲ 曲目 時間"));
    }

private:
    inline static const QString kScrolled = QStringLiteral("CD-Tunewick 01 02:35 ディスクのタイトル >> ");
    qsizetype m_first = 0;
};

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    const bool withText = std::getenv("MINIMAL_TEXT") && *std::getenv("MINIMAL_TEXT") == '1';
    if (withText) installFontSubstitutions();
    std::unique_ptr<QWidget> window;
    TextWindow *textWindow = nullptr;
    if (withText) {
        window = std::make_unique<TextWindow>();
        textWindow = static_cast<TextWindow *>(window.get());
    } else {
        window = std::make_unique<QWidget>(nullptr, Qt::FramelessWindowHint);
        window->setStyleSheet(QStringLiteral("background: black"));
    }
    window->setWindowTitle(QStringLiteral("MinimalWindow"));
    window->setGeometry(100, 100, 333, 61);
    if (const char *path = std::getenv("TUNEWICK_FIRST_PAINT_LOG"); path && *path) {
        QWidget *shown = window.get();
        app.installEventFilter(new FirstPaintRecorder([shown](QObject *watched) { return watched == shown; },
                                                      QString::fromLocal8Bit(path),
                                                      std::getenv("TUNEWICK_EXIT_AT_FIRST_PAINT") != nullptr, &app));
    }
    window->show();
    // With MINIMAL_TICK_MS set, a timer ticks at that interval and does nothing: the floor for any
    // program that polls, as the player's status poll does every 250 ms.
    QTimer tick;
    if (const char *ms = std::getenv("MINIMAL_TICK_MS"); ms && std::atoi(ms) > 0) tick.start(std::atoi(ms));
    QTimer scroll;
    if (const char *ms = std::getenv("MINIMAL_SCROLL_MS"); textWindow && ms && std::atoi(ms) > 0) {
        QObject::connect(&scroll, &QTimer::timeout, textWindow, &TextWindow::scroll);
        scroll.start(std::atoi(ms));
    }
    return app.exec();
}
