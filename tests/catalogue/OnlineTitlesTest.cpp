#include "tests/catalogue/CatalogueFixture.h"

#include "app/SettingsFile.h"
#include "catalogue/CatalogueEditor.h"
#include "catalogue/CoverArt.h"
#include "catalogue/CoverImage.h"
#include "catalogue/OnlineTitles.h"
#include "desktop/MediaControls.h"
#include "online/DiscId.h"
#include "ui/Form1.h"
#include "ui/ReleaseChoice.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImageWriter>
#include <QThread>
#include <QDesktopServices>
#include <QDir>
#include <QImage>
#include <QPushButton>
#include <QMessageBox>

namespace {

// A service that answers when the test says so.
class ScriptedLookup : public online::TitleLookup {
public:
    void start(const platform::TableOfContents &, Done done) override {
        ++starts;
        pending = std::move(done);
    }
    void cancel() override { pending = nullptr; }
    void fetchCover(const QString &releaseId, CoverDone done) override {
        if (!releaseId.isEmpty()) coversAsked << releaseId;
        pendingCover = std::move(done);
    }
    void giveCover(const QByteArray &image) {
        CoverDone done = std::move(pendingCover);
        pendingCover = nullptr;
        if (done) done(image);
    }
    // Delivers the answer as the event loop would.
    void answer(const online::LookupResult &result) {
        Done done = std::move(pending);
        pending = nullptr;
        if (done) done(result);
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }

    int starts = 0;
    Done pending;
    QStringList coversAsked;
    CoverDone pendingCover;
};

// Records the addresses the program hands to the desktop's browser.
class Browser : public QObject {
    Q_OBJECT
public:
    Browser() { QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "open"); }
    ~Browser() override { QDesktopServices::unsetUrlHandler(QStringLiteral("https")); }
    QList<QUrl> opened;
public Q_SLOTS:
    void open(const QUrl &url) { opened << url; }
};

class OnlineTitles : public CatalogueFixture {
protected:
    void SetUp() override {
        QDir(coverCacheFolder()).removeRecursively();
        CatalogueFixture::SetUp();
        auto lookup = std::make_unique<ScriptedLookup>();
        service = lookup.get();
        setTitleLookup(std::move(lookup));
    }
    void TearDown() override {
        setCoverCheck(nullptr);
        setTitleLookup(nullptr);
        CatalogueFixture::TearDown();
    }

    static bool isConsentQuestion(QDialog *dialog) {
        return isQuestion(dialog) && dialog->windowTitle() == QStringLiteral("タイトルの検索");
    }
    static std::string storedConsent() {
        return SettingsFile(QStringLiteral("ROTOR.INI")).ReadText("Online", "MusicBrainz", "<none>");
    }

    // Loads `disc`, takes the one release found for it and saves the titles (or only closes).
    void takeRelease(const platform::SimulatedDisc &disc, const char *releaseId, bool save = true);

    ScriptedLookup *service = nullptr;
    int consentQuestions = 0;
};

online::Release release(const char *title, std::vector<QString> tracks, const char *script = "Jpan",
                        const char *id = "") {
    online::Release r;
    r.id = QString::fromLatin1(id);
    r.title = QString::fromUtf8(title);
    r.status = QStringLiteral("Official");
    r.script = QString::fromUtf8(script);
    r.trackTitles = std::move(tracks);
    return r;
}

// One scenario through the whole flow: the question asked once, the choice between two editions,
// titles going only where the disc and the user left the editor empty, control characters
// blanked, nothing written before 保存, the next disc looked up without asking again; closed
// without 保存, the disc is registered with the title the user gave, never the one found online.
TEST_F(OnlineTitles, ConsentOnceThenChosenTitlesFillOnlyEmptyPlaces) {
    platform::SimulatedDisc disc = platform::SimulatedDisc::ofSeconds({10, 20, 30});
    disc.text = {"", {"", "CD-Text", ""}};
    int choices = 0;
    answerModal = [&](QDialog *dialog) {
        if (isConsentQuestion(dialog)) {
            ++consentQuestions;
            EXPECT_EQ(service->starts, 0) << "a request before the answer";
            press(dialog, QStringLiteral("はい(&Y)"));
            return 0;
        }
        if (auto *choice = qobject_cast<TReleaseChoice *>(dialog)) {
            ++choices;
            EXPECT_EQ(choice->List->topLevelItemCount(), 3) << "two editions and the row for none";
            choice->List->setCurrentItem(choice->List->topLevelItem(1));
            return int(QDialog::Accepted);
        }
        if (press(dialog, QStringLiteral("はい(&Y)"))) {
            EXPECT_EQ(service->starts, 1) << "the look-up starts as the question shows";
            return 0;
        }
        CD_Database->show();
        CD_Database->SG1->item(3, 1)->setText(QStringLiteral("typed"));
        EXPECT_FALSE(CD_Database->Edit1->placeholderText().isEmpty()) << "no note while looking up";
        service->answer({{release("Edition A", {"a1", "a2", "a3"}),
                          release("盤\x01" "B", {QString::fromUtf8("一\n曲"), "b2", "b3", "b4"})},
                         {}});
        EXPECT_EQ(choices, 1);
        EXPECT_EQ(CD_Database->Edit1->text(), QStringLiteral("盤 B"));
        EXPECT_EQ(CD_Database->SG1->cellText(1, 1), QStringLiteral("一 曲"));
        EXPECT_EQ(CD_Database->SG1->cellText(1, 2), QStringLiteral("CD-Text")) << "the disc's own title stays";
        EXPECT_EQ(CD_Database->SG1->cellText(1, 3), QStringLiteral("typed")) << "the user's typing stays";
        EXPECT_EQ(fileBytes(lengthOf(disc)), "<none>") << "written before 保存";
        CD_Database->BitBtn2->click();
        CD_Database->BitBtn1Click(CD_Database->BitBtn1);
        return int(QDialog::Rejected);
    };
    load(disc);
    EXPECT_EQ(fileBytes(lengthOf(disc)), sjis("盤 B\r\n一 曲\r\nCD-Text\r\ntyped\r\n"));
    EXPECT_EQ(storedConsent(), "1");
    EXPECT_TRUE(Form1->PM_ONLINE->Checked());

    // The next new disc: no question, straight to the look-up; one release fills in directly,
    // and the answer may come before the editor opens.
    eject();
    answerModal = [&](QDialog *dialog) {
        if (press(dialog, QStringLiteral("はい(&Y)"))) {
            service->answer({{release("Only", {"o1", "o2"})}, {}});
            return 0;
        }
        CD_Database->show();
        QCoreApplication::processEvents();
        EXPECT_EQ(CD_Database->Edit1->text(), QStringLiteral("Only"));
        EXPECT_EQ(CD_Database->SG1->cellText(1, 2), QStringLiteral("o2"));
        CD_Database->BitBtn1Click(CD_Database->BitBtn1);
        return int(QDialog::Rejected);
    };
    const platform::SimulatedDisc second = platform::SimulatedDisc::ofSeconds({40, 50});
    load(second);
    EXPECT_EQ(consentQuestions, 1);
    EXPECT_EQ(service->starts, 2);
    EXPECT_EQ(choices, 1);
    EXPECT_EQ(fileBytes(lengthOf(second)), "----------------\r\n") << "closing registered the title found online";

    eject();
    answerModal = [&](QDialog *dialog) {
        if (press(dialog, QStringLiteral("はい(&Y)"))) return 0;
        CD_Database->show();
        service->answer({{release("Found", {"f1"})}, {}});
        CD_Database->Edit1->QLineEdit::setText(CD_Database->Edit1->text() + QStringLiteral(" (mine)"));
        CD_Database->BitBtn1Click(CD_Database->BitBtn1);
        return int(QDialog::Rejected);
    };
    const platform::SimulatedDisc third = platform::SimulatedDisc::ofSeconds({41});
    load(third);
    EXPECT_EQ(fileBytes(lengthOf(third)), "Found (mine)\r\n") << "the title the user made of it";
}

TEST_F(OnlineTitles, NothingGoesOutWithoutConsentOrForADiscWithAFile) {
    const platform::SimulatedDisc disc = platform::SimulatedDisc::ofSeconds({10, 20});
    answerModal = [&](QDialog *dialog) {
        if (isConsentQuestion(dialog)) ++consentQuestions;
        return int(QDialog::Rejected);  // Esc: no, and no registration
    };
    load(disc);
    EXPECT_EQ(consentQuestions, 1);
    EXPECT_EQ(storedConsent(), "0");
    EXPECT_EQ(service->starts, 0);
    EXPECT_FALSE(Form1->PM_ONLINE->Checked());

    // Switched on from the menu; a disc with a catalogue file is still never looked up.
    Form1->PM_ONLINE->trigger();
    EXPECT_EQ(storedConsent(), "1");
    EXPECT_TRUE(Form1->PM_ONLINE->Checked());
    eject();
    const platform::SimulatedDisc known = platform::SimulatedDisc::ofSeconds({33, 44});
    writeCatalogue(lengthOf(known), {"Known"});
    load(known);
    EXPECT_EQ(service->starts, 0);
    EXPECT_EQ(consentQuestions, 1);
}

// ROTOR.INI is a folder: the failure to keep the answer is said once, the look-up and the
// registration question go on, and the next disc is not asked about again.
TEST_F(OnlineTitles, ConsentThatCannotBeKeptHoldsForTheRun) {
    QDir().mkpath(settingsPath());
    int registrationQuestions = 0;
    answerModal = [&](QDialog *dialog) {
        if (isConsentQuestion(dialog)) {
            ++consentQuestions;
            press(dialog, QStringLiteral("はい(&Y)"));
            return 0;
        }
        if (isQuestion(dialog)) ++registrationQuestions;
        return int(QDialog::Rejected);
    };
    load(platform::SimulatedDisc::ofSeconds({10, 20}));
    EXPECT_EQ(service->starts, 1);
    EXPECT_EQ(registrationQuestions, 1);
    EXPECT_TRUE(Form1->PM_ONLINE->Checked());
    eject();
    load(platform::SimulatedDisc::ofSeconds({11, 21}));
    EXPECT_EQ(consentQuestions, 1);
    EXPECT_EQ(service->starts, 2);
    EXPECT_EQ(registrationQuestions, 2);
    EXPECT_EQ(errors, std::vector<std::string>{"ROTOR.INI に書き込めません."});
    QDir(settingsPath()).removeRecursively();
}

// Runs the event loop until the cover that came has been checked (ten seconds at most) and returns
// the longest the window's thread was held meanwhile, in ms.
qint64 settleCoverCheck() {
    QElapsedTimer clock, sinceLast;
    clock.start();
    sinceLast.start();
    qint64 longest = 0;
    while (coverBeingChecked() && clock.elapsed() < 10000) {
        QCoreApplication::processEvents();
        longest = std::max(longest, sinceLast.restart());
        QThread::msleep(2);
    }
    return longest;
}

std::string bytesOf(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : "<none>";
}

QByteArray encoded(const QImage &image, const char *format, bool progressive = false) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setProgressiveScanWrite(progressive);
    writer.write(image);
    return bytes;
}

QByteArray segment(int marker, const QByteArray &content) {
    const int length = int(content.size()) + 2;
    const char head[] = {'\xFF', char(marker), char(length >> 8), char(length & 0xFF)};
    return QByteArray(head, 4) + content;
}

// A 2000 x 2000 greyscale progressive JPEG of `scans` scans after the first: each covers all of its
// 62,500 blocks with two end-of-band runs in four bytes, so 250,000 of them make 3.5 MB that a
// decoder needs minutes to run through.
QByteArray scanBomb(int scans) {
    QByteArray jpeg("\xFF\xD8", 2);
    jpeg += segment(0xDB, QByteArray(1, '\0') + QByteArray(64, '\1'));
    jpeg += segment(0xC2, QByteArray("\x08\x07\xD0\x07\xD0\x01\x01\x11\x00", 9));
    // One code each, of one bit: a DC difference of 0, and an end-of-band run of 2^14 + 14 bits.
    const QByteArray oneCode = QByteArray("\x01", 1) + QByteArray(15, '\0');
    jpeg += segment(0xC4, QByteArray(1, '\x00') + oneCode + QByteArray(1, '\x00'));
    jpeg += segment(0xC4, QByteArray(1, '\x10') + oneCode + QByteArray(1, '\xE0'));
    jpeg += segment(0xDA, QByteArray("\x01\x01\x00\x00\x00\x00", 6));
    jpeg += QByteArray(62500 / 8, '\0') + QByteArray(1, '\x0F');
    const QByteArray acScan = segment(0xDA, QByteArray("\x01\x01\x00\x01\x3F\x00", 6));
    const QByteArray runs("\x7F\xFE\xD0\x97", 4);  // runs of 32,767 and 29,733 blocks
    for (int i = 0; i < scans; ++i) jpeg += acScan + runs;
    return jpeg + QByteArray("\xFF\xD9", 2);
}

QByteArray pngImage() {
    QImage image(50, 40, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// The cover the desktop's media controls are given.
QString publishedArt() { return metadataOf(readMediaSnapshot()).value(QStringLiteral("mpris:artUrl")).toString(); }

const char *const kReleaseId = "0f3c6d4e-1a2b-4c5d-8e9f-a0b1c2d3e4f5";
const char *const kOtherReleaseId = "11111111-2222-4333-8444-555555555555";
// A release refused once is not asked for again in the run: each test below has its own.
const char *const kBombReleaseId = "22222222-2222-4333-8444-555555555555";
const char *const kSlowReleaseId = "33333333-2222-4333-8444-555555555555";
const char *const kIndexReleaseId = "44444444-2222-4333-8444-555555555555";
const char *const kLinkReleaseId = "55555555-2222-4333-8444-555555555555";

// The release the user saves titles from gives the disc its cover: fetched once, kept, published
// for the desktop, and published again on the next load without a request; a removed file is
// fetched again; something that is no image is never published; with the look-up off nothing is
// fetched. A release whose titles were closed without 保存 is neither remembered nor fetched.
TEST_F(OnlineTitles, TakenReleaseGivesTheDiscItsCoverOnce) {
    SettingsFile(QStringLiteral("ROTOR.INI")).WriteText("Online", "MusicBrainz", "1");
    const platform::SimulatedDisc disc = platform::SimulatedDisc::ofSeconds({10, 20});
    takeRelease(platform::SimulatedDisc::ofSeconds({12, 34}), kReleaseId, false);
    EXPECT_TRUE(service->coversAsked.isEmpty()) << "a cover for titles closed without saving";
    EXPECT_FALSE(QFileInfo::exists(coverCacheFolder() + QStringLiteral("/releases")));
    eject();

    takeRelease(disc, kReleaseId);
    ASSERT_EQ(service->coversAsked, QStringList{kReleaseId});
    EXPECT_EQ(publishedArt(), QString()) << "published before it came";
    EXPECT_EQ(bytesOf(coverCacheFolder() + QStringLiteral("/releases")),
              online::discIdOf(*online::musicBrainzToc(drive.toc())).toStdString() + " " + kReleaseId + "\n");
    service->giveCover(pngImage());
    settleCoverCheck();
    const QString cover = coverCacheFolder() + QLatin1Char('/') + kReleaseId + QStringLiteral(".png");
    ASSERT_TRUE(QFileInfo::exists(cover));
    tick();
    EXPECT_EQ(publishedArt(), QUrl::fromLocalFile(cover).toString());

    const auto reload = [&] {
        eject();
        answerModal = [](QDialog *) { return int(QDialog::Rejected); };
        service->pending = nullptr;
        load(disc);
        tick();
    };
    reload();
    EXPECT_EQ(service->coversAsked.size(), 1) << "fetched again although kept";
    EXPECT_EQ(publishedArt(), QUrl::fromLocalFile(cover).toString());

    QFile::remove(cover);
    Form1->PM_ONLINE->trigger();  // off
    reload();
    EXPECT_EQ(service->coversAsked.size(), 1) << "fetched with the look-up off";
    EXPECT_EQ(publishedArt(), QString()) << "a removed cover published";
    Form1->PM_ONLINE->trigger();  // on
    reload();
    EXPECT_EQ(service->coversAsked.size(), 2) << "a removed cover is fetched again";
    Form1->PM_ONLINE->trigger();  // off while it comes
    service->giveCover(pngImage());
    settleCoverCheck();
    EXPECT_FALSE(QFileInfo::exists(cover)) << "kept what came after the look-up was switched off";
    Form1->PM_ONLINE->trigger();
    reload();
    EXPECT_EQ(service->coversAsked.size(), 3);

    // Another disc, another release, whose cover arrives cut short: none is published.
    eject();
    takeRelease(platform::SimulatedDisc::ofSeconds({30, 40}), kOtherReleaseId);
    EXPECT_EQ(service->coversAsked.size(), 4);
    service->giveCover(pngImage().left(60));
    settleCoverCheck();
    tick();
    EXPECT_EQ(publishedArt(), QString());
    EXPECT_TRUE(QDir(coverCacheFolder()).entryList({QStringLiteral("*.png"), QStringLiteral("*.jpg")}).isEmpty());
}

TEST(CoverImage, KeepsOnlyWholeJpegAndPngImagesOfAtMost2000PixelsASide) {
    QImage picture(50, 40, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    const QByteArray jpeg = encoded(picture, "JPEG");
    QByteArray damagedPng = pngImage();
    damagedPng[damagedPng.indexOf("IDAT") + 8] ^= 0x55;  // inside the picture's data; its end stays
    const QByteArray gif("GIF89a\x01\x00\x01\x00\x80\x00\x00\xFF\xFF\xFF\x00\x00\x00!\xF9\x04\x01\x00\x00\x00\x00,"
                         "\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00;",
                         43);
    const struct {
        const char *what;
        QByteArray bytes;
        const char *kept;  // the extension, or nullptr when refused
    } cases[] = {
        {"a PNG", pngImage(), "png"},
        {"a JPEG", jpeg, "jpg"},
        {"a progressive JPEG", encoded(picture, "JPEG", true), "jpg"},
        {"2000 pixels wide", encoded(QImage(2000, 8, QImage::Format_RGB32), "PNG"), "png"},
        {"2001 pixels wide", encoded(QImage(2001, 8, QImage::Format_RGB32), "PNG"), nullptr},
        {"2001 pixels high", encoded(QImage(8, 2001, QImage::Format_RGB32), "JPEG"), nullptr},
        {"a BMP", encoded(picture, "BMP"), nullptr},
        {"a GIF", gif, nullptr},
        {"a JPEG cut short", jpeg.chopped(40), nullptr},
        {"a PNG cut short", pngImage().chopped(20), nullptr},
        {"a PNG whose data is damaged", damagedPng, nullptr},
        {"ten scans over the whole picture", scanBomb(10), "jpg"},
        {"250,000 scans over the whole picture", scanBomb(250000), nullptr},
    };
    ASSERT_FALSE(QImage::fromData(gif).isNull()) << "the GIF is no image: the case proves nothing";
    ASSERT_LT(scanBomb(250000).size(), 4 * 1024 * 1024) << "the scan bomb must fit the download's limit";
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const std::optional<const char *> kept = coverImageExtension(c.bytes);
        EXPECT_EQ(kept ? std::string(*kept) : "refused", c.kept ? c.kept : "refused");
    }
}

void OnlineTitles::takeRelease(const platform::SimulatedDisc &disc, const char *releaseId, bool save) {
    answerModal = [&, releaseId, save](QDialog *dialog) {
        if (press(dialog, QStringLiteral("はい(&Y)"))) {
            service->answer({{release("Only", {"o1", "o2"}, "Jpan", releaseId)}, {}});
            return 0;
        }
        CD_Database->show();
        QCoreApplication::processEvents();
        if (save) CD_Database->BitBtn2Click(CD_Database->BitBtn2);
        CD_Database->BitBtn1Click(CD_Database->BitBtn1);
        return int(QDialog::Rejected);
    };
    load(disc);
}

// A cover that takes long to check never holds the window: a scan bomb within every size limit is
// refused at once, and a check that runs past two seconds is refused when they are up, its late
// result thrown away.
TEST_F(OnlineTitles, CoverThatTakesLongToDecodeIsRefusedWithoutTheWindowWaiting) {
    SettingsFile(QStringLiteral("ROTOR.INI")).WriteText("Online", "MusicBrainz", "1");
    takeRelease(platform::SimulatedDisc::ofSeconds({10, 20}), kBombReleaseId);
    ASSERT_EQ(service->coversAsked.size(), 1);
    service->giveCover(scanBomb(250000));
    EXPECT_LT(settleCoverCheck(), 500) << "the window waited for the cover";
    EXPECT_FALSE(coverBeingChecked());
    tick();
    EXPECT_EQ(publishedArt(), QString());

    eject();
    setCoverCheck([](const QByteArray &) -> std::optional<const char *> {
        QThread::sleep(4);
        return "png";
    });
    takeRelease(platform::SimulatedDisc::ofSeconds({30, 40}), kSlowReleaseId);
    ASSERT_EQ(service->coversAsked.size(), 2);
    QElapsedTimer clock;
    clock.start();
    service->giveCover(pngImage());
    EXPECT_LT(settleCoverCheck(), 500) << "the window waited for the cover";
    EXPECT_LT(clock.elapsed(), 3500) << "refused only after the check ended";
    while (clock.elapsed() < 4500) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    tick();
    EXPECT_EQ(publishedArt(), QString());
    EXPECT_TRUE(QDir(coverCacheFolder()).entryList({QStringLiteral("*.png"), QStringLiteral("*.jpg")}).isEmpty());
    setCoverCheck(nullptr);
}

// Other discs' releases are never lost: a large index grows by the new line, one over the limit or
// behind a link is left as it was and said once, and no file is written through a link.
TEST_F(OnlineTitles, ReleaseIndexIsNeverLostNorWrittenThroughALink) {
    SettingsFile(QStringLiteral("ROTOR.INI")).WriteText("Online", "MusicBrainz", "1");
    const QString index = coverCacheFolder() + QStringLiteral("/releases");
    const auto write = [](const QString &path, const QByteArray &bytes) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    const auto lines = [](int count) {
        QByteArray text;
        for (int i = 0; i < count; ++i)
            text += QByteArray::number(i).rightJustified(27, 'x') + "- 0f3c6d4e-1a2b-4c5d-8e9f-" +
                    QByteArray::number(i).rightJustified(12, '0') + "\n";
        return text;
    };
    const QByteArray large = lines(17000);
    ASSERT_GT(large.size(), 1024 * 1024);
    write(index, large);
    takeRelease(platform::SimulatedDisc::ofSeconds({10, 20}), kIndexReleaseId);
    const std::string grown = bytesOf(index);
    EXPECT_EQ(grown.substr(0, size_t(large.size())), large.toStdString()) << "other discs' releases lost";
    EXPECT_EQ(std::count(grown.begin(), grown.end(), '\n'), 17001);
    EXPECT_TRUE(errors.empty());
    eject();

    const QByteArray tooLarge = lines(70000);
    ASSERT_GT(tooLarge.size(), 4 * 1024 * 1024);
    write(index, tooLarge);
    takeRelease(platform::SimulatedDisc::ofSeconds({11, 21}), kIndexReleaseId);
    eject();
    takeRelease(platform::SimulatedDisc::ofSeconds({12, 22}), kLinkReleaseId);
    EXPECT_EQ(bytesOf(index), tooLarge.toStdString());
    EXPECT_EQ(errors.size(), 1u) << "said once";
    EXPECT_EQ(service->coversAsked.size(), 1) << "a cover for a release that could not be remembered";
    eject();

    // Links planted in the cache: the index's target stays as it was, and a cover is written into
    // the cache in place of the link, never at its target.
    const QString outside = QDir::tempPath() + QStringLiteral("/tunewick-outside-%1").arg(QCoreApplication::applicationPid());
    QDir(outside).removeRecursively();
    write(outside + QStringLiteral("/index"), "kept\n");
    QFile::remove(index);
    ASSERT_TRUE(QFile::link(outside + QStringLiteral("/index"), index));
    errors.clear();
    takeRelease(platform::SimulatedDisc::ofSeconds({13, 23}), kLinkReleaseId);
    EXPECT_EQ(bytesOf(outside + QStringLiteral("/index")), "kept\n");
    EXPECT_TRUE(QFileInfo(index).isSymLink());
    EXPECT_EQ(errors.size(), 1u);
    eject();

    QFile::remove(index);
    const QString cover = coverCacheFolder() + QLatin1Char('/') + kLinkReleaseId + QStringLiteral(".png");
    ASSERT_TRUE(QFile::link(outside + QStringLiteral("/planted.png"), cover));
    takeRelease(platform::SimulatedDisc::ofSeconds({14, 24}), kLinkReleaseId);
    ASSERT_EQ(service->coversAsked.size(), 2);
    service->giveCover(pngImage());
    settleCoverCheck();
    EXPECT_FALSE(QFileInfo::exists(outside + QStringLiteral("/planted.png"))) << "written through the link";
    EXPECT_TRUE(QFileInfo(cover).isFile() && !QFileInfo(cover).isSymLink());
    EXPECT_EQ(QDir(outside).entryList(QDir::Files), QStringList{QStringLiteral("index")});
    QDir(outside).removeRecursively();
}

TEST_F(OnlineTitles, NothingFoundLeavesTheEditorEmptyWithANoteAndNoneOfTheseFillsNothing) {
    SettingsFile(QStringLiteral("ROTOR.INI")).WriteText("Online", "MusicBrainz", "1");
    answerModal = [&](QDialog *dialog) {
        if (press(dialog, QStringLiteral("はい(&Y)"))) return 0;
        if (auto *choice = qobject_cast<TReleaseChoice *>(dialog)) {
            choice->List->setCurrentItem(choice->List->topLevelItem(2));  // none of these
            EXPECT_EQ(choice->chosenIndex(), -1);
            return int(QDialog::Accepted);
        }
        CD_Database->show();
        service->answer({{}, QStringLiteral("見つかりませんでした"), true});
        EXPECT_EQ(CD_Database->Edit1->text(), QString());
        EXPECT_EQ(CD_Database->Edit1->placeholderText(), QStringLiteral("見つかりませんでした"));
        // Beside the note, a button for the service's page for adding the disc, next after the
        // field for Tab, that opens the page in the browser.
        auto *link = CD_Database->Edit1->findChild<QPushButton *>();
        EXPECT_TRUE(link && link->isVisible() && link->text() == QStringLiteral("MusicBrainz に登録..."));
        EXPECT_TRUE(link && (link->focusPolicy() & Qt::TabFocus) && CD_Database->Edit1->nextInFocusChain() == link);
        if (link) link->click();
        CD_Database->Edit1->setText(std::string("typed"));
        EXPECT_FALSE(link && link->isVisible()) << "the link stays over a typed title";
        CD_Database->BitBtn1Click(CD_Database->BitBtn1);
        return int(QDialog::Rejected);
    };
    Browser browser;
    load(platform::SimulatedDisc::ofSeconds({10, 20}));
    EXPECT_EQ(service->starts, 1);
    ASSERT_EQ(browser.opened.size(), 1);
    EXPECT_EQ(browser.opened[0], online::attachUrl(*online::musicBrainzToc(drive.toc())));

    eject();
    answerModal = [&](QDialog *dialog) {
        if (press(dialog, QStringLiteral("はい(&Y)"))) return 0;
        if (auto *choice = qobject_cast<TReleaseChoice *>(dialog)) {
            choice->List->setCurrentItem(choice->List->topLevelItem(2));
            return int(QDialog::Accepted);
        }
        CD_Database->show();
        service->answer({{release("A", {"a"}), release("B", {"b"})}, {}});
        EXPECT_EQ(CD_Database->Edit1->findChild<QPushButton *>(), nullptr)
            << "releases were found: no page for adding the disc, and no empty control in its place";
        EXPECT_EQ(CD_Database->Edit1->text(), QString());
        EXPECT_EQ(CD_Database->SG1->cellText(1, 1), QString());
        CD_Database->BitBtn1Click(CD_Database->BitBtn1);
        return int(QDialog::Rejected);
    };
    load(platform::SimulatedDisc::ofSeconds({11, 21}));
    EXPECT_EQ(service->starts, 2);
}

}  // namespace

#include "OnlineTitlesTest.moc"
