#include "tests/support/AppFixture.h"

#include "ui/AboutBox.h"
#include "ui/Form1.h"
#include "ui/Modal.h"
#include "ui/ToolGlyphs.h"
#include "ui/controls/Fonts.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QTimer>

namespace {

class AboutBoxTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        installFontSubstitutions();
    }
};

// The about box opens modally from the shutter's button and from the menu; closing it closes the shutter.
class AboutBoxOpening : public AboutBoxTest, public ::testing::WithParamInterface<bool> {};

TEST_P(AboutBoxOpening, OpensModallyAndClosesTheShutter) {
    startApp();
    Form1->LB_TunewickClick(Form1->LB_Tunewick);
    ASSERT_FALSE(Form1->SBT_ABOUT->isHidden());
    QDialog *shown = nullptr;
    answerModal = [&](QDialog *dialog) {
        shown = dialog;
        return int(QDialog::Accepted);
    };
    if (GetParam())
        Form1->SBT_ABOUT->click();
    else
        Form1->PM_VER->trigger();
    EXPECT_EQ(shown, AboutBox);
    EXPECT_EQ(modalCount, 1);
    EXPECT_TRUE(Form1->SBT_ABOUT->isHidden());
    EXPECT_FALSE(Form1->LB_Tunewick->isHidden());
    EXPECT_TRUE(errors.empty());
}

INSTANTIATE_TEST_SUITE_P(ButtonOrMenu, AboutBoxOpening, ::testing::Bool(),
                         [](const auto &info) { return std::string(info.param ? "ShutterButton" : "Menu"); });

TEST_F(AboutBoxTest, DialogIsLaidOutWithItsTexts) {
    createApp();
    TAboutBox *box = AboutBox;
    EXPECT_EQ(box->windowTitle(), QStringLiteral("バージョン情報"));
    EXPECT_EQ(box->size(), QSize(214, 88));
    EXPECT_EQ(box->minimumSize(), box->maximumSize());
    EXPECT_FALSE(box->windowFlags() & Qt::WindowMinMaxButtonsHint);
    EXPECT_EQ(box->Panel1->geometry(), QRect(0, 0, 214, 87));
    EXPECT_EQ(box->Panel1->BevelInner(), bvRaised);
    EXPECT_EQ(box->Panel1->BevelOuter(), bvLowered);
    EXPECT_EQ(box->Panel2->geometry(), QRect(6, 6, 41, 41));
    EXPECT_EQ(box->Panel2->Color(), QColor(Qt::white));
    EXPECT_EQ(box->ProgramIcon->geometry(), QRect(4, 4, 33, 33));
    EXPECT_EQ(box->ProgramIcon->pixmap().size(), QSize(32, 32));
    EXPECT_EQ(box->ProductName->Caption(), "\x82\x62" "D-\x82\x73unewick32");  // ＣD-Ｔunewick32
    EXPECT_EQ(box->ProductName->font().pixelSize(), 16);
    EXPECT_EQ(box->Version->Caption(), "Version 1.20");
    EXPECT_EQ(box->Version->font().pixelSize(), 12);
    EXPECT_FALSE(box->Comments->Caption().empty());
    EXPECT_EQ(box->OKButton->geometry(), QRect(6, 60, 203, 23));
    EXPECT_EQ(box->OKButton->text(), QStringLiteral("Ｏ Ｋ      "));
    EXPECT_TRUE(box->OKButton->isDefault());
}

TEST_F(AboutBoxTest, OkButtonDrawsItsGlyphSixtyPixelsInAndCentresTheCaptionBesideIt) {
    createApp();
    TGlyphButton *ok = AboutBox->OKButton;
    EXPECT_EQ(ok->glyphRect(), QRect(60, 2, 18, 18));
    EXPECT_EQ(ok->captionRect(), QRect(78, 0, 203 - 78, 23));
    const QImage image = ok->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QRect green;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == QColor(0, 128, 0)) green |= QRect(x, y, 1, 1);
    ASSERT_FALSE(green.isNull());
    EXPECT_TRUE(ok->glyphRect().contains(green));
}

TEST_F(AboutBoxTest, ProgramIconUsesOnlyTheSixteenStandardColours) {
    const QImage icon = programIconImage();
    ASSERT_EQ(icon.size(), QSize(32, 32));
    QList<QRgb> colours;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            if (qAlpha(icon.pixel(x, y)) != 0 && !colours.contains(icon.pixel(x, y))) colours.push_back(icon.pixel(x, y));
    EXPECT_GE(colours.size(), 4);
    EXPECT_LE(colours.size(), 16);
    for (QRgb c : colours)
        for (int channel : {qRed(c), qGreen(c), qBlue(c)}) {
            EXPECT_TRUE(channel == 0 || channel == 128 || channel == 255 || c == qRgb(192, 192, 192))
                << std::hex << c;
        }
}

// Run for real: centred on the screen, the OK button has the focus and Enter closes the box.
TEST_F(AboutBoxTest, EnterOnTheOpenBoxClosesItWithOk) {
    createApp();
    setModalHook({});
    QWidget *focused = nullptr;
    QPoint centre;
    QTimer::singleShot(0, AboutBox, [&] {
        focused = AboutBox->focusWidget();
        centre = AboutBox->geometry().center();
        QTest::keyClick(AboutBox, Qt::Key_Return);
    });
    EXPECT_EQ(execModal(AboutBox), int(QDialog::Accepted));
    EXPECT_EQ(focused, AboutBox->OKButton);
    const QPoint screenCentre = QGuiApplication::primaryScreen()->geometry().center();
    EXPECT_LE((centre - screenCentre).manhattanLength(), 2);
    EXPECT_TRUE(AboutBox->isHidden());
}

}  // namespace
