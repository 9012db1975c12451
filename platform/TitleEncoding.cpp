#include "platform/TitleEncoding.h"

#include "platform/Cp932.h"

#include <QStringDecoder>

namespace titles {

bool isUtf8(std::string_view title) { return title.substr(0, kUtf8Mark.size()) == kUtf8Mark; }

QString decode(std::string_view title) {
    if (!isUtf8(title)) return cp932::decode(title);
    title.remove_prefix(kUtf8Mark.size());
    // A second mark right after the first is a character of the title (U+FEFF), not a mark to drop.
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    return decoder(QByteArrayView(title.data(), static_cast<qsizetype>(title.size())));
}

std::string encode(const QString &text) {
    if (std::optional<std::string> bytes = cp932::encode(text)) return *bytes;
    return std::string(kUtf8Mark) + text.toStdString();
}

std::string toUtf8(std::string_view title) {
    if (isUtf8(title)) return std::string(title.substr(kUtf8Mark.size()));
    return cp932::decode(title).toStdString();
}

}  // namespace titles
