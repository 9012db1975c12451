#pragma once

#include "online/DiscId.h"
#include "online/ServiceRequest.h"
#include "online/TitleLookup.h"

#include <QElapsedTimer>
#include <QObject>
#include <QUrl>

class QNetworkAccessManager;

namespace online {

// Looks a disc up on the MusicBrainz web service (version 2, JSON) by its disc ID, and when the
// service does not know the ID, once more by its TOC (a fuzzy look-up). Keeps to the service's
// rules: a User-Agent naming the program, at most one request a second, a 503 tried once more no
// sooner than it asks, when that fits in the time left. Each address has 15 s to answer, its retry
// and redirects included. Cookies, redirects to other hosts and answers over the size limit are
// refused (ServiceFetch keeps these rules). The service's address is
// https://musicbrainz.org unless TUNEWICK_MUSICBRAINZ_URL names another (a mirror, a test server).
// A saved disc's AccurateRip answer and its release's details come through the same module, each
// one fetch at a time under the same rules (a ServiceFetch each).
class CoverArtFetch;

class MusicBrainzLookup : public QObject, public TitleLookup {
    Q_OBJECT
public:
    explicit MusicBrainzLookup(QObject *parent = nullptr);
    ~MusicBrainzLookup() override;

    void start(const platform::TableOfContents &toc, Done done) override;
    void cancel() override;
    void fetchCover(const QString &releaseId, CoverDone done) override;
    void fetchAccurateRip(const QString &path, AccurateRipDone done) override;
    void fetchReleaseDetails(const QString &releaseId, const QString &discId, int trackCount,
                             DetailsDone done) override;

    // The time each address has to answer; 15 s unless a test sets less.
    void setTimeLimit(int ms);

    static QString serviceBase();
    // http://www.accuraterip.com/accuraterip unless TUNEWICK_ACCURATERIP_URL names another.
    static QString accurateRipBase();
    static QByteArray userAgent();

private:
    void send(const QUrl &url, qint64 notBeforeMs);
    void answered(const ServiceAnswer &answer);
    void finish(LookupResult result);
    QUrl discIdUrl() const;
    QUrl fuzzyUrl() const;
    ServiceFetch *newFetch(const QByteArray &accept, qint64 mostBytes);

    QNetworkAccessManager *m_network = nullptr;  // made on the first request
    ServiceFetch *m_fetch = nullptr;             // made on the first request
    CoverArtFetch *m_covers = nullptr;           // made on the first cover
    QElapsedTimer m_sinceFirstTry;               // since the first request to m_url
    ServiceFetch *m_accurateRip = nullptr;       // made on the first AccurateRip answer
    ServiceFetch *m_details = nullptr;           // made on the first release's details
    int m_timeLimitMs = 15000;
    QUrl m_url;
    MusicBrainzToc m_toc;
    QString m_discId;
    bool m_retried = false;
    bool m_fuzzy = false;
    Done m_done;
};

}  // namespace online
