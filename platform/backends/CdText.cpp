#include "platform/backends/CdText.h"

#include "platform/Cp932.h"

#include <QString>

#include <cdio/cdtext.h>
#include <cdio/disc.h>

namespace platform {

namespace {

// libcdio hands out UTF-8 when it could convert the block's character set; a Japanese block it
// could not convert is still in MS-JIS, that is code page 932.
std::string asUtf8(const char *text) {
    if (!text) return {};
    const QString decoded = QString::fromUtf8(text);
    if (decoded.toUtf8() == QByteArray(text)) return text;
    return cp932::decode(text).toUtf8().toStdString();
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
