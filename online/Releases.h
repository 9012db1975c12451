#pragma once

#include <QJsonObject>
#include <QString>

#include <optional>
#include <vector>

namespace online {

// One release that holds the disc, with the titles of the medium that matched and what the choice
// window lists to tell editions apart.
struct Release {
    QString id;             // the release's MusicBrainz ID (MBID)
    QString title;          // the disc title: the release title, and which disc of a set
    QString artist;
    QString country;
    QString date;
    QString labels;         // "label catalogue-number", several joined by " / "
    QString barcode;
    QString status;         // "Official", "Pseudo-Release", ...
    QString script;         // the text's script: "Jpan", "Latn", ...
    std::vector<QString> trackTitles;  // trackTitles[i] is the title of the medium's track i + 1
};

// Where the answer came from: a look-up by disc ID keeps the media that carry the ID; a fuzzy
// look-up by TOC keeps the media with the disc's number of tracks.
struct DiscMatch {
    QString discId;   // empty for a fuzzy answer
    int trackCount = 0;
};

// The releases of a service answer (the disc-ID or fuzzy TOC look-up) that hold the disc, one per
// matching medium, in the answer's order. Titles are as found; a missing field reads as empty.
std::vector<Release> releasesHoldingDisc(const QJsonObject &answer, const DiscMatch &match);

// The releases to offer from the bytes of a service answer; nothing when they are no JSON object.
std::optional<std::vector<Release>> readAnswer(const QByteArray &answer, const DiscMatch &match);

// The most releases the choice window lists.
constexpr size_t kMostReleasesOffered = 30;

// The releases worth offering, the best first, at most kMostReleasesOffered: official releases
// before the others, Japanese script first within each, else in the answer's order. When an
// Official release written in Japanese script is among them, romanised (Latin-script)
// pseudo-releases are dropped.
std::vector<Release> releasesToOffer(std::vector<Release> releases);

}  // namespace online
