#include "ui/ErrorDisplay.h"

#include "ui/Form1.h"

#include <QApplication>
#include <QMessageBox>

#include <stdexcept>

namespace {
ErrorSink &sink() {
    static ErrorSink s;
    return s;
}
}  // namespace

void setErrorSink(ErrorSink s) { sink() = std::move(s); }

void showException(const std::exception &error) {
    QString caption = applicationTitle();
    QString message = QString::fromUtf8(error.what());
    if (!message.endsWith(QLatin1Char('.'))) message += QLatin1Char('.');
    if (sink()) return sink()(caption, message);
    QMessageBox box(QMessageBox::Critical, caption, message, QMessageBox::Ok);
    box.exec();
}

void runGuarded(const std::function<void()> &handler) {
    try {
        handler();
    } catch (const std::exception &e) {
        showException(e);
    } catch (...) {
        showException(std::runtime_error(QCoreApplication::translate("TMediaPlayer", "原因不明のｴﾗｰ").toStdString()));
    }
}
