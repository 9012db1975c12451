#include "online/DiscId.h"
#include "online/MusicBrainzLookup.h"
#include "online/Releases.h"
#include "online/ServiceRequest.h"
#include "tests/online/FakeService.h"

#include <gtest/gtest.h>

#include <QEventLoop>
#include <QFile>
#include <QLocale>
#include <QTimeZone>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>

#include <optional>

namespace {

using online::Release;

// --- tables of contents -------------------------------------------------------------------

// A TOC as the drive reports it: sectors from 0, without the lead-in.
platform::TableOfContents driveToc(std::vector<int> offsetsWithLeadIn, int leadOutWithLeadIn) {
    platform::TableOfContents toc;
    toc.firstTrack = 1;
    toc.lastTrack = static_cast<int>(offsetsWithLeadIn.size());
    for (int offset : offsetsWithLeadIn) toc.trackStart.push_back(offset - 150);
    toc.dataTrack.assign(offsetsWithLeadIn.size(), false);
    toc.leadOut = leadOutWithLeadIn - 150;
    return toc;
}

const std::vector<int> kRovicsOffsets = {150,    13374,  24544,  40029,  53948,  64717,  75840,  92284,
                                         113387, 128033, 144752, 156524, 173552, 189058, 201726, 214559};
constexpr int kRovicsLeadOut = 224238;
const char *const kRovicsId = "cHW1Uutl_kyWNaLJsLmTGTe4rnE-";

// The same audio with a data track in a second session, 11,400 sectors after the audio's end.
platform::TableOfContents enhanced(bool sessionKnown) {
    platform::TableOfContents toc = driveToc(kRovicsOffsets, kRovicsLeadOut);
    const int dataStart = kRovicsLeadOut - 150 + 11400;
    toc.lastTrack += 1;
    toc.trackStart.push_back(dataStart);
    toc.dataTrack.push_back(true);
    toc.leadOut = dataStart + 30000;
    if (sessionKnown) toc.firstSessionLeadOut = kRovicsLeadOut - 150;
    return toc;
}

QString idOf(const platform::TableOfContents &toc) {
    const std::optional<online::MusicBrainzToc> counted = online::musicBrainzToc(toc);
    return counted ? online::discIdOf(*counted) : QStringLiteral("<none>");
}

TEST(DiscId, MatchesTheServiceForPlainAndEnhancedDiscs) {
    EXPECT_EQ(idOf(driveToc(kRovicsOffsets, kRovicsLeadOut)), kRovicsId) << "the recorded disc";
    EXPECT_EQ(idOf(driveToc({150, 9700, 25887, 39297, 53795, 63735, 77517, 94877, 107270, 123552, 135522, 148422,
                             161197, 174790, 192022, 205545, 218010, 228700, 239590, 255470, 266932, 288750},
                            303602)),
              "xUp1F2NkfP8s8jaeFn_Av3jNEI4-")
        << "libdiscid's own example";
    // An enhanced CD counts its audio session alone, ending 11,400 sectors before the data track,
    // whether the drive reports the first session's lead-out or only the data track's start.
    EXPECT_EQ(idOf(enhanced(true)), kRovicsId);
    EXPECT_EQ(idOf(enhanced(false)), kRovicsId);
    platform::TableOfContents dataOnly = driveToc({150}, 30000);
    dataOnly.dataTrack = {true};
    EXPECT_EQ(idOf(dataOnly), "<none>");
}

TEST(DiscId, TocParameterListsFirstLastLeadOutAndOffsets) {
    const online::MusicBrainzToc toc = *online::musicBrainzToc(enhanced(true));
    EXPECT_EQ(online::tocParameter(toc).left(24), "1+16+224238+150+13374+24");
}

// The service's page for adding the recorded disc, in the form its own disc-submission links take.
TEST(DiscId, AttachPageNamesTheDiscItsTracksAndItsToc) {
    EXPECT_EQ(online::attachUrl(*online::musicBrainzToc(enhanced(true))).toString(QUrl::FullyEncoded),
              "https://musicbrainz.org/cdtoc/attach?id=cHW1Uutl_kyWNaLJsLmTGTe4rnE-&tracks=16&toc=1+16+224238+150+13374+"
              "24544+40029+53948+64717+75840+92284+113387+128033+144752+156524+173552+189058+201726+214559");
}

// A release ID names a cache file and a request: only the whole text in its one form passes.
TEST(DiscId, ReleaseIdIsMatchedWhole) {
    EXPECT_TRUE(online::isMusicBrainzId(QStringLiteral("0f3c6d4e-1a2b-4c5d-8e9f-a0b1c2d3e4f5")));
    for (const char *id : {"0f3c6d4e-1a2b-4c5d-8e9f-a0b1c2d3e4f5\n", "0f3c6d4e-1a2b-4c5d-8e9f-a0b1c2d3e4f5/",
                           "\n0f3c6d4e-1a2b-4c5d-8e9f-a0b1c2d3e4f5", "0F3C6D4E-1A2B-4C5D-8E9F-A0B1C2D3E4F5", "",
                           "../../0f3c6d4e-1a2b-4c5d-8e9f-a0b1c2d3e4f5", "0f3c6d4e1-a2b-4c5d-8e9f-a0b1c2d3e4f5",
                           "0f3c6d4e-1a2b-4c5d-8e9f-a0b1c2d3e4g5"})
        EXPECT_FALSE(online::isMusicBrainzId(QString::fromLatin1(id))) << id;
}

// --- the rules of every service -----------------------------------------------------------

TEST(ServiceRules, RedirectsStayOnTheHostAndNeverLeaveHttps) {
    const QStringList imageHosts = {QStringLiteral("archive.org"), QStringLiteral(".archive.org")};
    const struct {
        const char *from;
        const char *to;
        bool allowed;
    } cases[] = {
        {"https://musicbrainz.org/ws/2/discid/x", "https://musicbrainz.org/ws/2/discid/y", true},
        {"http://musicbrainz.org/a", "https://musicbrainz.org/a", true},
        {"https://musicbrainz.org/a", "http://musicbrainz.org/a", false},
        {"https://MusicBrainz.org/a", "https://musicbrainz.ORG/b", true},
        {"https://musicbrainz.org/a", "https://evil.example/a", false},
        {"https://musicbrainz.org/a", "https://musicbrainz.org.evil.example/a", false},
        {"https://musicbrainz.org/a", "ftp://musicbrainz.org/a", false},
        {"https://musicbrainz.org/a", "file:///etc/passwd", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(online::redirectAllowed(QUrl(QString::fromLatin1(c.from)), QUrl(QString::fromLatin1(c.to))), c.allowed)
            << c.from << " -> " << c.to;
    const QUrl archive(QStringLiteral("https://coverartarchive.org/release/x/front-500"));
    EXPECT_TRUE(online::redirectAllowed(archive, QUrl(QStringLiteral("https://ia800.us.archive.org/f.jpg")), imageHosts));
    EXPECT_TRUE(online::redirectAllowed(archive, QUrl(QStringLiteral("https://archive.org/f.jpg")), imageHosts));
    EXPECT_FALSE(online::redirectAllowed(archive, QUrl(QStringLiteral("http://archive.org/f.jpg")), imageHosts));
    EXPECT_FALSE(online::redirectAllowed(archive, QUrl(QStringLiteral("https://notarchive.org/f.jpg")), imageHosts));
}

TEST(ServiceRules, RetryAfterIsReadInSecondsAndAsAnHttpDate) {
    const QDateTime now(QDate(2026, 12, 8), QTime(14, 0, 0), QTimeZone::utc());
    const struct {
        const char *value;
        qint64 ms;
    } cases[] = {
        {"5", 5000},
        {" 120 ", 120000},
        {"0", 0},
        {"-3", 0},
        {"soon", 0},
        {"", 0},
        {"Tue, 08 Dec 2026 14:00:07 GMT", 7000},
        {"Tuesday, 08-Dec-26 14:00:30 GMT", 30000},
        {"Tue Dec  8 14:01:00 2026", 60000},
        {"Tue, 08 Dec 2026 13:59:00 GMT", 0},
        {"999999999", 24 * 3600 * 1000},
        {"Wed, 08 Dec 2027 14:00:00 GMT", 24 * 3600 * 1000},
    };
    for (const auto &c : cases) EXPECT_EQ(online::retryAfterMs(c.value, now), c.ms) << c.value;
}

// --- choosing releases --------------------------------------------------------------------

QJsonObject track(const char *title, const char *recording) {
    return {{"title", title}, {"recording", QJsonObject{{"title", recording}}}};
}

QJsonObject medium(int position, const char *discId, QJsonArray tracks) {
    return {{"position", position},
            {"title", ""},
            {"track-count", tracks.size()},
            {"discs", QJsonArray{QJsonObject{{"id", discId}}}},
            {"tracks", tracks}};
}

QJsonObject release(const char *title, const char *status, const char *script, QJsonArray media) {
    return {{"title", title},
            {"status", status},
            {"text-representation", QJsonObject{{"script", script}}},
            {"artist-credit", QJsonArray{QJsonObject{{"name", "A"}, {"joinphrase", " & "}},
                                         QJsonObject{{"name", "B"}, {"joinphrase", ""}}}},
            {"country", "JP"},
            {"date", "2001-02-03"},
            {"barcode", "4988000000000"},
            {"label-info", QJsonArray{QJsonObject{{"catalog-number", "ABC-1"}, {"label", QJsonObject{{"name", "L"}}}}}},
            {"media", media}};
}

std::vector<Release> offered(QJsonArray releases, const char *discId = "ID") {
    return online::releasesToOffer(online::releasesHoldingDisc({{"releases", releases}}, {discId, 2}));
}

TEST(Releases, RecordedAnswerGivesTheReleaseAndItsOwnTrackTitles) {
    const QJsonObject answer = QJsonDocument::fromJson(recordedAnswer("cHW1Uutl_kyWNaLJsLmTGTe4rnE-.json")).object();
    const std::vector<Release> found = online::releasesHoldingDisc(answer, {kRovicsId, 16});
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].title, "The Other Side");
    EXPECT_EQ(found[0].artist, "David Rovics");
    EXPECT_EQ(found[0].barcode, "700261430249");
    ASSERT_EQ(found[0].trackTitles.size(), 16u);
    EXPECT_TRUE(found[0].trackTitles[1].contains(QChar(0x2019))) << "the typographic apostrophe is kept";
    EXPECT_EQ(found[0].trackTitles[13], "Ballad of Cece McDonald") << "the track's title, not the recording's";
    EXPECT_EQ(found[0].trackTitles[15], "The Ball Is Round");
    EXPECT_TRUE(online::releasesHoldingDisc(answer, {"another-id", 16}).empty());
}

TEST(Releases, KeepsEveryEditionOnTheDiscAndTheMatchingDiscOfASet) {
    const QJsonArray two = {track("One", "one"), track("", "Two (recording)")};
    const std::vector<Release> found = offered({
        release("First", "Official", "Latn", {medium(1, "ID", two)}),
        release("Not this disc", "Official", "Latn", {medium(1, "OTHER", two)}),
        release("Box", "Official", "Latn",
                {medium(1, "OTHER", {track("x", "x"), track("y", "y")}), medium(2, "ID", {track("D2-1", ""), track("D2-2", "")})}),
    });
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].title, "First");
    EXPECT_EQ(found[0].artist, "A & B");
    EXPECT_EQ(found[0].labels, "L ABC-1");
    EXPECT_EQ(found[0].trackTitles, (std::vector<QString>{"One", "Two (recording)"})) << "empty title: the recording's";
    EXPECT_EQ(found[1].title, "Box (Disc 2)");
    EXPECT_EQ(found[1].trackTitles, (std::vector<QString>{"D2-1", "D2-2"}));
}

TEST(Releases, JapaneseOfficialReleaseWinsOverItsRomanisedPseudoRelease) {
    const QJsonArray tracks = {track("一", ""), track("二", "")};
    const std::vector<Release> kept = offered({
        release("Romaji", "Pseudo-Release", "Latn", {medium(1, "ID", tracks)}),
        release("日本語", "Official", "Jpan", {medium(1, "ID", tracks)}),
    });
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].title, QString::fromUtf8("日本語"));
    // Without a Japanese official release, the pseudo-release is all there is: it stays.
    EXPECT_EQ(offered({release("Romaji", "Pseudo-Release", "Latn", {medium(1, "ID", tracks)})}).size(), 1u);
}

// A disc on a hundred editions: the choice lists the best few dozen, official Japanese ones first.
TEST(Releases, ManyEditionsAreCutToTheBestFew) {
    const QJsonArray tracks = {track("a", ""), track("b", "")};
    QJsonArray many;
    for (int i = 0; i < 100; ++i) many.append(release("Bootleg", "Bootleg", "Latn", {medium(1, "ID", tracks)}));
    many.append(release("Official", "Official", "Latn", {medium(1, "ID", tracks)}));
    many.append(release("公式", "Official", "Jpan", {medium(1, "ID", tracks)}));
    const std::vector<Release> found = offered(many);
    ASSERT_EQ(found.size(), 30u);
    EXPECT_EQ(found[0].title, QString::fromUtf8("公式"));
    EXPECT_EQ(found[1].title, "Official");
    EXPECT_EQ(found[2].title, "Bootleg");
}

TEST(Releases, FuzzyAnswerKeepsMediaWithTheDiscsNumberOfTracks) {
    const QJsonObject answer{{"releases", QJsonArray{
        release("Two tracks", "Official", "Latn", {medium(1, "X", {track("a", ""), track("b", "")})}),
        release("Three tracks", "Official", "Latn", {medium(1, "Y", {track("a", ""), track("b", ""), track("c", "")})}),
    }}};
    const std::vector<Release> found = online::releasesHoldingDisc(answer, {QString(), 2});
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].title, "Two tracks");
}

// --- talking to the service ---------------------------------------------------------------

class Lookup : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(service.listening()) << "no stand-in service on 127.0.0.1 (see above)";
        qputenv("TUNEWICK_MUSICBRAINZ_URL", service.base().toUtf8());
    }
    void TearDown() override { qunsetenv("TUNEWICK_MUSICBRAINZ_URL"); }

    // Runs a look-up to its end (a guard ends a look-up that never calls back after a minute).
    std::optional<online::LookupResult> run(const platform::TableOfContents &toc) {
        std::optional<online::LookupResult> result;
        QEventLoop loop;
        lookup.start(toc, [&](const online::LookupResult &r) {
            result = r;
            loop.quit();
        });
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        if (!result) loop.exec();
        return result;
    }

    // Fetches a cover from the stand-in service; "<no answer>" when the callback never came.
    QByteArray cover(const QString &releaseId) {
        qputenv("TUNEWICK_COVERART_URL", service.base().toUtf8());
        std::optional<QByteArray> image;
        QEventLoop loop;
        lookup.fetchCover(releaseId, [&](const QByteArray &bytes) {
            image = bytes;
            loop.quit();
        });
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        if (!image) loop.exec();
        qunsetenv("TUNEWICK_COVERART_URL");
        return image.value_or("<no answer>");
    }
    // The targets of the requests that came, in order.
    QList<QByteArray> targets() const {
        QList<QByteArray> list;
        for (const FakeService::Request &request : service.requests) list << request.target;
        return list;
    }
    // Whether each request came at least a second after the one before it.
    bool oneASecond() const {
        for (qsizetype i = 1; i < service.requests.size(); ++i)
            if (service.requests[i].atMs - service.requests[i - 1].atMs < 1000) return false;
        return true;
    }
    void redirects(int hops, const QByteArray &finalBody) {
        for (int hop = 1; hop <= hops; ++hop) {
            // Relative and absolute addresses in turn.
            const QByteArray to = (hop % 2 ? QByteArray() : service.base().toUtf8()) + "/hop" + QByteArray::number(hop);
            service.script({hop % 2 ? 302 : 307, {}, "Location: " + to + "\r\n"});
        }
        if (!finalBody.isNull()) service.script({200, finalBody, {}});
    }

    FakeService service;
    online::MusicBrainzLookup lookup;
};

const char *const kCoverId = "0f3c6d4e-1a2b-4c5d-8e9f-a0b1c2d3e4f5";

// The peak of the process's resident memory, in MB.
qint64 peakMemoryMb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').value(0).toLongLong() / 1024;
    return -1;
}

const char *const kBadAnswerNote = "MusicBrainz の応答を読めませんでした";
const char *const kBusyNote = "MusicBrainz が混み合っていて応答しませんでした";

TEST_F(Lookup, RecordedAnswerFillsInWithOneRequestNamingTheProgram) {
    service.script({200, recordedAnswer("cHW1Uutl_kyWNaLJsLmTGTe4rnE-.json"), {}});
    const std::optional<online::LookupResult> result = run(driveToc(kRovicsOffsets, kRovicsLeadOut));
    ASSERT_TRUE(result);
    ASSERT_EQ(result->releases.size(), 1u);
    EXPECT_EQ(result->releases[0].trackTitles.size(), 16u);
    EXPECT_TRUE(result->note.isEmpty());
    ASSERT_EQ(service.requests.size(), 1);
    EXPECT_TRUE(service.requests[0].target.startsWith(
        "/ws/2/discid/cHW1Uutl_kyWNaLJsLmTGTe4rnE-?inc=recordings+artist-credits"))
        << service.requests[0].target.constData();
    EXPECT_TRUE(service.requests[0].target.endsWith("fmt=json"));
    EXPECT_TRUE(service.requests[0].userAgent.startsWith("CD-Tunewick32/1.20 ( "));
    EXPECT_TRUE(service.requests[0].userAgent.contains('@'));
}

TEST_F(Lookup, UnknownIdTriesTheTocOnceASecondLater) {
    service.script({404, recordedAnswer("not-found.json"), {}});
    service.script({200, QJsonDocument(QJsonObject{{"releases", QJsonArray{release(
                                           "Fuzzy", "Official", "Latn", {medium(1, "Z", {track("a", ""), track("b", "")})})}}})
                             .toJson(),
                    {}});
    const std::optional<online::LookupResult> result = run(driveToc({150, 20000}, 40000));
    ASSERT_TRUE(result);
    ASSERT_EQ(result->releases.size(), 1u);
    EXPECT_EQ(result->releases[0].title, "Fuzzy");
    ASSERT_EQ(service.requests.size(), 2);
    EXPECT_TRUE(service.requests[1].target.startsWith("/ws/2/discid/-?toc=1+2+40000+150+20000&cdstubs=no"))
        << service.requests[1].target.constData();
    EXPECT_GE(service.requests[1].atMs - service.requests[0].atMs, 1000) << "more than one request a second";

    // Not in the fuzzy answer either: nothing, and a note, after exactly two requests.
    service.requests.clear();
    const std::optional<online::LookupResult> none = run(driveToc({150, 20000}, 40000));
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->releases.empty());
    EXPECT_FALSE(none->note.isEmpty());
    EXPECT_TRUE(none->unknownDisc);
    EXPECT_EQ(service.requests.size(), 2);
}

TEST_F(Lookup, BusyServiceIsAskedOnceMoreNoSoonerThanItSays) {
    service.script({503, "{}", "Retry-After: 0\r\n"});
    service.script({200, recordedAnswer("cHW1Uutl_kyWNaLJsLmTGTe4rnE-.json"), {}});
    std::optional<online::LookupResult> result = run(driveToc(kRovicsOffsets, kRovicsLeadOut));
    ASSERT_TRUE(result);
    EXPECT_EQ(result->releases.size(), 1u);
    ASSERT_EQ(service.requests.size(), 2);
    EXPECT_GE(service.requests[1].atMs - service.requests[0].atMs, 1000) << "Retry-After: 0 still means a second";

    // A longer wait asked for is kept; a second 503 ends the look-up with a note.
    service.requests.clear();
    service.script({503, "{}", "Retry-After: 2\r\n"});
    service.script({503, "{}", "Retry-After: 0\r\n"});
    result = run(driveToc(kRovicsOffsets, kRovicsLeadOut));
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->releases.empty());
    EXPECT_FALSE(result->note.isEmpty());
    ASSERT_EQ(service.requests.size(), 2);
    EXPECT_GE(service.requests[1].atMs - service.requests[0].atMs, 2000);
}

TEST_F(Lookup, BadAnswersAndNoServiceEndWithANoteNotACrash) {
    for (const QByteArray &body : {QByteArray("{not json"), QByteArray("[]"), QByteArray("{\"releases\": 7}")}) {
        SCOPED_TRACE(body.constData());
        service.script({200, body, {}});
        const std::optional<online::LookupResult> result = run(driveToc(kRovicsOffsets, kRovicsLeadOut));
        ASSERT_TRUE(result);
        EXPECT_TRUE(result->releases.empty());
        EXPECT_FALSE(result->note.isEmpty());
    }
    qputenv("TUNEWICK_MUSICBRAINZ_URL", "http://127.0.0.1:1");
    const std::optional<online::LookupResult> refused = run(driveToc(kRovicsOffsets, kRovicsLeadOut));
    ASSERT_TRUE(refused);
    EXPECT_TRUE(refused->releases.empty());
    EXPECT_FALSE(refused->note.isEmpty());
    EXPECT_FALSE(refused->unknownDisc) << "no answer is no sign that the service lacks the disc";
}

// A service that takes the request and never answers: the look-up ends by itself with a note
// (after its time limit), and is not tried again.
TEST_F(Lookup, SilentServiceEndsTheLookUpWithANote) {
    lookup.setTimeLimit(1000);
    service.script({200, {}, {}, true});
    const std::optional<online::LookupResult> result = run(driveToc(kRovicsOffsets, kRovicsLeadOut));
    ASSERT_TRUE(result) << "the look-up never ended";
    EXPECT_TRUE(result->releases.empty());
    EXPECT_FALSE(result->note.isEmpty());
    EXPECT_EQ(service.requests.size(), 1);
}

// What the service answers cannot make the player hold more than the size limit, follow it to
// another host, keep its cookies or wait longer than the time limit.
TEST_F(Lookup, HostileAnswersEndTheLookUpWithANote) {
    const platform::TableOfContents rovics = driveToc(kRovicsOffsets, kRovicsLeadOut);
    service.script({200, {}, {}, false, true});
    std::optional<online::LookupResult> result = run(rovics);
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->releases.empty());
    EXPECT_EQ(result->note.toStdString(), kBadAnswerNote) << "an endless answer";
    EXPECT_LT(service.endlessBytesSent, 16 << 20) << "the download went on past the limit";

    // A redirect to the service's own host is followed; to another host (here 127.0.0.2) not.
    FakeService elsewhere(QHostAddress(QStringLiteral("127.0.0.2")));
    ASSERT_TRUE(elsewhere.listening());
    elsewhere.script({200, recordedAnswer("cHW1Uutl_kyWNaLJsLmTGTe4rnE-.json"), {}});
    service.script({301, {}, "Location: " + service.base().toUtf8() + "/moved\r\n"});
    service.script({200, recordedAnswer("cHW1Uutl_kyWNaLJsLmTGTe4rnE-.json"), {}});
    service.script({302, {}, "Location: " + elsewhere.base().toUtf8() + "/ws/2/discid/x\r\n"});
    result = run(rovics);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->releases.size(), 1u) << "a redirect within the service";
    result = run(rovics);
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->releases.empty()) << "releases from another host";
    EXPECT_EQ(result->note.toStdString(), kBadAnswerNote);
    EXPECT_TRUE(elsewhere.requests.empty());

    // A cookie set by the service is never sent back, neither in this look-up nor the next;
    // no request names the user's language.
    service.requests.clear();
    service.script({404, recordedAnswer("not-found.json"), "Set-Cookie: session=secret; Path=/\r\n"});
    service.script({404, recordedAnswer("not-found.json"), "Set-Cookie: other=secret\r\n"});
    run(rovics);
    run(rovics);
    ASSERT_EQ(service.requests.size(), 4);
    for (const FakeService::Request &request : service.requests) {
        EXPECT_FALSE(request.header("cookie")) << request.head.constData();
        EXPECT_EQ(request.header("accept-language").value_or("*"), "*") << request.head.constData();
    }

    // Busy for longer than the time limit leaves: the look-up ends at once, not after the wait.
    service.requests.clear();
    service.script({503, "{}", "Retry-After: 999999\r\n"});
    result = run(rovics);
    ASSERT_TRUE(result) << "the look-up waited for the Retry-After";
    EXPECT_EQ(result->note.toStdString(), kBusyNote);
    EXPECT_EQ(service.requests.size(), 1);
}

// The cover comes by way of the archive's redirect to its image host; a redirect elsewhere, a 404
// or an ID that is none gives no cover.
TEST_F(Lookup, CoverFollowsTheArchivesRedirectOnly) {
    const QString id = QString::fromLatin1(kCoverId);
    FakeService elsewhere(QHostAddress(QStringLiteral("127.0.0.2")));
    ASSERT_TRUE(elsewhere.listening());
    elsewhere.script({200, "elsewhere", {}});
    service.script({307, {}, "Location: " + service.base().toUtf8() + "/images/front.jpg\r\n"});
    service.script({200, "image bytes", {}});
    service.script({307, {}, "Location: " + elsewhere.base().toUtf8() + "/front.jpg\r\n"});
    service.script({404, "Not Found", {}});
    EXPECT_EQ(cover(id), "image bytes");
    EXPECT_EQ(cover(id), QByteArray()) << "a redirect to another host";
    EXPECT_EQ(cover(id), QByteArray()) << "a 404";
    EXPECT_EQ(cover(QStringLiteral("../../etc")), QByteArray());
    EXPECT_TRUE(elsewhere.requests.empty());
    ASSERT_EQ(service.requests.size(), 4);
    EXPECT_EQ(service.requests[0].target, "/release/" + QByteArray(kCoverId) + "/front-500");
    EXPECT_TRUE(service.requests[0].userAgent.startsWith("CD-Tunewick32/"));
    EXPECT_GE(service.requests[2].atMs - service.requests[1].atMs, 1000) << "more than one request a second";
}

// Redirects are followed one request a second, each sent once: two hops bring the answer, the
// sixth is one too many, for the look-up and the cover alike.
TEST_F(Lookup, RedirectsAreFollowedOneASecondAtMostFive) {
    const platform::TableOfContents rovics = driveToc(kRovicsOffsets, kRovicsLeadOut);
    const QList<QByteArray> twoHops = {"/hop1", "/hop2"};
    const QList<QByteArray> fiveHops = {"/hop1", "/hop2", "/hop3", "/hop4", "/hop5"};
    redirects(2, recordedAnswer("cHW1Uutl_kyWNaLJsLmTGTe4rnE-.json"));
    std::optional<online::LookupResult> result = run(rovics);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->releases.size(), 1u) << result->note.toStdString();
    EXPECT_EQ(targets().mid(1), twoHops);
    EXPECT_TRUE(oneASecond());

    service.requests.clear();
    redirects(6, {});
    result = run(rovics);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->note.toStdString(), kBadAnswerNote) << "six redirects";
    EXPECT_EQ(targets().mid(1), fiveHops) << "the sixth is not followed, none is sent twice";
    EXPECT_TRUE(oneASecond());

    service.requests.clear();
    redirects(2, "image bytes");
    EXPECT_EQ(cover(QString::fromLatin1(kCoverId)), "image bytes");
    EXPECT_EQ(targets(), (QList<QByteArray>{"/release/" + QByteArray(kCoverId) + "/front-500", "/hop1", "/hop2"}));
    EXPECT_TRUE(oneASecond());

    service.requests.clear();
    redirects(6, {});
    EXPECT_EQ(cover(QString::fromLatin1(kCoverId)), QByteArray()) << "six redirects";
    EXPECT_EQ(targets().mid(1), fiveHops);
}

// A Retry-After given as an HTTP date is waited for like one in seconds.
TEST_F(Lookup, BusyServiceIsAskedAgainAtTheDateItNames) {
    const QDateTime at = QDateTime::currentDateTimeUtc().addSecs(4);
    const QByteArray date = QLocale::c().toString(at, QStringLiteral("ddd, dd MMM yyyy hh:mm:ss 'GMT'")).toLatin1();
    service.script({503, "{}", "Retry-After: " + date + "\r\n"});
    service.script({200, recordedAnswer("cHW1Uutl_kyWNaLJsLmTGTe4rnE-.json"), {}});
    const std::optional<online::LookupResult> result = run(driveToc(kRovicsOffsets, kRovicsLeadOut));
    ASSERT_TRUE(result);
    EXPECT_EQ(result->releases.size(), 1u);
    ASSERT_EQ(service.requests.size(), 2);
    // The date counts whole seconds: four from now is at least three.
    EXPECT_GE(service.requests[1].atMs - service.requests[0].atMs, 3000) << date.constData();
}

// No answer is held past 4 MB: a bigger one is refused, and an endless one, sent as fast as the
// machine allows, is cut off as it comes, time after time, with the memory staying bounded.
TEST_F(Lookup, AnswersAreCutOffAtFourMegabytesAsTheyCome) {
    const platform::TableOfContents rovics = driveToc(kRovicsOffsets, kRovicsLeadOut);
    service.script({200, QByteArray(5 << 20, ' '), {}});
    std::optional<online::LookupResult> result = run(rovics);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->note.toStdString(), kBadAnswerNote) << "a 5 MB answer";
    service.script({200, QByteArray(5 << 20, 'x'), {}});
    EXPECT_EQ(cover(QString::fromLatin1(kCoverId)), QByteArray()) << "a 5 MB cover";
    service.script({200, QByteArray(3 << 20, 'x'), {}});
    EXPECT_EQ(cover(QString::fromLatin1(kCoverId)).size(), 3 << 20) << "a 3 MB cover";

    const qint64 memoryBefore = peakMemoryMb();
    for (int i = 0; i < 3; ++i) {
        service.endlessBytesSent = 0;
        service.script({200, {}, {}, false, true});
        result = run(rovics);
        ASSERT_TRUE(result);
        EXPECT_EQ(result->note.toStdString(), kBadAnswerNote);
        EXPECT_LT(service.endlessBytesSent, 16 << 20) << "the look-up read on past the limit";
        service.endlessBytesSent = 0;
        service.script({200, {}, {}, false, true});
        EXPECT_EQ(cover(QString::fromLatin1(kCoverId)), QByteArray());
        EXPECT_LT(service.endlessBytesSent, 16 << 20) << "the cover read on past the limit";
    }
    EXPECT_LT(peakMemoryMb() - memoryBefore, 100);
}

TEST_F(Lookup, CancelledLookUpNeverCallsBack) {
    service.script({200, recordedAnswer("cHW1Uutl_kyWNaLJsLmTGTe4rnE-.json"), {}});
    bool called = false;
    lookup.start(driveToc(kRovicsOffsets, kRovicsLeadOut), [&](const online::LookupResult &) { called = true; });
    lookup.cancel();
    QEventLoop loop;
    QTimer::singleShot(1500, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_FALSE(called);
}

}  // namespace
