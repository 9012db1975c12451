#include "online/Releases.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>

namespace online {

namespace {

QString text(const QJsonObject &object, const char *key) { return object.value(QLatin1String(key)).toString(); }

QString artistCredit(const QJsonArray &credit) {
    QString name;
    for (const QJsonValue &part : credit) name += text(part.toObject(), "name") + text(part.toObject(), "joinphrase");
    return name;
}

QString labelsOf(const QJsonArray &labelInfo) {
    QStringList parts;
    for (const QJsonValue &value : labelInfo) {
        const QJsonObject info = value.toObject();
        QStringList fields{text(info.value(QLatin1String("label")).toObject(), "name"), text(info, "catalog-number")};
        fields.removeAll(QString());
        const QString entry = fields.join(QLatin1Char(' '));
        if (!entry.isEmpty()) parts << entry;
    }
    return parts.join(QStringLiteral(" / "));
}

bool carriesDisc(const QJsonObject &medium, const DiscMatch &match) {
    if (match.discId.isEmpty()) return medium.value(QLatin1String("track-count")).toInt(-1) == match.trackCount;
    const QJsonArray discs = medium.value(QLatin1String("discs")).toArray();
    return std::any_of(discs.begin(), discs.end(),
                       [&](const QJsonValue &disc) { return text(disc.toObject(), "id") == match.discId; });
}

// The track's title on this release, else its recording's.
QString trackTitle(const QJsonObject &track) {
    const QString own = text(track, "title");
    return own.isEmpty() ? text(track.value(QLatin1String("recording")).toObject(), "title") : own;
}

// A set of several discs names the disc: the medium's own title when it has one, else its number.
QString discTitle(const QJsonObject &release, const QJsonObject &medium, int mediumCount) {
    const QString title = text(release, "title");
    if (mediumCount < 2) return title;
    const QString mediumTitle = text(medium, "title");
    if (!mediumTitle.isEmpty()) return title + QStringLiteral(" (") + mediumTitle + QLatin1Char(')');
    return title + QStringLiteral(" (Disc %1)").arg(medium.value(QLatin1String("position")).toInt());
}

Release describe(const QJsonObject &release) {
    Release r;
    r.id = text(release, "id");
    r.artist = artistCredit(release.value(QLatin1String("artist-credit")).toArray());
    r.country = text(release, "country");
    r.date = text(release, "date");
    r.labels = labelsOf(release.value(QLatin1String("label-info")).toArray());
    r.barcode = text(release, "barcode");
    r.status = text(release, "status");
    r.script = text(release.value(QLatin1String("text-representation")).toObject(), "script");
    return r;
}

}  // namespace

std::vector<Release> releasesHoldingDisc(const QJsonObject &answer, const DiscMatch &match) {
    std::vector<Release> found;
    for (const QJsonValue &value : answer.value(QLatin1String("releases")).toArray()) {
        const QJsonObject release = value.toObject();
        const QJsonArray media = release.value(QLatin1String("media")).toArray();
        for (const QJsonValue &mediumValue : media) {
            const QJsonObject medium = mediumValue.toObject();
            if (!carriesDisc(medium, match)) continue;
            Release r = describe(release);
            r.title = discTitle(release, medium, static_cast<int>(media.size()));
            for (const QJsonValue &track : medium.value(QLatin1String("tracks")).toArray())
                r.trackTitles.push_back(trackTitle(track.toObject()));
            found.push_back(std::move(r));
        }
    }
    return found;
}

std::optional<std::vector<Release>> readAnswer(const QByteArray &answer, const DiscMatch &match) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(answer, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) return std::nullopt;
    return releasesToOffer(releasesHoldingDisc(document.object(), match));
}

std::vector<Release> releasesToOffer(std::vector<Release> releases) {
    const auto official = [](const Release &r) { return r.status == QLatin1String("Official"); };
    const auto japanese = [](const Release &r) { return r.script == QLatin1String("Jpan"); };
    const auto romanisedPseudo = [](const Release &r) {
        return r.status == QLatin1String("Pseudo-Release") && r.script == QLatin1String("Latn");
    };
    if (std::any_of(releases.begin(), releases.end(), [&](const Release &r) { return official(r) && japanese(r); }))
        std::erase_if(releases, romanisedPseudo);
    // Lower is better: an official release before the others, Japanese script first within each.
    const auto rank = [&](const Release &r) { return (official(r) ? 0 : 2) + (japanese(r) ? 0 : 1); };
    std::stable_sort(releases.begin(), releases.end(),
                     [&](const Release &a, const Release &b) { return rank(a) < rank(b); });
    if (releases.size() > kMostReleasesOffered) releases.resize(kMostReleasesOffered);
    return releases;
}

}  // namespace online
