#include "online/DiscId.h"

#include <QStringList>

#include <discid/discid.h>

#include <memory>

namespace online {

namespace {

constexpr int kLeadIn = 150;
constexpr int kSessionGap = 11400;

// The first data track after the audio run that starts the disc, or 0.
int dataTrackAfter(const platform::TableOfContents &toc, int lastAudio) {
    return lastAudio < toc.lastTrack && toc.isData(lastAudio + 1) ? lastAudio + 1 : 0;
}

}  // namespace

std::optional<MusicBrainzToc> musicBrainzToc(const platform::TableOfContents &toc) {
    if (toc.trackCount() == 0 || toc.trackStart.size() != static_cast<size_t>(toc.trackCount())) return std::nullopt;
    int last = toc.firstTrack;
    while (last < toc.lastTrack && !toc.isData(last + 1)) ++last;
    if (toc.isData(toc.firstTrack) && last == toc.firstTrack) return std::nullopt;

    MusicBrainzToc result;
    result.firstTrack = toc.firstTrack;
    result.lastTrack = last;
    for (int t = toc.firstTrack; t <= last; ++t) result.trackOffsets.push_back(toc.startOf(t) + kLeadIn);
    if (toc.firstSessionLeadOut > 0 && last != toc.lastTrack)
        result.leadOut = toc.firstSessionLeadOut + kLeadIn;
    else if (int data = dataTrackAfter(toc, last))
        result.leadOut = toc.startOf(data) - kSessionGap + kLeadIn;
    else
        result.leadOut = toc.endOf(last) + kLeadIn;
    if (result.leadOut <= result.trackOffsets.back()) return std::nullopt;
    return result;
}

QString discIdOf(const MusicBrainzToc &toc) {
    if (toc.lastTrack < toc.firstTrack || toc.lastTrack > 99 || toc.firstTrack < 1) return QString();
    std::unique_ptr<DiscId, decltype(&discid_free)> disc(discid_new(), &discid_free);
    int offsets[100] = {};
    offsets[0] = toc.leadOut;
    for (int t = toc.firstTrack; t <= toc.lastTrack; ++t) offsets[t] = toc.trackOffsets[static_cast<size_t>(t - toc.firstTrack)];
    if (!discid_put(disc.get(), toc.firstTrack, toc.lastTrack, offsets)) return QString();
    return QString::fromLatin1(discid_get_id(disc.get()));
}

QString tocParameter(const MusicBrainzToc &toc) {
    QStringList parts{QString::number(toc.firstTrack), QString::number(toc.lastTrack), QString::number(toc.leadOut)};
    for (int offset : toc.trackOffsets) parts << QString::number(offset);
    return parts.join(QLatin1Char('+'));
}

// Eight, four, four, four and twelve lower-case hexadecimal digits joined by hyphens, and nothing
// else. Checked by hand rather than with a regular expression: every disc loaded asks, and the
// expression engine would be loaded and compiled for it at the first disc.
bool isMusicBrainzId(const QString &id) {
    if (id.size() != 36) return false;
    for (qsizetype i = 0; i < id.size(); ++i) {
        const char16_t c = id[i].unicode();
        const bool hyphen = i == 8 || i == 13 || i == 18 || i == 23;
        if (hyphen ? c != u'-' : !((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f'))) return false;
    }
    return true;
}

QUrl attachUrl(const MusicBrainzToc &toc) {
    const QString id = discIdOf(toc);
    if (id.isEmpty()) return QUrl();
    return QUrl(QStringLiteral("https://musicbrainz.org/cdtoc/attach?id=%1&tracks=%2&toc=%3")
                    .arg(id)
                    .arg(toc.lastTrack - toc.firstTrack + 1)
                    .arg(tocParameter(toc)));
}

}  // namespace online
