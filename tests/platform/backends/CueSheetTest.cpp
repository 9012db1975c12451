// Cue sheets written by real rippers and by other projects' test suites (tests/platform/backends/sheets,
// with their origins in MANIFEST.tsv), and sheets in the encodings and shapes rippers produce.
#include "platform/backends/CueSheet.h"

#include <QStringEncoder>

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace platform {
namespace {

std::string sheetBytes(const std::string &name) {
    std::ifstream in(std::string(TUNEWICK_SHEETS) + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The sheet laid out with every file long enough for its indexes.
std::optional<RipLayout> laidOut(const CueSheet &sheet, std::string &reason) {
    std::vector<RipLayout::Extent> extents(sheet.files.size(), {100LL * 60 * 75 * kSectorBytes, 100LL * 60 * 75});
    return RipLayout::build(sheet, extents, reason);
}

TEST(CueSheetTest, RealSheetsGiveTheDrivesTableOrAReasonNamingWhatIsWrong) {
    struct Case {
        const char *sheet;
        size_t tracks;        // 0: refused
        const char *expected; // the last track's title (empty: not checked), or a part of the reason
        int firstStart = 0;
    } cases[] = {
        {"11_ru_cp1251.cue", 4, "Трек 04"}, // code page 1251, found by the detector
        {"12_ru_utf8_BOM.cue", 4, "Трек 04"},
        {"14_02_dragonattack.cue", 11, "Bush, Ian, Throne, Vera, Ian / It's Late", 30},
        {"15_03_stonecold.cue", 11, "Jack Russel - We Will Rock You"},
        {"17_10_First_index00.cue", 0, "15 行目を読めません: トラック番号が続いていません"},
        {"18_01_lower_case.cue", 4, "Short track 4", 33},
        {"24_Multiple_WAV_Files_With_Gaps_Noncompliant.cue", 8, ""},
        {"29_Amarok.cue", 1, "", 12},
        {"31_1.cue", 0, "トラック 1 に INDEX 01 がありません"}, // a data track first is not a stub left at the end
        {"34_good.001.cue", 28, ""},
        {"35_good.004.dos_format.missing_final_newline.cue", 1, ""},
        {"37_bad.138.TRACK_num_non_sequential.cue", 0, "6 行目を読めません: トラック番号が続いていません"},
        {"38_bad.067.INDEX_illegal_offset.cue", 0, "4 行目を読めません: INDEX は"},
        {"40_bad.140.no_TRACKs.cue", 0, "キューシートにトラックがありません"},
        {"41_bad.065.INDEX_num_out_of_range.cue", 0, "104 行目を読めません: INDEX は"},
        {"43_bad.060.INDEX_wrong_place.cue", 0, "2 行目を読めません: INDEX の前に TRACK がありません"},
        {"47_99_tracks.cue", 99, "Suck"},
        {"67_shift_jis.cue", 2, "二番目のトラック"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.sheet);
        std::string reason;
        std::optional<CueSheet> sheet = CueSheet::parse(sheetBytes(c.sheet), reason);
        if (c.tracks == 0) {
            EXPECT_FALSE(sheet);
            EXPECT_NE(reason.find(c.expected), std::string::npos) << reason;
            continue;
        }
        ASSERT_TRUE(sheet) << reason;
        EXPECT_EQ(sheet->tracks.size(), c.tracks);
        if (*c.expected) {
            EXPECT_EQ(sheet->tracks.back().title, c.expected);
        }
        std::optional<RipLayout> layout = laidOut(*sheet, reason);
        ASSERT_TRUE(layout) << reason;
        EXPECT_EQ(layout->toc.trackStart.front(), c.firstStart);
    }
    std::string reason;
    std::optional<CueSheet> russian = CueSheet::parse(sheetBytes("11_ru_cp1251.cue"), reason);
    ASSERT_TRUE(russian);
    EXPECT_EQ(russian->title, "Альбом");
}

// The same sheet in UTF-16 either way round with its byte-order mark reads as in UTF-8; without a
// mark it is refused with its encoding named rather than "no tracks".
TEST(CueSheetTest, Utf16SheetsReadAsTextAndAnUnreadableEncodingIsNamed) {
    const QString text = QString::fromUtf8(sheetBytes("12_ru_utf8_BOM.cue").substr(3));
    for (QStringConverter::Encoding encoding : {QStringConverter::Utf16LE, QStringConverter::Utf16BE}) {
        QStringEncoder withMark(encoding, QStringConverter::Flag::WriteBom);
        const QByteArray bytes = withMark(text);
        std::string reason;
        std::optional<CueSheet> sheet = CueSheet::parse(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())), reason);
        ASSERT_TRUE(sheet) << reason;
        EXPECT_EQ(sheet->title, "Альбом");
        EXPECT_EQ(sheet->tracks.size(), 4u);
        EXPECT_TRUE(sheet->utf8);
    }
    QStringEncoder withoutMark(QStringConverter::Utf16LE);
    const QByteArray bare = withoutMark(text);
    std::string reason;
    EXPECT_FALSE(CueSheet::parse(std::string_view(bare.constData(), static_cast<size_t>(bare.size())), reason));
    EXPECT_NE(reason.find("文字コード"), std::string::npos) << reason;
    EXPECT_EQ(reason.find("トラックがありません"), std::string::npos) << reason;
    // Zero bytes padding out an otherwise good sheet are no reason to refuse it.
    EXPECT_TRUE(CueSheet::parse(sheetBytes("29_Amarok.cue") + std::string(16, '\0'), reason)) << reason;
}

// An enhanced CD's sheet ends with the data track the ripper did not rip, with or without a FILE of
// its own: the audio tracks play, the data track is left out. Any other track without INDEX 01 is
// still refused.
TEST(CueSheetTest, AnUnrippedDataTrackAtTheEndIsLeftOutAndAnAudioTrackWithoutIndexIsNot) {
    const std::string audio = "FILE \"a.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 01 00:02:00\n";
    for (const char *stub : {"TRACK 03 MODE1/2352\n", "FILE \"data.bin\" BINARY\n  TRACK 03 MODEx/2xxx\r\n"}) {
        SCOPED_TRACE(stub);
        std::string reason;
        std::optional<CueSheet> sheet = CueSheet::parse(audio + std::string(stub), reason);
        ASSERT_TRUE(sheet) << reason;
        ASSERT_EQ(sheet->tracks.size(), 2u);
        std::optional<RipLayout> layout = laidOut(*sheet, reason);
        ASSERT_TRUE(layout) << reason;
        EXPECT_EQ(layout->toc.lastTrack, 2);
        EXPECT_EQ(layout->toc.dataTrack, (std::vector<bool>{false, false}));
    }
    for (const std::string &bad : {audio + "TRACK 03 AUDIO\n", std::string("FILE \"a.wav\" WAVE\nTRACK 01 MODE1/2352\nTRACK 02 AUDIO\nINDEX 01 00:00:00\n"),
                                  audio + "TRACK 03 MODE1/2352\nTRACK 04 MODE1/2352\n"}) {
        std::string reason;
        EXPECT_FALSE(CueSheet::parse(bad, reason)) << bad;
        EXPECT_NE(reason.find("INDEX 01 がありません"), std::string::npos) << reason;
    }
}

} // namespace
} // namespace platform
