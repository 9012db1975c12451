#include "platform/Messages.h"

#include <QCoreApplication>

namespace platform {

std::string message(const char *text, std::initializer_list<std::string_view> args) {
    QString translated = QCoreApplication::translate("platform", text);
    for (std::string_view arg : args)
        translated = translated.arg(QString::fromUtf8(arg.data(), static_cast<qsizetype>(arg.size())));
    return translated.toStdString();
}

}  // namespace platform
