// Saving a disc as files: a generated rip with hidden audio and gaps, saved and decoded again with
// the `flac` command (an independent decoder); a simulated drive whose sectors read differently
// each time; and the ways a save can stop, none of which may leave a half-written file.
#include "save/DiscSaver.h"

#include "online/DiscId.h"
#include "platform/backends/CdioSource.h"
#include "platform/backends/RipSource.h"
#include "platform/backends/SectorSource.h"
#include "save/FlacFile.h"
#include "tests/platform/backends/TestDisc.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtEndian>
#include <atomic>
#include <cdio/logging.h>
#include <gtest/gtest.h>
#include <mutex>
#include <set>
#include <sys/file.h>
#include <sys/resource.h>

namespace save {
namespace {

using platform::kSectorBytes;
using platform::testing::patternOf;

// The generated disc: 2 s of hidden audio before track 1 (INDEX 01 at 150), track 2 at 600,
// track 3's gap of 1 s (its own audio, not silence) from 1000 and its start at 1075, track 4 (with
// pre-emphasis) at 1300, lead-out at 1700.
constexpr int kTrack1 = 150, kTrack2 = 600, kTrack3Gap = 1000, kTrack3 = 1075, kTrack4 = 1300,
              kLeadOut = 1700;

QByteArray bytesOf(int from, int to) {
    const std::vector<uint8_t> bytes = patternOf(from, to);
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

void writeFile(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray readFile(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Writes the disc as a raw image with its sheet; `silentPregap` makes the audio before track 1 zeros.
QString writeDisc(const QString &dir, bool silentPregap) {
    QByteArray disc = bytesOf(0, kLeadOut);
    if (silentPregap) disc.fill('\0', kTrack1 * kSectorBytes), disc.append(bytesOf(kTrack1, kLeadOut));
    writeFile(dir + "/disc.bin", disc);
    writeFile(dir + "/disc.cue",
              "CATALOG 4006381333931\n"
              "TITLE \"Sheet title\"\n"
              "FILE \"disc.bin\" BINARY\n"
              "  TRACK 01 AUDIO\n    ISRC USRC17607839\n    INDEX 00 00:00:00\n    INDEX 01 00:02:00\n"
              "  TRACK 02 AUDIO\n    TITLE \"Sheet two\"\n    INDEX 01 00:08:00\n"
              "  TRACK 03 AUDIO\n    INDEX 00 00:13:25\n    INDEX 01 00:14:25\n"
              "  TRACK 04 AUDIO\n    FLAGS DCP PRE\n    INDEX 01 00:17:25\n");
    return dir + "/disc.cue";
}

// Runs a save to its end and returns the result.
SaveResult save(DiscSaver &saver, const SaveOptions &options, int seconds = 60) {
    QSignalSpy finished(&saver, &DiscSaver::finished);
    EXPECT_TRUE(saver.start(options));
    EXPECT_TRUE(finished.wait(seconds * 1000));
    return finished.isEmpty() ? SaveResult{} : finished.first().first().value<SaveResult>();
}

// The samples of a FLAC file as the `flac` command decodes them: raw little-endian 16-bit stereo.
QByteArray decoded(const QString &flacPath) {
    QProcess flac;
    flac.start("flac",
               {"-d", "-s", "-c", "--force-raw-format", "--endian=little", "--sign=signed", flacPath});
    flac.waitForFinished(60000);
    return flac.exitCode() == 0 ? flac.readAllStandardOutput() : QByteArray("decoding failed");
}

QString tagsOf(const QString &flacPath) {
    QProcess metaflac;
    metaflac.start("metaflac", {"--export-tags-to=-", flacPath});
    metaflac.waitForFinished(10000);
    return QString::fromUtf8(metaflac.readAllStandardOutput());
}

uint64_t fnv(uint64_t hash, const void *data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i)
        hash = (hash ^ static_cast<const uint8_t *>(data)[i]) * 1099511628211u;
    return hash;
}

// A check as the AccurateRip one follows the save: it hashes every sample its sinks see and says so
// in the log and in each track's verdict.
class HashCheck : public SaveCheck {
public:
    struct Sink : TrackSink {
        uint64_t hash = 14695981039346656037u;
        void samples(const int16_t *interleaved, std::size_t frames) override {
            hash = fnv(hash, interleaved, frames * 4);
        }
    };
    QList<int> known; // the track starts of the disc it was told of
    void discKnown(const DiscLayout &disc) override {
        known = QList<int>(disc.toc.trackStart.begin(), disc.toc.trackStart.end());
    }
    std::unique_ptr<TrackSink> sinkFor(const TrackSpan &) override { return std::make_unique<Sink>(); }
    void conclude(const std::vector<TrackResult> &tracks, std::vector<std::unique_ptr<TrackSink>> sinks,
                  Concluded done) override {
        std::vector<TrackNote> notes;
        for (size_t i = 0; i < tracks.size(); ++i) {
            const auto *sink = static_cast<Sink *>(sinks.at(i).get());
            notes.push_back({{QString("  hash %1").arg(sink->hash)}, QString("hashed")});
        }
        done({"check disc line"}, notes);
    }
};

class DiscSaverTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { cdio_loglevel_default = CDIO_LOG_ERROR; }
    QTemporaryDir m_dir;
};

// Every sample of the disc lands in the right file (hidden audio in its own, a gap at the end of
// the file before), the cue sheet gives the player back the same disc, and the tags say what the
// caller and the sheet gave. Silence before track 1 is no hidden track: it goes in as PREGAP.
TEST_F(DiscSaverTest, SavedFilesHoldTheDiscExactlyAndTheirSheetIsTheSameDisc) {
    for (const bool silentPregap : {false, true}) {
        SCOPED_TRACE(silentPregap ? "silent pregap" : "hidden audio");
        const QString source = m_dir.filePath(silentPregap ? "silent" : "hidden");
        QDir().mkpath(source);
        const QString sheet = writeDisc(source, silentPregap);
        std::string reason;
        auto original = platform::RipSource::create(sheet.toStdString(), reason);
        ASSERT_TRUE(original) << reason;
        platform::TableOfContents toc;
        original->poll(toc);

        // An indexed PNG of four colours, or a colour JPEG: the picture block gives its size.
        QImage image(silentPregap ? QSize(50, 40) : QSize(30, 20), QImage::Format_Indexed8);
        image.setColorTable({qRgb(0, 0, 0), qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)});
        image.fill(2);
        const QString coverName = silentPregap ? "cover.jpg" : "cover.png";
        ASSERT_TRUE(image.convertToFormat(silentPregap ? QImage::Format_RGB32 : QImage::Format_Indexed8)
                        .save(m_dir.filePath(coverName)));
        SaveOptions options;
        options.source = sheet;
        options.folder = m_dir.filePath(silentPregap ? "out-silent" : "out");
        options.metadata.discTitle = "盤/Disc";
        options.metadata.albumArtist = "Artist";
        options.metadata.trackTitles = {"One", "", "Three: a/b"};
        options.metadata.date = "1998";
        options.metadata.musicBrainzAlbumId = "0b9b3b8e-1f1e-4c4e-9f55-2f1e7a6f1a11";
        options.metadata.musicBrainzTrackIds = {"", "1c9b3b8e-1f1e-4c4e-9f55-2f1e7a6f1a12"};
        options.metadata.coverPath = m_dir.filePath(coverName);
        DiscSaver saver;
        auto check = std::make_shared<HashCheck>();
        saver.setCheck(check);
        const SaveResult result = save(saver, options);
        ASSERT_EQ(result.outcome, Outcome::Ok) << result.message.toStdString();
        EXPECT_EQ(check->known, QList<int>({kTrack1, kTrack2, kTrack3, kTrack4}));

        const QString album = options.folder + "/Artist/盤_Disc";
        EXPECT_EQ(result.albumFolder, album);
        struct Expected {
            QString file;
            int from, to;
        };
        std::vector<Expected> files = {{"01 One.flac", kTrack1, kTrack2},
                                       {"02 Sheet two.flac", kTrack2, kTrack3}, // track 3's gap at its end
                                       {"03 Three: a_b.flac", kTrack3, kTrack4},
                                       {"04 トラック 04.flac", kTrack4, kLeadOut}};
        if (!silentPregap) files.insert(files.begin(), {"00 盤_Disc (隠しトラック).flac", 0, kTrack1});
        ASSERT_EQ(result.tracks.size(), files.size());
        const QString log = QString::fromUtf8(readFile(result.logFile));
        for (size_t i = 0; i < files.size(); ++i) {
            SCOPED_TRACE(files[i].file.toStdString());
            const QByteArray samples = decoded(album + "/" + files[i].file);
            EXPECT_TRUE(samples == bytesOf(files[i].from, files[i].to));
            // The check saw exactly the samples of the file, and its words reached the log.
            const uint64_t hash =
                fnv(14695981039346656037u, samples.constData(), static_cast<size_t>(samples.size()));
            EXPECT_EQ(result.tracks[i].note.verdict, "hashed");
            EXPECT_TRUE(log.contains(QString("  hash %1\n").arg(hash))) << log.toStdString();
        }
        EXPECT_TRUE(log.contains("check disc line"));
        EXPECT_EQ(log.count("ギャップ: 00:01.00"), 1) << log.toStdString(); // track 3's, and only that
        EXPECT_EQ(QDir(album).entryList({"00 *"}, QDir::Files).isEmpty(), silentPregap);
        EXPECT_TRUE(QDir(album).entryList({".*part"}, QDir::Files | QDir::Hidden).isEmpty());

        // The sheet opened by the player: the same table of contents and disc ID, the titles.
        auto copy = platform::RipSource::create((album + "/盤_Disc.cue").toStdString(), reason);
        ASSERT_TRUE(copy) << reason;
        platform::TableOfContents copied;
        ASSERT_EQ(copy->poll(copied), platform::MediaState::Ready);
        EXPECT_EQ(copied.trackStart, toc.trackStart);
        EXPECT_EQ(copied.leadOut, toc.leadOut);
        EXPECT_EQ(copied.hasPreemphasis(4), true);
        EXPECT_EQ(online::discIdOf(*online::musicBrainzToc(copied)),
                  online::discIdOf(*online::musicBrainzToc(toc)));
        EXPECT_EQ(copied.text.title, "盤/Disc");
        EXPECT_EQ(copied.text.trackTitles.at(2), "Three: a/b");
        const QString cue = QString::fromUtf8(readFile(album + "/盤_Disc.cue"));
        EXPECT_TRUE(cue.contains("CATALOG 4006381333931") && cue.contains("ISRC USRC17607839") &&
                    cue.contains("FLAGS PRE DCP"))
            << cue.toStdString();
        EXPECT_EQ(cue.contains("PREGAP 00:02:00"), silentPregap) << cue.toStdString();
        // Track 3's gap ends file 02: its INDEX 00 lies 75 sectors before that file's end.
        EXPECT_TRUE(
            cue.contains("    INDEX 00 00:05:25\nFILE \"03 Three: a_b.flac\" WAVE\n    INDEX 01 00:00:00\n"))
            << cue.toStdString();

        const QString tags = tagsOf(album + "/02 Sheet two.flac");
        for (const char *tag :
             {"TITLE=Sheet two", "ALBUM=盤/Disc", "TRACKNUMBER=2", "TRACKTOTAL=4", "ALBUMARTIST=Artist",
              "DATE=1998", "MUSICBRAINZ_ALBUMID=0b9b3b8e-1f1e-4c4e-9f55-2f1e7a6f1a11",
              "MUSICBRAINZ_TRACKID=1c9b3b8e-1f1e-4c4e-9f55-2f1e7a6f1a12", "MUSICBRAINZ_DISCID="})
            EXPECT_TRUE(tags.contains(QString::fromUtf8(tag))) << tag << "\n" << tags.toStdString();
        EXPECT_TRUE(tagsOf(album + "/01 One.flac").contains("ISRC=USRC17607839"));
        EXPECT_EQ(readFile(album + "/" + coverName), readFile(options.metadata.coverPath));
        QProcess list;
        list.start("metaflac", {"--list", "--block-type=PICTURE", album + "/01 One.flac"});
        list.waitForFinished(10000);
        const QByteArray picture = list.readAllStandardOutput();
        const QByteArray expected =
            silentPregap ? "  MIME type: image/jpeg\n  description: \n  width: 50\n  height: 40\n"
                           "  depth: 24\n  colors: 0 (unindexed)\n"
                         : "  MIME type: image/png\n  description: \n  width: 30\n  height: 20\n"
                           "  depth: 24\n  colors: 4\n";
        EXPECT_TRUE(picture.contains("type: 3 (Cover (front))\n" + expected)) << picture.constData();
        const QString crc = QString::number(result.tracks.back().crc, 16).toUpper().rightJustified(8, '0');
        EXPECT_TRUE(log.contains("CD-Tunewick32") && log.contains(crc)) << log.toStdString();

        // The saved rip saved again keeps its layout: track 3's gap, whose INDEX 00 is in the file
        // before its INDEX 01's, included.
        SaveOptions again;
        again.source = album + "/盤_Disc.cue";
        again.folder = options.folder + "-again";
        DiscSaver resaver;
        const SaveResult resaved = save(resaver, again);
        ASSERT_EQ(resaved.outcome, Outcome::Ok) << resaved.message.toStdString();
        const auto indexLines = [](const QString &sheet) {
            return sheet.split('\n').filter(QRegularExpression("^ *(INDEX|PREGAP|FILE) "));
        };
        EXPECT_EQ(indexLines(QString::fromUtf8(readFile(resaved.cueFile))).join('\n').toStdString(),
                  indexLines(cue).join('\n').toStdString());
    }
}

// Names a file system takes: no '/', control character or leading dot, and at most the byte limit
// in UTF-8 without cutting a character (a surrogate pair is one).
TEST(SafeFileName, ReplacesWhatAFileNameCannotHoldAndCutsWholeCharacters) {
    const QString emoji = QString::fromUtf8("\xF0\x9F\x8E\xB5"); // four bytes, two UTF-16 units
    struct Row {
        QString name;
        int maxBytes;
        QString safe;
    } rows[] = {
        {"AC/DC", 255, "AC_DC"},
        {"x\\y \"z\"", 255, "x_y _z_"}, // a sheet names its files in quotes, and reads a backslash as '/'
        {"a\nb\tc" + QString(QChar(0)) + "d", 255, "a_b_c_d"},
        {"..hidden", 255, "hidden"},
        {" . ", 255, "_"},
        {"", 255, "_"},
        {"日本語", 7, "日本"},   // three bytes each: the third would pass the limit
        {"ab" + emoji, 5, "ab"}, // half of the pair would fit, none of it goes in
        {"ab" + emoji, 6, "ab" + emoji},
    };
    for (const Row &row : rows) {
        EXPECT_EQ(safeFileName(row.name, row.maxBytes), row.safe) << row.name.toStdString();
        EXPECT_LE(safeFileName(row.name, row.maxBytes).toUtf8().size(), row.maxBytes);
    }
}

// A PNG's picture block size comes from its header, and only from a header the PNG format defines:
// a bit depth or colour type it does not know gives no size, a palette no whole count of colours.
TEST(PictureSize, IsReadFromAPngHeaderThePngFormatDefines) {
    // The signature, an IHDR of 50 x 40 pixels (its CRC unchecked), and a PLTE chunk's length.
    const auto png = [](int depth, int colorType, uint32_t paletteBytes) {
        const uint32_t length = qToBigEndian(paletteBytes);
        return QByteArray::fromHex("89504e470d0a1a0a0000000d494844520000003200000028") + char(depth) +
               char(colorType) + QByteArray(7, 0) + QByteArray(reinterpret_cast<const char *>(&length), 4) +
               "PLTE";
    };
    struct Row {
        int depth, colorType;
        uint32_t paletteBytes;
        FlacFile::PictureSize size;
    } rows[] = {
        {2, 3, 12, {50, 40, 24, 4}},
        {8, 6, 0, {50, 40, 32, 0}},
        {16, 0, 0, {50, 40, 16, 0}},
        {2, 3, 0xFFFFFFFF, {50, 40, 24, 0}},
        {2, 3, 771, {50, 40, 24, 0}}, // 257 colours: one more than an index of 8 bits reaches
        {2, 3, 10, {50, 40, 24, 0}},
        {255, 6, 0, {}},
        {4, 2, 0, {}},
        {16, 3, 0, {}},
    };
    for (const Row &row : rows) {
        const FlacFile::PictureSize size =
            FlacFile::pictureSize(png(row.depth, row.colorType, row.paletteBytes));
        EXPECT_EQ(size, row.size) << row.depth << " bits, type " << row.colorType << ", palette "
                                  << row.paletteBytes << ": " << size.depth << " bits, " << size.colors;
    }
}

// A FUSE file system (here bindfs) refuses the kernel's no-replace rename: a save there still
// finishes; the file is moved, and a file that is there kept, also where a second name is refused.
TEST_F(DiscSaverTest, ASaveFinishesOnAFuseFileSystemWithoutReplacingAnything) {
    const QString below = m_dir.filePath("below"), mount = m_dir.filePath("mount");
    QDir().mkpath(below);
    QDir().mkpath(mount);
    if (QProcess::execute("bindfs", {below, mount}) != 0) GTEST_SKIP() << "bindfs cannot mount here";
    struct Unmount {
        QString mount;
        ~Unmount() { QProcess::execute("fusermount", {"-u", mount}); }
    } unmount{mount};

    SaveOptions options;
    options.source = writeDisc(m_dir.path(), false);
    options.folder = mount;
    DiscSaver saver;
    const SaveResult result = save(saver, options);
    EXPECT_EQ(result.outcome, Outcome::Ok) << result.message.toStdString();
    EXPECT_EQ(QDir(result.albumFolder).entryList({"*.flac"}, QDir::Files).size(), 5);
    EXPECT_TRUE(QDir(result.albumFolder).entryList({".*part"}, QDir::Files | QDir::Hidden).isEmpty());

    using Link = int (*)(const char *, const char *);
    const Link refused = [](const char *, const char *) {
        errno = EPERM;
        return -1;
    };
    for (const Link linkFile : {Link(::link), refused}) {
        const QString from = mount + "/new", to = mount + "/old";
        writeFile(from, "new");
        writeFile(to, "the user's");
        EXPECT_FALSE(renameNoReplace(QFile::encodeName(from), QFile::encodeName(to), linkFile));
        EXPECT_EQ(errno, EEXIST);
        EXPECT_EQ(readFile(to), "the user's");
        QFile::remove(to);
        EXPECT_TRUE(renameNoReplace(QFile::encodeName(from), QFile::encodeName(to), linkFile));
        EXPECT_EQ(readFile(to), "new");
        EXPECT_FALSE(QFile::exists(from));
        QFile::remove(to);
    }
}

// A drive in memory: the pattern disc, with sectors that read differently on every read, sectors
// that differ on the first read only, sectors that never read, and a disc that is taken out after
// some reads.
class FlakyDrive : public platform::SectorSource {
public:
    explicit FlakyDrive(platform::TableOfContents toc) : m_toc(std::move(toc)) {}
    int randomFrom = -1, randomTo = -1; // differ on every read
    int onceFrom = -1, onceTo = -1;     // differ on the first read only
    int deadFrom = -1, deadTo = -1;     // never read
    int pullAfterReads = -1;            // the disc goes after this many reads
    std::atomic<int> reads{0};

    platform::MediaState poll(platform::TableOfContents &toc) override {
        if (pulled()) return platform::MediaState::NoDisc;
        toc = m_toc;
        return platform::MediaState::Ready;
    }
    bool read(int lsn, int count, uint8_t *out) override {
        ++reads;
        if (pulled()) return false;
        for (int i = 0; i < count; ++i) {
            const int sector = lsn + i;
            if ((sector >= deadFrom && sector < deadTo)) return false;
            platform::testing::renderPattern(sector, out + static_cast<size_t>(i) * kSectorBytes);
            const bool once = sector >= onceFrom && sector < onceTo && m_seen.insert(sector).second;
            if (once || (sector >= randomFrom && sector < randomTo))
                out[static_cast<size_t>(i) * kSectorBytes + 2000] ^= static_cast<uint8_t>(1 + reads % 250);
        }
        return true;
    }
    bool hasDoor() const override { return true; }
    platform::MediaState knownAtStart(platform::TableOfContents &toc) const override {
        toc = m_toc;
        return platform::MediaState::Ready;
    }
    std::string name() const override { return "flaky drive"; }

private:
    bool pulled() const { return pullAfterReads >= 0 && reads > pullAfterReads; }
    platform::TableOfContents m_toc;
    std::set<int> m_seen;
};

platform::TableOfContents threeTracks() {
    platform::TableOfContents toc;
    toc.firstTrack = 1;
    toc.lastTrack = 3;
    toc.trackStart = {0, 300, 600};
    toc.dataTrack = {false, false, false};
    toc.leadOut = 900;
    return toc;
}

// Each track read twice and compared: a sector that differed once is read again and the track comes
// out whole; sectors that never read the same (or not at all) are named in the log with their
// time, the rest is written, and the save says it is not whole. The read offset shifts every read.
TEST_F(DiscSaverTest, DriveReadsAreComparedAndSectorsThatNeverAgreeAreNamed) {
    auto drive = std::make_shared<FlakyDrive>(threeTracks());
    drive->onceFrom = 100, drive->onceTo = 102;     // track 1
    drive->randomFrom = 400, drive->randomTo = 401; // track 2
    drive->deadFrom = 700, drive->deadTo = 702;     // track 3
    SaveOptions options;
    options.folder = m_dir.filePath("drive");
    options.sectorSource = drive;
    options.readTwice = true;
    options.readOffset = 30; // samples
    options.metadata.discTitle = "Flaky";
    DiscSaver saver;
    const SaveResult result = save(saver, options);
    ASSERT_EQ(result.outcome, Outcome::UnreadableSectors) << result.message.toStdString();
    ASSERT_EQ(result.tracks.size(), 3u);

    EXPECT_EQ(result.tracks[0].state, TrackState::Written);
    EXPECT_GE(result.tracks[0].rereads, 1);
    EXPECT_EQ(result.tracks[0].crc, result.tracks[0].testCrc);
    // 30 samples = 120 bytes later on the disc; past the end of the audio, silence.
    const QByteArray shifted = bytesOf(0, 301).mid(120, 300 * kSectorBytes);
    EXPECT_TRUE(decoded(result.tracks[0].file) == shifted);

    // Sector 400 reads differently every time.
    EXPECT_EQ(result.tracks[1].state, TrackState::Unreadable);
    EXPECT_EQ(result.tracks[1].rereads, 3);
    EXPECT_EQ(result.tracks[1].badSectors, std::vector<int>{400});
    EXPECT_EQ(result.tracks[2].badSectors, (std::vector<int>{699, 700, 701}));
    EXPECT_FALSE(result.tracks[2].file.isEmpty());
    // Past the sectors that never read, track 3 is the disc's; its last 30 samples lie past the audio.
    const QByteArray track3 = decoded(result.tracks[2].file);
    ASSERT_EQ(track3.size(), 300 * kSectorBytes);
    const QByteArray disc3 = bytesOf(600, 900) + QByteArray(kSectorBytes, '\0');
    EXPECT_TRUE(track3.mid(102 * kSectorBytes) == disc3.mid(120 + 102 * kSectorBytes, 198 * kSectorBytes));

    const QString log = QString::fromUtf8(readFile(result.logFile));
    EXPECT_TRUE(log.contains("flaky drive") && log.contains("30")) << log.toStdString();
    EXPECT_TRUE(log.contains("読めないセクタ: 00:05.25 (セクタ 400, トラック内 00:01.25)"))
        << log.toStdString();
    EXPECT_TRUE(log.contains("読めないセクタ: 00:09.24 - 00:09.26 (セクタ 699 - 701, トラック内 00:01.24)"))
        << log.toStdString();
    EXPECT_EQ(result.tracks[0].rereadSectors, (std::vector<int>{100, 101}));
    EXPECT_TRUE(log.contains("読み直したセクタ: 00:01.25 - 00:01.26 (セクタ 100 - 101, トラック内 00:01.25)"))
        << log.toStdString();
}

// A drive that cannot read the pregap before track 1 skips it (and says so); the disc is still saved
// whole, and the cue sheet keeps the pregap's length as PREGAP.
TEST_F(DiscSaverTest, APregapThatDoesNotReadIsSkipped) {
    platform::TableOfContents toc = threeTracks();
    toc.trackStart = {150, 300, 600};
    auto drive = std::make_shared<FlakyDrive>(toc);
    drive->deadFrom = 0, drive->deadTo = 20;
    SaveOptions options;
    options.folder = m_dir.filePath("pregap");
    options.sectorSource = drive;
    options.readTwice = true;
    DiscSaver saver;
    const SaveResult result = save(saver, options);
    ASSERT_EQ(result.outcome, Outcome::Ok) << result.message.toStdString();
    ASSERT_EQ(result.tracks.size(), 3u);
    EXPECT_EQ(result.tracks[0].span.track, 1);
    EXPECT_TRUE(decoded(result.tracks[0].file) == bytesOf(150, 300));
    EXPECT_TRUE(QString::fromUtf8(readFile(result.logFile)).contains("飛ばしました"));
    EXPECT_TRUE(QString::fromUtf8(readFile(result.cueFile)).contains("PREGAP 00:02:00"));
}

// A data track is not audio: it is left out of the files, named in the results and the log, and the
// audio track before it ends where the data begins. The saved sheet keeps the data track's place, so
// that the player opens the rip as the same disc (a mixed-mode disc's data track comes first).
TEST_F(DiscSaverTest, DataTracksAreLeftOut) {
    writeFile(m_dir.filePath("mixed.bin"), bytesOf(0, 900));
    for (const int data : {2, 1}) {
        SCOPED_TRACE(data);
        const char *mode[] = {"AUDIO", "MODE1/2352"};
        writeFile(m_dir.filePath("mixed.cue"), QString("FILE \"mixed.bin\" BINARY\n"
                                                       "  TRACK 01 %1\n    INDEX 01 00:00:00\n"
                                                       "  TRACK 02 %2\n    INDEX 01 00:04:00\n"
                                                       "  TRACK 03 AUDIO\n    INDEX 00 00:07:50\n"
                                                       "    INDEX 01 00:08:00\n")
                                                   .arg(mode[data == 1], mode[data == 2])
                                                   .toUtf8());
        SaveOptions options;
        options.source = m_dir.filePath("mixed.cue");
        options.folder = m_dir.filePath("mixed%1").arg(data);
        DiscSaver saver;
        const SaveResult result = save(saver, options);
        ASSERT_EQ(result.outcome, Outcome::Ok) << result.message.toStdString();
        ASSERT_EQ(result.tracks.size(), 3u);
        const TrackResult &skipped = result.tracks[size_t(data - 1)];
        EXPECT_EQ(skipped.state, TrackState::Skipped);
        EXPECT_TRUE(skipped.file.isEmpty());
        const int audio = 2 - data; // the other of the first two tracks
        EXPECT_TRUE(decoded(result.tracks[size_t(audio)].file) == bytesOf(300 * audio, 300 * audio + 300));
        EXPECT_TRUE(decoded(result.tracks[2].file) == bytesOf(600, 900));
        EXPECT_EQ(QDir(result.albumFolder).entryList({"*.flac"}).size(), 2);
        const QString log = QString::fromUtf8(readFile(result.logFile));
        EXPECT_TRUE(log.contains(QString("トラック %1 はデータトラック").arg(data)));
        // The data track's entry claims no copy and no failure.
        const QString entry = log.section(QString("トラック 0%1\n").arg(data), 1).section("トラック 0", 0, 0);
        EXPECT_TRUE(entry.contains("データトラック")) << entry.toStdString();
        EXPECT_FALSE(entry.contains("CRC32") || entry.contains("保存できませんでした"))
            << entry.toStdString();
        // Track 3's gap is saved at the end of track 2's file, or in no file when track 2 is data.
        const QString third = log.section("トラック 03\n", 1);
        EXPECT_TRUE(third.contains(data == 1
                                       ? "ギャップ: 00:00.25 (前のファイルの終わりに保存)"
                                       : "ギャップ: 00:00.25 (データトラックの中にあるので保存しません)"))
            << third.toStdString();

        std::string reason;
        auto original = platform::RipSource::create(options.source.toStdString(), reason);
        auto copy = platform::RipSource::create(result.cueFile.toStdString(), reason);
        ASSERT_TRUE(original && copy) << reason;
        platform::TableOfContents before, after;
        ASSERT_EQ(original->poll(before), platform::MediaState::Ready);
        ASSERT_EQ(copy->poll(after), platform::MediaState::Ready);
        EXPECT_EQ(after, before) << QString::fromUtf8(readFile(result.cueFile)).toStdString();
        EXPECT_EQ(online::musicBrainzToc(after), online::musicBrainzToc(before));
        EXPECT_EQ(online::musicBrainzToc(after).has_value(), data == 1);
    }
}

// A rip of the disc (its audio raw or as FLAC), opened and measured, whose audio file is then cut
// to 40 % of its length.
std::shared_ptr<platform::SectorSource> shrunkenRip(const QString &folder, bool flac) {
    QDir().mkpath(folder + "/rip");
    writeFile(folder + "/rip/disc.bin", bytesOf(0, kLeadOut));
    QString audio = "disc.bin";
    if (flac) {
        audio = "disc.flac";
        QProcess::execute("flac", {"-s", "--force-raw-format", "--endian=little", "--sign=signed",
                                   "--channels=2", "--bps=16", "--sample-rate=44100", "-o",
                                   folder + "/rip/disc.flac", folder + "/rip/disc.bin"});
    }
    writeFile(folder + "/rip/disc.cue", "FILE \"" + audio.toUtf8() + (flac ? "\" WAVE\n" : "\" BINARY\n") +
                                            "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
    std::string reason;
    auto rip = platform::RipSource::create((folder + "/rip/disc.cue").toStdString(), reason);
    EXPECT_TRUE(rip) << reason;
    QFile file(folder + "/rip/" + audio);
    file.resize(file.size() * 2 / 5);
    return rip;
}

// A disc image (.toc, read through libcdio) whose file loses its last 30 sectors after it was opened.
std::shared_ptr<platform::SectorSource> shrunkenImage(const QString &folder) {
    QDir().mkpath(folder + "/image");
    writeFile(folder + "/image/disc.bin", bytesOf(0, kLeadOut));
    writeFile(folder + "/image/disc.toc", "CD_DA\nTRACK AUDIO\nAUDIOFILE \"disc.bin\" 00:00:00 00:22:50\n");
    std::string reason;
    auto image = platform::CdioSource::create((folder + "/image/disc.toc").toStdString(), reason);
    EXPECT_TRUE(image) << reason;
    platform::TableOfContents opened; // the image is opened at its first look
    EXPECT_EQ(image->poll(opened), platform::MediaState::Ready);
    QFile(folder + "/image/disc.bin").resize(qint64(kLeadOut - 30) * kSectorBytes);
    return image;
}

// A check whose answer is slow: Cancel then ends the save without it. Every file is written already,
// so the save is whole and the log is written, without the check's notes.
TEST_F(DiscSaverTest, CancelWhileTheCheckIsAwaitedWritesTheLogWithoutIt) {
    struct SlowCheck : HashCheck {
        bool concluded = false, abandoned = false;
        Concluded later;
        void conclude(const std::vector<TrackResult> &, std::vector<std::unique_ptr<TrackSink>>,
                      Concluded done) override {
            concluded = true;
            later = std::move(done);
        }
        void abandon() override { abandoned = true; }
    };
    SaveOptions options;
    options.source = writeDisc(m_dir.path(), false);
    options.folder = m_dir.filePath("slow");
    DiscSaver saver;
    auto check = std::make_shared<SlowCheck>();
    saver.setCheck(check);
    QSignalSpy finished(&saver, &DiscSaver::finished);
    ASSERT_TRUE(saver.start(options));
    for (int i = 0; i < 600 && !check->concluded; ++i)
        finished.wait(100);
    ASSERT_TRUE(check->concluded && finished.isEmpty());
    saver.cancel();
    ASSERT_TRUE(finished.wait(10000));
    const SaveResult result = finished.first().first().value<SaveResult>();
    EXPECT_EQ(result.outcome, Outcome::Ok) << result.message.toStdString();
    EXPECT_TRUE(check->abandoned);
    EXPECT_TRUE(QFile::exists(result.logFile));
    check->later({"too late"}, {});
    EXPECT_FALSE(QString::fromUtf8(readFile(result.logFile)).contains("too late"));
    EXPECT_EQ(finished.size(), 1);
}

// Every way a save stops early names its cause and leaves no incomplete file under a final name and
// nothing the user had changed.
TEST_F(DiscSaverTest, ASaveThatStopsLeavesNoHalfWrittenFile) {
    const QString sheet = writeDisc(m_dir.path(), false);
    enum Case {
        FilesExist,
        Unwritable,
        DiskFull,
        Cancel,
        DiscOut,
        CutShort,
        CutShortFlac,
        CutShortImage,
        Second
    };
    struct Row {
        Case what;
        Outcome outcome;
    };
    for (const Row row : {Row{FilesExist, Outcome::FilesExist},
                          {Unwritable, Outcome::Unwritable},
                          {DiskFull, Outcome::DiskFull},
                          {Cancel, Outcome::Cancelled},
                          {DiscOut, Outcome::DiscRemoved},
                          {CutShort, Outcome::SourceCutShort},
                          {CutShortFlac, Outcome::SourceCutShort},
                          {CutShortImage, Outcome::SourceCutShort},
                          {Second, Outcome::AnotherSave}}) {
        SCOPED_TRACE(static_cast<int>(row.what));
        const QString folder = m_dir.filePath(QString("case%1").arg(row.what));
        const QString album = folder + "/Disc";
        QDir().mkpath(album);
        const QString users = album + "/02 Two.flac";
        writeFile(users, "the user's own file");
        SaveOptions options;
        options.source = sheet;
        options.folder = folder;
        options.metadata.discTitle = "Disc";
        options.metadata.trackTitles = {"One", row.what == FilesExist ? "Two" : "Zwei"};
        auto drive = std::make_shared<FlakyDrive>(threeTracks());
        if (row.what == Unwritable) {
            writeFile(folder + "/file", "x");
            options.folder = folder + "/file/below";
        }
        if (row.what == DiscOut) {
            options.sectorSource = drive;
            options.readTwice = true;
            drive->pullAfterReads = 12;
        }
        if (row.what == CutShort || row.what == CutShortFlac) // the rip's file shrinks after it was opened
            options.sectorSource = shrunkenRip(folder, row.what == CutShortFlac);
        if (row.what == CutShortImage) options.sectorSource = shrunkenImage(folder);
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        const rlimit before = limit;
        if (row.what == DiskFull) {
            limit.rlim_cur = 600 * 1024; // no track's file fits: track 1 is 1 MB
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        DiscSaver saver, other;
        QSignalSpy finished(&saver, &DiscSaver::finished);
        QSignalSpy known(&saver, &DiscSaver::discKnown);
        ASSERT_TRUE(saver.start(options));
        if (row.what == Second) { // the first save holds the lock
            ASSERT_TRUE(known.wait(60000));
        }
        if (row.what == Cancel) saver.cancel();
        SaveResult second;
        if (row.what == Second) second = save(other, options);
        ASSERT_TRUE(finished.wait(60000));
        setrlimit(RLIMIT_FSIZE, &before);
        const SaveResult result = row.what == Second ? second : finished.first().first().value<SaveResult>();
        EXPECT_EQ(result.outcome, row.outcome) << result.message.toStdString();
        EXPECT_FALSE(result.message.isEmpty());
        if (row.what == FilesExist) {
            EXPECT_TRUE(result.existing.contains(users));
        }
        EXPECT_EQ(readFile(users), "the user's own file");
        // Whatever has a final name decodes whole; no temporary file is left.
        for (const QString &name : QDir(album).entryList({"*.flac"}, QDir::Files)) {
            if (album + "/" + name == users) continue;
            QProcess test;
            test.start("flac", {"-t", "-s", album + "/" + name});
            test.waitForFinished(60000);
            EXPECT_EQ(test.exitCode(), 0) << name.toStdString();
        }
        EXPECT_TRUE(QDir(album).entryList({".*part"}, QDir::Files | QDir::Hidden).isEmpty());
        if (row.what != Second) {
            EXPECT_FALSE(QFile::exists(album + "/Disc.cue"));
        }
    }

    // A save that ends with nothing written (cancelled, or its saver gone as the program quits)
    // takes away the album and artist folders it made, and only those.
    for (const bool quit : {false, true}) {
        SaveOptions options;
        options.source = sheet;
        options.folder = m_dir.filePath(quit ? "quit" : "cancel");
        options.metadata.albumArtist = "Artist";
        QDir().mkpath(options.folder);
        {
            DiscSaver saver;
            QSignalSpy finished(&saver, &DiscSaver::finished);
            ASSERT_TRUE(saver.start(options));
            if (!quit) {
                saver.cancel();
                ASSERT_TRUE(finished.wait(60000));
                EXPECT_EQ(finished.first().first().value<SaveResult>().outcome, Outcome::Cancelled);
            }
        }
        EXPECT_TRUE(QDir(options.folder).isEmpty()) << quit;
        EXPECT_TRUE(QFileInfo::exists(options.folder));
    }

    // A lock that another user made first, where a runtime folder that is not the user's own would
    // have put it, stops no save.
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    const QString open = m_dir.filePath("open-to-all");
    QDir().mkpath(open);
    QFile::setPermissions(open, QFileDevice::Permissions(0x7777));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(open));
    QFile squatted(open + QString("/cd-tunewick32-save-%1.lock").arg(getuid()));
    ASSERT_TRUE(squatted.open(QIODevice::WriteOnly));
    ASSERT_EQ(flock(squatted.handle(), LOCK_EX | LOCK_NB), 0);
    SaveOptions options;
    options.source = sheet;
    options.folder = m_dir.filePath("squatted");
    DiscSaver saver;
    const SaveResult result = save(saver, options);
    qputenv("XDG_RUNTIME_DIR", runtime);
    EXPECT_EQ(result.outcome, Outcome::Ok) << result.message.toStdString();
}

} // namespace
} // namespace save
