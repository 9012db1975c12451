#include "tests/catalogue/CatalogueFixture.h"

#include "app/SettingsFile.h"
#include "catalogue/CatalogueEditor.h"
#include "catalogue/OnlineTitles.h"
#include "ui/Form1.h"
#include "ui/ReleaseChoice.h"

#include <QCoreApplication>
#include <QDir>
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
};

class OnlineTitles : public CatalogueFixture {
protected:
    void SetUp() override {
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

online::Release release(const char *title, std::vector<QString> tracks, const char *script = "Jpan") {
    online::Release r;
    r.title = QString::fromUtf8(title);
    r.status = QStringLiteral("Official");
    r.script = QString::fromUtf8(script);
    r.trackTitles = std::move(tracks);
    return r;
}

// One scenario through the whole flow: the question asked once, the choice between two editions,
// titles going only where the disc and the user left the editor empty, control characters
// blanked, nothing written before 保存, the next disc looked up without asking again.
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
    load(platform::SimulatedDisc::ofSeconds({40, 50}));
    EXPECT_EQ(consentQuestions, 1);
    EXPECT_EQ(service->starts, 2);
    EXPECT_EQ(choices, 1);
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
        service->answer({{}, QStringLiteral("見つかりませんでした")});
        EXPECT_EQ(CD_Database->Edit1->text(), QString());
        EXPECT_EQ(CD_Database->Edit1->placeholderText(), QStringLiteral("見つかりませんでした"));
        CD_Database->BitBtn1Click(CD_Database->BitBtn1);
        return int(QDialog::Rejected);
    };
    load(platform::SimulatedDisc::ofSeconds({10, 20}));
    EXPECT_EQ(service->starts, 1);

    eject();
    answerModal = [&](QDialog *dialog) {
        if (press(dialog, QStringLiteral("はい(&Y)"))) return 0;
        if (auto *choice = qobject_cast<TReleaseChoice *>(dialog)) {
            choice->List->setCurrentItem(choice->List->topLevelItem(2));
            return int(QDialog::Accepted);
        }
        CD_Database->show();
        service->answer({{release("A", {"a"}), release("B", {"b"})}, {}});
        EXPECT_EQ(CD_Database->Edit1->text(), QString());
        EXPECT_EQ(CD_Database->SG1->cellText(1, 1), QString());
        CD_Database->BitBtn1Click(CD_Database->BitBtn1);
        return int(QDialog::Rejected);
    };
    load(platform::SimulatedDisc::ofSeconds({11, 21}));
    EXPECT_EQ(service->starts, 2);
}

}  // namespace
