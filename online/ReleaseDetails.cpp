#include "online/ReleaseDetails.h"

#include "online/DiscId.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace online {

namespace {

QString text(const QJsonObject &object, const char *key) {
    return object.value(QLatin1String(key)).toString();
}

// An artist credit as printed: each name followed by its join phrase ("A feat. B").
QString creditOf(const QJsonObject &object) {
    QString credit;
    for (const QJsonValue &part : object.value(QLatin1String("artist-credit")).toArray())
        credit += text(part.toObject(), "name") + text(part.toObject(), "joinphrase");
    return credit;
}

bool carriesDisc(const QJsonObject &medium, const QString &discId) {
    if (discId.isEmpty()) return false;
    for (const QJsonValue &disc : medium.value(QLatin1String("discs")).toArray())
        if (text(disc.toObject(), "id") == discId) return true;
    return false;
}

std::optional<QJsonObject> mediumOf(const QJsonArray &media, const QString &discId, int trackCount) {
    for (const QJsonValue &medium : media)
        if (carriesDisc(medium.toObject(), discId)) return medium.toObject();
    std::optional<QJsonObject> found;
    for (const QJsonValue &medium : media) {
        if (medium.toObject().value(QLatin1String("tracks")).toArray().size() != trackCount) continue;
        if (found) return std::nullopt;
        found = medium.toObject();
    }
    return found;
}

// A MusicBrainz ID as the service gives it, or empty: an ID goes into a tag, and nothing else may.
QString idOf(const QJsonObject &object) {
    const QString id = text(object, "id");
    return isMusicBrainzId(id) ? id : QString();
}

} // namespace

std::optional<ReleaseDetails> readReleaseDetails(const QByteArray &answer, const QString &releaseId,
                                                 const QString &discId, int trackCount) {
    const QJsonObject release = QJsonDocument::fromJson(answer).object();
    if (release.isEmpty() || text(release, "id") != releaseId || !isMusicBrainzId(releaseId))
        return std::nullopt;
    const std::optional<QJsonObject> medium =
        mediumOf(release.value(QLatin1String("media")).toArray(), discId, trackCount);
    if (!medium) return std::nullopt;
    ReleaseDetails details{releaseId,
                           creditOf(release),
                           text(release, "date"),
                           carriesDisc(*medium, discId) ? discId : QString(),
                           {}};
    for (const QJsonValue &value : medium->value(QLatin1String("tracks")).toArray()) {
        const QJsonObject track = value.toObject();
        details.tracks.push_back(
            {creditOf(track), idOf(track), idOf(track.value(QLatin1String("recording")).toObject())});
    }
    return details;
}

} // namespace online
