#include "platform/Messages.h"

#include <QCoreApplication>

namespace platform {

// The arguments are put in in one pass over the text, as QString::arg(a, b, ...) does: a file name
// that holds "%2" stays as it is rather than taking the next argument's place.
std::string message(const char *text, std::initializer_list<std::string_view> args) {
    const QString translated = QCoreApplication::translate("platform", text);
    QString result;
    result.reserve(translated.size());
    for (qsizetype at = 0; at < translated.size(); ++at) {
        if (translated[at] == u'%' && at + 1 < translated.size() && translated[at + 1].isDigit()) {
            qsizetype end = at + 1;
            size_t number = 0;
            while (end < translated.size() && end < at + 3 && translated[end].isDigit())
                number = number * 10 + static_cast<size_t>(translated[end++].digitValue());
            if (number >= 1 && number <= args.size()) {
                const std::string_view arg = args.begin()[number - 1];
                result += QString::fromUtf8(arg.data(), static_cast<qsizetype>(arg.size()));
                at = end - 1;
                continue;
            }
        }
        result += translated[at];
    }
    return result.toStdString();
}

}  // namespace platform
