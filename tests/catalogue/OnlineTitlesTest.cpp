#include "tests/catalogue/CatalogueFixture.h"

#include "app/SettingsFile.h"
#include "catalogue/CatalogueEditor.h"
#include "catalogue/CoverArt.h"
#include "catalogue/OnlineTitles.h"
#include "desktop/MediaControls.h"
#include "online/DiscId.h"
#include "ui/Form1.h"
#include "ui/ReleaseChoice.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QImage>
#include <QLabel>
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
        setTitleLookup(nullptr);
        CatalogueFixture::TearDown();
    }

    static bool isConsentQuestion(QDialog *dialog) {
        return isQuestion(dialog) && dialog->windowTitle() == QStringLiteral("タイトルの検索");
    }
    static std::string storedConsent() {
        return SettingsFile(QStringLiteral("ROTOR.INI")).ReadText("Online", "MusicBrainz", "<none>");
    }

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

QByteArray pngImage() {
    QImage image(50, 40, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

const char *const kReleaseId = "0f3c6d4e-1a2b-4c5d-8e9f-a0b1c2d3e4f5";
const char *const kOtherReleaseId = "11111111-2222-4333-8444-555555555555";

// The release the user takes titles from gives the disc its cover: fetched once, kept, published
// for the desktop, and published again on the next load without a request; a removed file is
// fetched again; something that is no image is never published; with the look-up off nothing is
// fetched.
TEST_F(OnlineTitles, TakenReleaseGivesTheDiscItsCoverOnce) {
    SettingsFile(QStringLiteral("ROTOR.INI")).WriteText("Online", "MusicBrainz", "1");
    const platform::SimulatedDisc disc = platform::SimulatedDisc::ofSeconds({10, 20});
    const auto takeOnly = [&](const char *id) {
        return [&, id](QDialog *dialog) {
            if (press(dialog, QStringLiteral("はい(&Y)"))) {
                service->answer({{release("Only", {"o1", "o2"}, "Jpan", id)}, {}});
                return 0;
            }
            CD_Database->show();
            QCoreApplication::processEvents();
            CD_Database->BitBtn1Click(CD_Database->BitBtn1);
            return int(QDialog::Rejected);
        };
    };
    const auto artUrl = [] { return metadataOf(readMediaSnapshot()).value(QStringLiteral("mpris:artUrl")).toString(); };
    answerModal = takeOnly(kReleaseId);
    load(disc);
    ASSERT_EQ(service->coversAsked, QStringList{kReleaseId});
    EXPECT_EQ(artUrl(), QString()) << "published before it came";
    service->giveCover(pngImage());
    const QString cover = coverCacheFolder() + QLatin1Char('/') + kReleaseId + QStringLiteral(".png");
    ASSERT_TRUE(QFileInfo::exists(cover));
    tick();
    EXPECT_EQ(artUrl(), QUrl::fromLocalFile(cover).toString());

    const auto reload = [&] {
        eject();
        answerModal = [](QDialog *) { return int(QDialog::Rejected); };
        service->pending = nullptr;
        load(disc);
        tick();
    };
    reload();
    EXPECT_EQ(service->coversAsked.size(), 1) << "fetched again although kept";
    EXPECT_EQ(artUrl(), QUrl::fromLocalFile(cover).toString());

    QFile::remove(cover);
    Form1->PM_ONLINE->trigger();  // off
    reload();
    EXPECT_EQ(service->coversAsked.size(), 1) << "fetched with the look-up off";
    EXPECT_EQ(artUrl(), QString()) << "a removed cover published";
    Form1->PM_ONLINE->trigger();  // on
    reload();
    EXPECT_EQ(service->coversAsked.size(), 2) << "a removed cover is fetched again";
    Form1->PM_ONLINE->trigger();  // off while it comes
    service->giveCover(pngImage());
    EXPECT_FALSE(QFileInfo::exists(cover)) << "kept what came after the look-up was switched off";
    Form1->PM_ONLINE->trigger();
    reload();
    EXPECT_EQ(service->coversAsked.size(), 3);

    // Another disc, another release, whose cover arrives cut short: none is published.
    eject();
    answerModal = takeOnly(kOtherReleaseId);
    load(platform::SimulatedDisc::ofSeconds({30, 40}));
    EXPECT_EQ(service->coversAsked.size(), 4);
    service->giveCover(pngImage().left(60));
    tick();
    EXPECT_EQ(artUrl(), QString());
    EXPECT_TRUE(QDir(coverCacheFolder()).entryList({QStringLiteral("*.png"), QStringLiteral("*.jpg")}).isEmpty());
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
        // Beside the note, the service's page for adding the disc, opened in the browser.
        auto *link = CD_Database->Edit1->findChild<QLabel *>();
        EXPECT_TRUE(link && link->isVisible() && link->text().contains(QStringLiteral("MusicBrainz に登録...")));
        if (link) Q_EMIT link->linkActivated(link->text().section(QLatin1Char('"'), 1, 1).replace(QStringLiteral("&amp;"), QStringLiteral("&")));
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
        auto *link = CD_Database->Edit1->findChild<QLabel *>();
        EXPECT_FALSE(link && link->isVisible()) << "releases were found: no page for adding the disc";
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
