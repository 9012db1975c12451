#pragma once

#include <QByteArray>
#include <QNetworkRequest>
#include <QStringList>
#include <QUrl>

class QNetworkAccessManager;
class QObject;

namespace online {

// The most an answer may hold: a disc-ID answer of a disc on many editions is some hundred KB, a
// front-500 cover well under one MB. A bigger one is cut off and read as none.
constexpr qint64 kMostAnswerBytes = 4 * 1024 * 1024;

// A network manager that keeps no cookies: nothing a service sets is ever sent back.
QNetworkAccessManager *newNetworkManager(QObject *parent);

// A GET of `url` that sends the program's User-Agent, `accept`, no cookies and no locale (Qt would
// otherwise add the user's language), and lets the caller vet each redirect (redirectAllowed).
QNetworkRequest serviceRequest(const QUrl &url, const QByteArray &userAgent, const QByteArray &accept);

// Whether a redirect from `from` to `to` may be followed: to the same host or one of `otherHosts`
// (".example.org" stands for any host under example.org), and never from HTTPS to plain HTTP.
bool redirectAllowed(const QUrl &from, const QUrl &to, const QStringList &otherHosts = {});

}  // namespace online
