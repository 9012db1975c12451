#pragma once

#include "online/ServiceRequest.h"
#include "online/TitleLookup.h"

#include <QObject>

class QNetworkAccessManager;

namespace online {

// Fetches a release's front cover (500 pixels) from the Cover Art Archive: one fetch at a time (a
// new one drops the one under way), at most one request a second, 15 s for each, the answer cut
// off at the size limit as it comes. The archive answers with a redirect to its image host,
// archive.org: a redirect is followed only there or within the archive's own host, never from
// HTTPS to HTTP, and at most five of them (ServiceFetch keeps these rules).
// The archive is https://coverartarchive.org unless TUNEWICK_COVERART_URL names another.
class CoverArtFetch : public QObject {
    Q_OBJECT
public:
    CoverArtFetch(QNetworkAccessManager *network, QByteArray userAgent, QObject *parent = nullptr);
    ~CoverArtFetch() override;

    // Fetches the cover of `releaseId` (a MusicBrainz ID; anything else gives none at once).
    void fetch(const QString &releaseId, TitleLookup::CoverDone done);
    void setTimeLimit(int ms) { m_timeLimitMs = ms; }

    static QString archiveBase();

private:
    void finish(const QByteArray &image);

    ServiceFetch m_fetch;
    int m_timeLimitMs = 15000;
    TitleLookup::CoverDone m_done;
};

}  // namespace online
