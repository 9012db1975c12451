#pragma once

#include "online/TitleLookup.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

namespace online {

// Fetches a release's front cover (500 pixels) from the Cover Art Archive: one fetch at a time (a
// new one drops the one under way), at most one request a second, 15 s for each, the answer cut
// off at the size limit. The archive answers with a redirect to its image host, archive.org: a
// redirect is followed only there or within the archive's own host, and never from HTTPS to HTTP.
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
    void issue();
    void redirected(const QUrl &to);
    void checkSize();
    void answered();
    void dropReply();
    void finish(const QByteArray &image);

    QNetworkAccessManager *m_network;
    QByteArray m_userAgent;
    QPointer<QNetworkReply> m_reply;
    QTimer m_wait;
    QTimer m_deadline;
    QElapsedTimer m_lastRequest;
    QUrl m_url;
    int m_timeLimitMs = 15000;
    TitleLookup::CoverDone m_done;
};

}  // namespace online
