#include "online/ServiceRequest.h"

#include <QNetworkAccessManager>
#include <QNetworkCookie>
#include <QNetworkCookieJar>

#include <algorithm>

namespace online {

namespace {

class NoCookies : public QNetworkCookieJar {
public:
    using QNetworkCookieJar::QNetworkCookieJar;
    QList<QNetworkCookie> cookiesForUrl(const QUrl &) const override { return {}; }
    bool setCookiesFromUrl(const QList<QNetworkCookie> &, const QUrl &) override { return false; }
};

constexpr int kMostRedirects = 5;

}  // namespace

QNetworkAccessManager *newNetworkManager(QObject *parent) {
    auto *network = new QNetworkAccessManager(parent);
    network->setCookieJar(new NoCookies(network));
    return network;
}

QNetworkRequest serviceRequest(const QUrl &url, const QByteArray &userAgent, const QByteArray &accept) {
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, userAgent);
    request.setRawHeader("Accept", accept);
    // Qt fills an absent Accept-Language from the system locale; "*" (any) names no language.
    request.setRawHeader("Accept-Language", "*");
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setMaximumRedirectsAllowed(kMostRedirects);
    return request;
}

bool redirectAllowed(const QUrl &from, const QUrl &to, const QStringList &otherHosts) {
    const QString scheme = to.scheme().toLower();
    if (scheme != QLatin1String("https") && scheme != QLatin1String("http")) return false;
    if (from.scheme().toLower() == QLatin1String("https") && scheme != QLatin1String("https")) return false;
    const QString host = to.host().toLower();
    if (host == from.host().toLower()) return true;
    return std::any_of(otherHosts.begin(), otherHosts.end(), [&](const QString &allowed) {
        return allowed.startsWith(QLatin1Char('.')) ? host.endsWith(allowed.toLower()) : host == allowed.toLower();
    });
}

}  // namespace online
