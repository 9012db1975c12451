#include "online/MusicBrainzLookup.h"
#include "save/AccurateRipCheck.h"
#include "tests/online/FakeService.h"

#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <gtest/gtest.h>
#include <random>

namespace {

using save::AccurateRipCheck;
using save::AccurateRipVerdict;
using Verdict = AccurateRipVerdict;

QByteArray sharedAnswer(const char *name) {
    QFile file(QStringLiteral(ACCURATERIP_ANSWERS "/") + QString::fromLatin1(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void appendLittleEndian(QByteArray &bytes, uint32_t value, int size = 4) {
    for (int i = 0; i < size; ++i)
        bytes.append(char((value >> (8 * i)) & 0xff));
}

// A generated disc of three audio tracks (20, 15 and 25 sectors of noise) with each track's
// checksums as the save computes them in one pass.
struct GeneratedDisc {
    platform::TableOfContents toc;
    std::vector<uint32_t> v1, v2;

    GeneratedDisc() {
        toc.firstTrack = 1;
        toc.lastTrack = 3;
        toc.trackStart = {0, 20, 35};
        toc.dataTrack = {false, false, false};
        toc.leadOut = 60;
        std::mt19937 noise(41);
        for (int track = 1; track <= 3; ++track) {
            const int sectors = toc.endOf(track) - toc.startOf(track);
            QByteArray samples;
            for (int i = 0; i < sectors * 588; ++i)
                appendLittleEndian(samples, uint32_t(noise()));
            save::AccurateRipChecksum sum(uint64_t(sectors) * 588, save::accurateRipPlace(toc, track));
            sum.add({reinterpret_cast<const uint8_t *>(samples.constData()), size_t(samples.size())});
            v1.push_back(sum.v1());
            v2.push_back(sum.v2());
        }
    }

    // An answer of two responses: track 1 known by its v2 (confidence 5), track 2 by its v1
    // (confidence 3), track 3 by neither.
    QByteArray answer() const {
        const save::AccurateRipIds ids = *save::accurateRipIds(toc);
        QByteArray bytes;
        const std::vector<std::pair<int, std::vector<uint32_t>>> responses = {
            {5, {v2[0], v1[1] ^ 0x100, v1[2] ^ 1}}, {3, {v1[0] ^ 0x100, v1[1], v2[2] ^ 1}}};
        for (const auto &[confidence, checksums] : responses) {
            appendLittleEndian(bytes, uint32_t(ids.audioTracks), 1);
            for (uint32_t id : {ids.id1, ids.id2, ids.freeDb})
                appendLittleEndian(bytes, id);
            for (uint32_t checksum : checksums) {
                appendLittleEndian(bytes, uint32_t(confidence), 1);
                appendLittleEndian(bytes, checksum);
                appendLittleEndian(bytes, 0);
            }
        }
        return bytes;
    }
};

platform::TableOfContents oneTrackDisc() {
    platform::TableOfContents toc;
    toc.firstTrack = toc.lastTrack = 1;
    toc.trackStart = {0};
    toc.dataTrack = {false};
    toc.leadOut = 279037;
    return toc;
}

class AccurateRipFetch : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(service.listening()) << "no stand-in service on 127.0.0.1 (see above)";
        qputenv("TUNEWICK_ACCURATERIP_URL", (service.base() + QStringLiteral("/accuraterip/")).toUtf8());
        qputenv("TUNEWICK_MUSICBRAINZ_URL", service.base().toUtf8());
        lookup.setTimeLimit(5000);
    }
    void TearDown() override {
        qunsetenv("TUNEWICK_ACCURATERIP_URL");
        qunsetenv("TUNEWICK_MUSICBRAINZ_URL");
    }

    // Runs the check to its outcome (a guard ends one that never calls back after a minute).
    void run(AccurateRipCheck &check, online::TitleLookup *asked, const platform::TableOfContents &toc) {
        bool ready = false;
        QEventLoop loop;
        check.start(asked, toc, [&] {
            ready = true;
            loop.quit();
        });
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        if (!ready) loop.exec();
        ASSERT_TRUE(ready);
    }

    FakeService service;
    online::MusicBrainzLookup lookup;
};

// Each answer the database can give, served from 127.0.0.1, gives the verdict on every track:
// a match by v2 or by v1, a difference, 404, and no verdict for an answer that cannot be trusted.
TEST_F(AccurateRipFetch, EveryKindOfAnswerGivesItsVerdicts) {
    const GeneratedDisc disc;
    const Verdict notAccurate{Verdict::NotAccurate, 0}, notInDatabase{Verdict::NotInDatabase, 0},
        unreadable{Verdict::Unreadable, 0}, notChecked{Verdict::NotChecked, 0};
    struct Case {
        const char *what;
        FakeService::Answer answer;
        AccurateRipCheck::Outcome outcome;
        std::vector<Verdict> verdicts;
    };
    const std::vector<Case> cases = {
        {"computed answer",
         {200, disc.answer(), {}},
         AccurateRipCheck::Outcome::Answered,
         {{Verdict::Accurate, 5}, {Verdict::Accurate, 3}, notAccurate}},
        {"404",
         {404, "Not Found", {}},
         AccurateRipCheck::Outcome::NotInDatabase,
         {notInDatabase, notInDatabase, notInDatabase}},
        {"truncated",
         {200, disc.answer().chopped(5), {}},
         AccurateRipCheck::Outcome::Unreadable,
         {unreadable, unreadable, unreadable}},
        {"recorded truncated",
         {200, sharedAnswer("truncated_response.bin"), {}},
         AccurateRipCheck::Outcome::Unreadable,
         {unreadable, unreadable, unreadable}},
        {"another disc's header",
         {200, sharedAnswer("wrong_header.bin"), {}},
         AccurateRipCheck::Outcome::Unreadable,
         {unreadable, unreadable, unreadable}},
        {"empty", {200, {}, {}}, AccurateRipCheck::Outcome::Unreadable, {unreadable, unreadable, unreadable}},
        {"server error",
         {500, "oops", {}},
         AccurateRipCheck::Outcome::NoAnswer,
         {notChecked, notChecked, notChecked}},
    };
    const QByteArray path = "/accuraterip/" + save::accurateRipPath(*save::accurateRipIds(disc.toc)).toUtf8();
    for (const Case &c : cases) {
        service.requests.clear();
        service.script(c.answer);
        AccurateRipCheck check;
        run(check, &lookup, disc.toc);
        EXPECT_EQ(check.outcome(), c.outcome) << c.what;
        for (int track = 1; track <= 3; ++track)
            EXPECT_EQ(check.verdict(track, disc.v1[size_t(track - 1)], disc.v2[size_t(track - 1)]),
                      c.verdicts[size_t(track - 1)])
                << c.what << ", track " << track;
        ASSERT_EQ(service.requests.size(), 1) << c.what;
        EXPECT_EQ(service.requests[0].target, path) << c.what;
    }
}

// The recorded answer of a real disc, asked for by the IDs of its table of contents; the request
// carries the User-Agent and nothing of the user's.
TEST_F(AccurateRipFetch, RecordedAnswerIsAskedByTheDiscsIdsWithNothingElse) {
    service.script({200, sharedAnswer("dBAR-001-000441fd-000883fb-020e8801.bin"), {}});
    service.script(
        {200, sharedAnswer("dBAR-001-000441fd-000883fb-020e8801.bin"), "Set-Cookie: id=secret\r\n"});
    AccurateRipCheck check;
    run(check, &lookup, oneTrackDisc());
    EXPECT_EQ(check.verdict(1, 0x11111111, 0x2716541e), (Verdict{Verdict::Accurate, 7}));
    EXPECT_EQ(check.verdict(1, 0x80345486, 0x11111111), (Verdict{Verdict::Accurate, 6}));
    run(check, &lookup, oneTrackDisc());
    ASSERT_EQ(service.requests.size(), 2);
    EXPECT_EQ(service.requests[0].target, "/accuraterip/d/f/1/dBAR-001-000441fd-000883fb-020e8801.bin");
    const QList<QByteArray> allowed = {
        "host", "user-agent", "accept", "accept-language", "accept-encoding", "connection"};
    for (const FakeService::Request &request : service.requests) {
        EXPECT_TRUE(request.userAgent.startsWith("CD-Tunewick32/"));
        for (const QByteArray &line : request.head.split('\n').mid(1)) {
            const QByteArray name = line.left(line.indexOf(':')).trimmed().toLower();
            if (name.isEmpty()) continue;
            EXPECT_TRUE(allowed.contains(name)) << "sent: " << line.constData();
        }
    }
    EXPECT_GE(service.requests[1].atMs - service.requests[0].atMs, 1000) << "more than one request a second";
}

// No consent asks nothing; an endless answer is cut off at the size limit, a silent one at the time
// limit; a redirect to another host is not followed.
TEST_F(AccurateRipFetch, SendsNothingWithoutConsentAndKeepsTheLimits) {
    const GeneratedDisc disc;
    AccurateRipCheck check;
    run(check, nullptr, disc.toc);
    EXPECT_EQ(check.outcome(), AccurateRipCheck::Outcome::NotAsked);
    EXPECT_EQ(check.verdict(1, disc.v1[0], disc.v2[0]).kind, Verdict::NotChecked);

    service.script({200, {}, {}, false, true});
    run(check, &lookup, disc.toc);
    EXPECT_EQ(check.outcome(), AccurateRipCheck::Outcome::NoAnswer) << "an endless answer";
    EXPECT_TRUE(check.summary().endsWith(QStringLiteral("(AccurateRip の応答が大きすぎます)")))
        << "not cut off at 64 KB: " << check.summary().toStdString();

    // A service that never answers ends the wait at the time limit: the save's log is not held. The
    // limit counts from the ask and the request waits a second after the last one, so a limit of one
    // second would often end before anything is sent, and the stand-in would give its silence to
    // the next request.
    lookup.setTimeLimit(2000);
    service.script({200, {}, {}, true});
    run(check, &lookup, disc.toc);
    ASSERT_EQ(service.requests.size(), 2) << "the request to the silent service was never sent";
    EXPECT_TRUE(check.summary().endsWith(QStringLiteral("(AccurateRip が時間内に応答しませんでした)")))
        << check.summary().toStdString();
    lookup.setTimeLimit(5000);

    FakeService elsewhere(QHostAddress(QStringLiteral("127.0.0.2")));
    ASSERT_TRUE(elsewhere.listening());
    elsewhere.script({200, disc.answer(), {}});
    service.script({302, {}, "Location: " + elsewhere.base().toUtf8() + "/x.bin\r\n"});
    run(check, &lookup, disc.toc);
    EXPECT_EQ(check.outcome(), AccurateRipCheck::Outcome::NoAnswer) << "a redirect to another host";
    EXPECT_TRUE(elsewhere.requests.empty());
    EXPECT_TRUE(check.summary().contains(QStringLiteral("転送先には従いませんでした (HTTP 302"))) // not "too big"
        << check.summary().toStdString();
    service.script({301, {}, "Location: " + service.base().toUtf8() + "/moved.bin\r\n"});
    service.script({200, disc.answer(), {}});
    run(check, &lookup, disc.toc);
    EXPECT_EQ(check.outcome(), AccurateRipCheck::Outcome::Answered) << "a redirect within the service";
    EXPECT_EQ(service.requests.size(), 1 + 1 + 1 + 2);
}

// The release's artist credits, date and IDs for the saved files' tags, from a recorded release.
TEST_F(AccurateRipFetch, ReleaseDetailsComeForTheMediumThatCarriesTheDisc) {
    const QJsonObject recorded =
        QJsonDocument::fromJson(recordedAnswer("cHW1Uutl_kyWNaLJsLmTGTe4rnE-.json")).object();
    const QByteArray release = QJsonDocument(recorded["releases"].toArray().at(0).toObject()).toJson();
    const QString id = QStringLiteral("6109ceed-7e21-490b-b5ad-3a66b4e4cfbb");
    const QString discId = QStringLiteral("cHW1Uutl_kyWNaLJsLmTGTe4rnE-");
    service.script({200, release, {}});
    service.script({200, release, {}});
    service.script({404, "{}", {}});
    QString note;
    const auto fetch = [&](const QString &releaseId) {
        std::optional<std::optional<online::ReleaseDetails>> result;
        QEventLoop loop;
        lookup.fetchReleaseDetails(releaseId, discId, 16,
                                   [&](const std::optional<online::ReleaseDetails> &d, const QString &why) {
                                       result = d;
                                       note = why;
                                       loop.quit();
                                   });
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        if (!result) loop.exec();
        return result.value_or(std::nullopt);
    };
    const std::optional<online::ReleaseDetails> details = fetch(id);
    ASSERT_TRUE(details);
    EXPECT_EQ(details->albumArtist, "David Rovics");
    EXPECT_EQ(details->date, "2015");
    EXPECT_EQ(details->discId, discId);
    ASSERT_EQ(details->tracks.size(), 16u);
    EXPECT_EQ(details->tracks[0].trackId, "4116eea3-b9c2-452a-8d63-92f1e585b225");
    EXPECT_EQ(details->tracks[0].recordingId, "b191794d-b7c6-4d6f-971e-0a543959b5ad");
    EXPECT_EQ(details->tracks[0].artist, "David Rovics");
    EXPECT_EQ(note, "");
    EXPECT_FALSE(fetch(QStringLiteral("0f3c6d4e-1a2b-4c5d-8e9f-a0b1c2d3e4f5")))
        << "an answer for another release";
    EXPECT_EQ(note, "MusicBrainz の応答を読めませんでした");
    EXPECT_FALSE(fetch(id)) << "a 404";
    EXPECT_EQ(note, "MusicBrainz の応答を受け取れませんでした (HTTP 404)");
    EXPECT_FALSE(fetch(QStringLiteral("../../etc"))) << "no MusicBrainz ID";
    EXPECT_EQ(note, "") << "nothing was asked";
    ASSERT_EQ(service.requests.size(), 3);
    EXPECT_EQ(service.requests[0].target,
              "/ws/2/release/" + id.toUtf8() + "?inc=artist-credits+recordings+discids&fmt=json");
}

} // namespace
