#include "platform/backends/CdText.h"

#include "platform/Cp932.h"

#include <QString>

#include <algorithm>

#include <cdio/cdtext.h>
#include <cdio/disc.h>

namespace platform {

namespace {

// Bytes that read as code page 932 text with at least one double-byte character and nothing that
// code page 932 does not hold.
bool isDoubleByteText(const std::string &bytes) {
    int doubleBytes = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (cp932::isLeadByte(byte)) {
            if (i + 1 >= bytes.size()) return false;
            const auto trail = static_cast<unsigned char>(bytes[++i]);
            if (trail < 0x40 || trail == 0x7F || trail > 0xFC) return false;
            ++doubleBytes;
        } else if (byte >= 0x80 && (byte < 0xA1 || byte > 0xDF)) {
            return false;
        }
    }
    const QString decoded = cp932::decode(bytes);
    const bool carriesLoneBytes = std::any_of(decoded.begin(), decoded.end(), [](QChar c) { return c.isLowSurrogate(); });
    return doubleBytes > 0 && !carriesLoneBytes;
}

// libcdio hands out UTF-8. A Japanese block it could not convert is still in MS-JIS (code page
// 932); one it took for Latin-1 (it reads a .toc sheet's CD_TEXT so) comes as Latin-1 letters
// whose codes are the MS-JIS bytes.
std::string asUtf8(const char *text) {
    if (!text) return {};
    const QString decoded = QString::fromUtf8(text);
    if (decoded.toUtf8() != QByteArray(text)) return cp932::decode(text).toUtf8().toStdString();
    if (std::all_of(decoded.begin(), decoded.end(), [](QChar c) { return c.unicode() <= 0xFF; })) {
        const std::string bytes = decoded.toLatin1().toStdString();
        if (isDoubleByteText(bytes)) return cp932::decode(bytes).toUtf8().toStdString();
    }
    return text;
}

} // namespace

DiscText readCdText(CdIo_t *cdio, int firstTrack, int lastTrack) {
    DiscText result;
    cdtext_t *text = cdio_get_cdtext(cdio);
    if (!text) return result;
    // The Japanese block when there is one, else the first.
    int block = 0;
    if (const cdtext_lang_t *languages = cdtext_list_languages_v2(text))
        for (int i = 0; i < 8; ++i)
            if (languages[i] == CDTEXT_LANGUAGE_JAPANESE) block = i;
    cdtext_set_language_index(text, block);
    result.title = asUtf8(cdtext_get_const(text, CDTEXT_FIELD_TITLE, 0));
    for (int track = firstTrack; track <= lastTrack; ++track)
        result.trackTitles.push_back(asUtf8(cdtext_get_const(text, CDTEXT_FIELD_TITLE, static_cast<track_t>(track))));
    if (result.empty()) return {};
    return result;
}

} // namespace platform
