#include "save/AccurateRip.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace {

using save::AccurateRipIds;
using save::AccurateRipVerdict;
using save::TrackPlace;

QByteArray recorded(const QString &name) {
    QFile file(QStringLiteral(ACCURATERIP_ANSWERS "/") + name);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
    return file.readAll();
}

std::span<const uint8_t> bytesOf(const QByteArray &bytes) {
    return {reinterpret_cast<const uint8_t *>(bytes.constData()), size_t(bytes.size())};
}

// A TOC from start positions with the 150-sector lead-in, as the database's examples give them.
platform::TableOfContents tocOf(const std::vector<int> &startsWithLeadIn, int leadOutWithLeadIn,
                                const std::vector<bool> &data = {}) {
    platform::TableOfContents toc;
    toc.firstTrack = 1;
    toc.lastTrack = int(startsWithLeadIn.size());
    for (int start : startsWithLeadIn)
        toc.trackStart.push_back(start - 150);
    toc.dataTrack = data.empty() ? std::vector<bool>(startsWithLeadIn.size(), false) : data;
    toc.leadOut = leadOutWithLeadIn - 150;
    return toc;
}

platform::TableOfContents recordedToc99() {
    const QJsonObject json =
        QJsonDocument::fromJson(recorded(QStringLiteral("toc-099-tracks.json"))).object();
    std::vector<int> starts;
    for (const QJsonValue &start : json.value(QStringLiteral("track-offsets-lba")).toArray())
        starts.push_back(start.toInt());
    return tocOf(starts, json.value(QStringLiteral("lead-out-lba")).toInt());
}

QString nameOf(const platform::TableOfContents &toc) {
    const std::optional<AccurateRipIds> ids = save::accurateRipIds(toc);
    return ids ? save::accurateRipPath(*ids).section(QLatin1Char('/'), -1) : QString();
}

// The IDs name the recorded answers; an enhanced CD counts its true lead-out (the audio session's
// end gives other IDs) and a mixed-mode disc leaves its data track out of ID 1 and ID 2.
TEST(AccurateRipIds, NameTheDatabaseFilesOfKnownDiscs) {
    const std::vector<int> enhancedAudio = {150,    12767,  40487,  63225,  93410,
                                            118115, 151865, 184340, 215260, 247455};
    std::vector<int> enhancedAll = enhancedAudio;
    enhancedAll.push_back(281735);
    std::vector<bool> lastIsData(11, false);
    lastIsData.back() = true;
    platform::TableOfContents enhanced = tocOf(enhancedAll, 333801, lastIsData);
    enhanced.firstSessionLeadOut = 270335 - 150;

    const std::vector<int> mixedStarts = {150,    66728,  76502,  85963,  93760,  104048, 116066, 124743,
                                          134206, 142916, 151852, 160720, 169425, 178731, 188459, 196711,
                                          206354, 214845, 223686, 225746, 226384, 232668, 239447, 239931,
                                          244989, 254264, 260066, 261222, 261674};
    std::vector<bool> firstIsData(mixedStarts.size(), false);
    firstIsData.front() = true;

    EXPECT_EQ(nameOf(tocOf({150}, 279187)), QStringLiteral("dBAR-001-000441fd-000883fb-020e8801.bin"));
    EXPECT_EQ(nameOf(recordedToc99()), QStringLiteral("dBAR-099-009fc8d0-224410e4-6308d763.bin"));
    EXPECT_EQ(nameOf(enhanced), QStringLiteral("dBAR-010-00164419-00b9f6e2-9e11600b.bin"));
    EXPECT_EQ(nameOf(tocOf(mixedStarts, 261976, firstIsData)),
              QStringLiteral("dBAR-028-00517a54-05a845d2-af0da31d.bin"));
    EXPECT_EQ(save::accurateRipPath(*save::accurateRipIds(tocOf({150}, 279187))),
              QStringLiteral("d/f/1/dBAR-001-000441fd-000883fb-020e8801.bin"));
    // The first and last audio tracks leave out their edges, and the answer counts audio tracks only.
    const platform::TableOfContents mixed = tocOf(mixedStarts, 261976, firstIsData);
    EXPECT_EQ(save::accurateRipPlace(mixed, 2), TrackPlace::First);
    EXPECT_EQ(save::accurateRipIndex(mixed, 2), 0u);
    EXPECT_EQ(save::accurateRipIndex(mixed, 29), 27u);
    EXPECT_EQ(save::accurateRipPlace(enhanced, 10), TrackPlace::Last);
    EXPECT_EQ(save::accurateRipPlace(enhanced, 9), TrackPlace::Middle);
    EXPECT_FALSE(save::accurateRipIds(tocOf({150}, 279187, {true})));
    EXPECT_FALSE(save::accurateRipIds(platform::TableOfContents{}));
}

// One second of samples whose words are ((3k mod 65536) << 16) | (k mod 65536), as bytes on the disc.
QByteArray workedSecond() {
    QByteArray bytes;
    for (uint32_t k = 0; k < 44100; ++k) {
        const uint32_t word = ((3 * k) % 65536) << 16 | (k % 65536);
        for (int shift = 0; shift < 32; shift += 8)
            bytes.append(char((word >> shift) & 0xff));
    }
    return bytes;
}

// The database's worked values for each place on the disc, fed in pieces that split samples.
TEST(AccurateRipChecksum, GivesTheWorkedValuesForEveryPlaceOnTheDisc) {
    struct Case {
        TrackPlace place;
        uint32_t v1, v2;
    };
    const QByteArray second = workedSecond();
    for (const Case &c :
         {Case{TrackPlace::Only, 0xbd749f90, 0xd895af06}, Case{TrackPlace::First, 0x28cc447c, 0x49f86595},
          Case{TrackPlace::Middle, 0xb3b57554, 0xd4e779f8}, Case{TrackPlace::Last, 0x485dd068, 0x6384c369}}) {
        for (qsizetype piece : {qsizetype(2352), qsizetype(7), second.size()}) {
            save::AccurateRipChecksum sum(44100, c.place);
            for (qsizetype at = 0; at < second.size(); at += piece)
                sum.add(bytesOf(second.mid(at, piece)));
            EXPECT_EQ(sum.v1(), c.v1) << int(c.place) << " piece " << piece;
            EXPECT_EQ(sum.v2(), c.v2) << int(c.place) << " piece " << piece;
            EXPECT_EQ(sum.samplesSeen(), 44100u);
        }
    }
}

// Every recorded answer reads with the responses it holds; an answer cut inside an entry, a header
// for another disc, an empty answer or one for other IDs cannot be trusted at all.
TEST(AccurateRipAnswer, ReadsRecordedAnswersAndRefusesUntrustworthyOnes) {
    const AccurateRipIds one{1, 0x000441fd, 0x000883fb, 0x020e8801};
    const AccurateRipIds thirteen{13, 0x00206791, 0x01486a82, 0xa710de0d};
    const AccurateRipIds fortyTwo{42, 0x00b15696, 0x110290c9, 0xb6115d2b};
    const AccurateRipIds ninetyNine{99, 0x009fc8d0, 0x224410e4, 0x6308d763};

    const auto read = [](const char *name, const AccurateRipIds &ids) {
        return save::readAccurateRipAnswer(bytesOf(recorded(QString::fromLatin1(name))), ids);
    };
    const auto answer = read("dBAR-001-000441fd-000883fb-020e8801.bin", one);
    ASSERT_TRUE(answer);
    ASSERT_EQ(answer->size(), 2u);
    EXPECT_EQ((*answer)[0][0].confidence, 7);
    EXPECT_EQ((*answer)[0][0].checksum, 0x2716541eu);
    EXPECT_EQ((*answer)[1][0].confidence, 6);
    EXPECT_EQ((*answer)[1][0].checksum, 0x80345486u);
    EXPECT_EQ(read("dBAR-013-00206791-01486a82-a710de0d.bin", thirteen)->size(), 1u);
    EXPECT_EQ(read("dBAR-042-00b15696-110290c9-b6115d2b.bin", fortyTwo)->at(0).size(), 42u);
    EXPECT_EQ(read("dBAR-099-009fc8d0-224410e4-6308d763.bin", ninetyNine)->size(), 5u);

    EXPECT_FALSE(read("truncated_response.bin", thirteen));
    EXPECT_FALSE(read("wrong_header.bin", thirteen));
    EXPECT_FALSE(read("dBAR-013-00206791-01486a82-a710de0d.bin", fortyTwo));
    AccurateRipIds otherFreeDb = one;
    otherFreeDb.freeDb ^= 1;
    EXPECT_FALSE(read("dBAR-001-000441fd-000883fb-020e8801.bin", otherFreeDb));
    EXPECT_FALSE(save::readAccurateRipAnswer({}, one));
    // A whole first response followed by a second one cut short.
    const QByteArray cut = recorded(QStringLiteral("dBAR-001-000441fd-000883fb-020e8801.bin")).chopped(1);
    EXPECT_FALSE(save::readAccurateRipAnswer(bytesOf(cut), one));
}

// A track matches when either checksum is in any response; confidences of matching responses add up.
TEST(AccurateRipVerdict, MatchesByV1OrV2AgainstEveryResponse) {
    const auto answer = save::readAccurateRipAnswer(
        bytesOf(recorded(QStringLiteral("dBAR-001-000441fd-000883fb-020e8801.bin"))),
        {1, 0x000441fd, 0x000883fb, 0x020e8801});
    ASSERT_TRUE(answer);
    using V = AccurateRipVerdict;
    EXPECT_EQ(save::accurateRipVerdict(*answer, 0, 0x11111111, 0x2716541e), (V{V::Accurate, 7}));
    EXPECT_EQ(save::accurateRipVerdict(*answer, 0, 0x80345486, 0x11111111), (V{V::Accurate, 6}));
    EXPECT_EQ(save::accurateRipVerdict(*answer, 0, 0x80345486, 0x2716541e), (V{V::Accurate, 13}));
    EXPECT_EQ(save::accurateRipVerdict(*answer, 0, 0x2716541f, 0x80345487).kind, V::NotAccurate);
    EXPECT_EQ(save::accurateRipVerdict(*answer, 1, 0x80345486, 0x2716541e).kind, V::NotAccurate);
}

} // namespace
