#include "online/MusicBrainzLookup.h"
#include "platform/backends/MemorySource.h"
#include "save/AccurateRipSaveCheck.h"
#include "tests/online/FakeService.h"

#include <QEventLoop>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// A disc of three tracks (20, 15 and 25 sectors) whose samples are a function of their position.
platform::TableOfContents threeTracks() {
    platform::TableOfContents toc;
    toc.firstTrack = 1;
    toc.lastTrack = 3;
    toc.trackStart = {0, 20, 35};
    toc.dataTrack = {false, false, false};
    toc.leadOut = 60;
    return toc;
}

void render(int lsn, uint8_t *sector) {
    for (int i = 0; i < platform::kSectorBytes; ++i)
        sector[i] = uint8_t((lsn * 2352 + i) * 2654435761u >> 13);
}

void appendLittleEndian(QByteArray &bytes, uint32_t value, int size = 4) {
    for (int i = 0; i < size; ++i)
        bytes.append(char((value >> (8 * i)) & 0xff));
}

// Each track's checksums as the database would hold them for this disc.
std::vector<std::pair<uint32_t, uint32_t>> checksumsOf(const platform::TableOfContents &toc) {
    std::vector<std::pair<uint32_t, uint32_t>> sums;
    for (int track = toc.firstTrack; track <= toc.lastTrack; ++track) {
        const int sectors = toc.endOf(track) - toc.startOf(track);
        save::AccurateRipChecksum sum(uint64_t(sectors) * 588, save::accurateRipPlace(toc, track));
        std::vector<uint8_t> sector(platform::kSectorBytes);
        for (int lsn = toc.startOf(track); lsn < toc.endOf(track); ++lsn) {
            render(lsn, sector.data());
            sum.add(sector);
        }
        sums.emplace_back(sum.v1(), sum.v2());
    }
    return sums;
}

// One response: track 1 by its v2, track 2 by its v1, track 3 with a checksum of another pressing.
QByteArray answerFor(const platform::TableOfContents &toc) {
    const auto sums = checksumsOf(toc);
    const save::AccurateRipIds ids = *save::accurateRipIds(toc);
    QByteArray bytes;
    appendLittleEndian(bytes, 3, 1);
    for (uint32_t id : {ids.id1, ids.id2, ids.freeDb})
        appendLittleEndian(bytes, id);
    for (uint32_t checksum : {sums[0].second, sums[1].first, sums[2].first + 1}) {
        appendLittleEndian(bytes, 9, 1);
        appendLittleEndian(bytes, checksum);
        appendLittleEndian(bytes, 0);
    }
    return bytes;
}

struct Saved {
    save::SaveResult result;
    QString log;
};

// `cancelWhenWritten`: Cancel a second after the last track is written, while the answer is awaited.
Saved saveWith(std::shared_ptr<save::SaveCheck> check, const QString &folder, bool cancelWhenWritten = false) {
    save::DiscSaver saver;
    saver.setCheck(std::move(check));
    save::SaveOptions options;
    options.folder = folder;
    options.metadata.discTitle = QStringLiteral("Generated");
    options.sectorSource = std::make_shared<platform::MemorySource>(threeTracks(), render);
    std::optional<save::SaveResult> result;
    QEventLoop loop;
    QObject::connect(&saver, &save::DiscSaver::finished, [&](const save::SaveResult &r) {
        result = r;
        loop.quit();
    });
    int written = 0;
    QObject::connect(&saver, &save::DiscSaver::trackFinished, [&](const save::TrackResult &) {
        if (++written == 3 && cancelWhenWritten) QTimer::singleShot(1000, &saver, &save::DiscSaver::cancel);
    });
    EXPECT_TRUE(saver.start(options));
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    if (!result) loop.exec();
    if (!result) return {};
    QFile log(result->logFile);
    EXPECT_TRUE(log.open(QIODevice::ReadOnly)) << result->logFile.toStdString();
    return {*result, QString::fromUtf8(log.readAll())};
}

// The save's one pass gives each track's checksums and verdict against the answer the service
// gives; a difference and a disc not in the database are reported and the save still succeeds.
TEST(AccurateRipSave, EveryTrackGetsItsChecksumsAndVerdictWithoutFailingTheSave) {
    FakeService service;
    ASSERT_TRUE(service.listening());
    qputenv("TUNEWICK_ACCURATERIP_URL", service.base().toUtf8());
    online::MusicBrainzLookup lookup;
    service.script({200, answerFor(threeTracks()), {}});
    service.script({404, "Not Found", {}});
    const auto sums = checksumsOf(threeTracks());

    QTemporaryDir folder;
    Saved saved = saveWith(std::make_shared<save::AccurateRipSaveCheck>(&lookup), folder.path() + "/a");
    ASSERT_EQ(saved.result.outcome, save::Outcome::Ok) << saved.result.message.toStdString();
    ASSERT_EQ(saved.result.tracks.size(), 3u);
    // Each track's result line (the command line's and the log's) gives its checksums and verdict.
    const auto hex = [](uint32_t value) {
        return QStringLiteral("%1").arg(value, 8, 16, QLatin1Char('0')).toUpper();
    };
    const auto result = [&](size_t i, const char *verdict) {
        return QStringLiteral("AccurateRip v1 %1, v2 %2: ").arg(hex(sums[i].first), hex(sums[i].second)) +
               QString::fromUtf8(verdict);
    };
    const std::vector<const char *> verdicts = {"一致 (信頼度 9)", "一致 (信頼度 9)", "不一致"};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(saved.result.tracks[i].note.verdict, result(i, verdicts[i])) << "track " << i + 1;
        EXPECT_TRUE(saved.log.contains(result(i, verdicts[i]))) << "track " << i + 1 << " in the log";
    }
    EXPECT_TRUE(saved.log.contains("(応答 1 件)")) << saved.log.toStdString();

    saved = saveWith(std::make_shared<save::AccurateRipSaveCheck>(&lookup), folder.path() + "/b");
    EXPECT_EQ(saved.result.outcome, save::Outcome::Ok);
    EXPECT_EQ(saved.result.tracks[0].note.verdict, result(0, "データベースにありません"));
    EXPECT_EQ(service.requests.size(), 2);

    // Without consent nothing is sent and the log says how to allow it.
    saved = saveWith(std::make_shared<save::AccurateRipSaveCheck>(nullptr, QStringLiteral("allow it so")),
                     folder.path() + "/c");
    EXPECT_EQ(saved.result.outcome, save::Outcome::Ok);
    EXPECT_EQ(saved.result.tracks[0].note.verdict, result(0, "照合していません"));
    EXPECT_TRUE(saved.log.contains("allow it so"));
    EXPECT_EQ(service.requests.size(), 2);

    // Cancelled while a silent service is awaited: every track keeps its checksums in the log, with
    // no verdict, and the log says the answer was not waited for.
    service.script({200, {}, {}, true});
    saved = saveWith(std::make_shared<save::AccurateRipSaveCheck>(&lookup), folder.path() + "/d", true);
    EXPECT_TRUE(saved.log.contains("AccurateRip: 応答を待たずに中止しました")) << saved.log.toStdString();
    for (size_t i = 0; i < 3; ++i)
        EXPECT_TRUE(saved.log.contains(result(i, "照合していません"))) << "track " << i + 1;
    qunsetenv("TUNEWICK_ACCURATERIP_URL");
}

} // namespace
