#pragma once

#include "online/DiscId.h"
#include "online/TitleLookup.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

namespace online {

// Looks a disc up on the MusicBrainz web service (version 2, JSON) by its disc ID, and when the
// service does not know the ID, once more by its TOC (a fuzzy look-up). Keeps to the service's
// rules: a User-Agent naming the program, at most one request a second, a 503 tried once more no
// sooner than it asks. Each request has 15 s to answer. The service's address is
// https://musicbrainz.org unless TUNEWICK_MUSICBRAINZ_URL names another (a mirror, a test server).
class MusicBrainzLookup : public QObject, public TitleLookup {
    Q_OBJECT
public:
    explicit MusicBrainzLookup(QObject *parent = nullptr);
    ~MusicBrainzLookup() override;

    void start(const platform::TableOfContents &toc, Done done) override;
    void cancel() override;

    static QString serviceBase();
    static QByteArray userAgent();

private:
    void send(const QUrl &url, int notBeforeMs);
    void issue();
    void answered();
    void timedOut();
    void dropReply();
    void finish(LookupResult result);
    QUrl discIdUrl() const;
    QUrl fuzzyUrl() const;

    QNetworkAccessManager *m_network = nullptr;  // made on the first request
    QPointer<QNetworkReply> m_reply;
    QTimer m_wait;       // holds the next request back to keep the rate and the retry delay
    QTimer m_deadline;   // the request's time limit
    QElapsedTimer m_lastRequest;
    QUrl m_url;
    MusicBrainzToc m_toc;
    QString m_discId;
    bool m_retried = false;
    bool m_fuzzy = false;
    Done m_done;
};

}  // namespace online
