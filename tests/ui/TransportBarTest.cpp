#include "ui/TransportBar.h"

#include "platform/SimulatedDrive.h"
#include "player/TimeFormat.h"
#include "ui/ErrorDisplay.h"
#include "ui/TransportGlyphs.h"

#include <QTest>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace platform;

namespace {

constexpr TButtonSet kPlayStopEject = buttonSet({btPlay, btStop, btEject});

// --- layout and hit test ---

// Catches a wrong rounding of the button width or a bar that does not grow to the minimum.
TEST(TransportLayout, SizesAndButtonPositions) {
    struct Case {
        TButtonSet visible;
        QSize asked;
        QSize taken;
        std::vector<int> lefts;  // per kind 0..8, -1 hidden
    };
    const Case cases[] = {
        {kAllButtons, {253, 20}, {253, 20}, {0, 28, 56, 84, 112, 140, 168, 196, 224}},
        {kAllButtons, {100, 10}, {253, 20}, {0, 28, 56, 84, 112, 140, 168, 196, 224}},
        {kAllButtons, {300, 25}, {298, 25}, {0, 33, 66, 99, 132, 165, 198, 231, 264}},
        {kPlayStopEject, {100, 20}, {100, 20}, {0, -1, 33, -1, -1, -1, -1, -1, 66}},
        {kPlayStopEject, {0, 0}, {85, 20}, {0, -1, 28, -1, -1, -1, -1, -1, 56}},
        {buttonSet({btEject}), {10, 5}, {29, 20}, {-1, -1, -1, -1, -1, -1, -1, -1, 0}},
        {0, {10, 5}, {29, 20}, {-1, -1, -1, -1, -1, -1, -1, -1, -1}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "visible " << c.visible << " asked " << c.asked.width());
        EXPECT_EQ(transportBarSize(c.asked, c.visible), c.taken);
        for (int kind = 0; kind < 9; ++kind)
            EXPECT_EQ(transportButtonLeft(static_cast<TMPBtnType>(kind), c.taken.width(), c.visible),
                      c.lefts[static_cast<size_t>(kind)])
                << "kind " << kind;
    }
    EXPECT_EQ(transportButtonWidth(253, kAllButtons), 29);
}

// Spans include both ends, so a shared border (and the column after it) belongs to the left button.
TEST(TransportLayout, HitTestAtSharedBorders) {
    struct Case {
        int x;
        int width;
        TButtonSet visible;
        int hit;
    };
    const Case cases[] = {
        {-1, 253, kAllButtons, -1},  {0, 253, kAllButtons, btPlay},   {28, 253, kAllButtons, btPlay},
        {29, 253, kAllButtons, btPlay}, {30, 253, kAllButtons, btPause}, {56, 253, kAllButtons, btPause},
        {58, 253, kAllButtons, btStop}, {224, 253, kAllButtons, btRecord}, {226, 253, kAllButtons, btEject},
        {253, 253, kAllButtons, btEject}, {254, 253, kAllButtons, -1},
        {28, 85, kPlayStopEject, btPlay}, {30, 85, kPlayStopEject, btStop}, {60, 85, kPlayStopEject, btEject},
        {10, 29, 0, -1},
    };
    for (const Case &c : cases)
        EXPECT_EQ(transportButtonAt(c.x, c.width, c.visible), c.hit)
            << "x " << c.x << " visible " << c.visible;
}

// --- glyphs ---

TEST(TransportGlyphs, SizesOfAllTwentySevenGlyphs) {
    struct Case {
        const char *name;
        QSize size;
    };
    const Case cases[] = {
        {"MPPLAY", {17, 16}}, {"MPPAUSE", {13, 16}}, {"MPSTOP", {17, 16}},
        {"MPNEXT", {21, 16}}, {"MPPREV", {20, 16}},  {"MPSTEP", {21, 16}},
        {"MPBACK", {21, 16}}, {"MPRECORD", {13, 13}}, {"MPEJECT", {19, 16}},
    };
    for (int kind = 0; kind < 9; ++kind) {
        const Case &c = cases[kind];
        EXPECT_STREQ(transportButtonName(kind), c.name);
        for (const char *prefix : {kGlyphEnabled, kGlyphColored, kGlyphDisabled}) {
            QByteArray name = transportGlyphName(prefix, kind);
            QSize expected = c.size;
            if (name == "DI_MPPAUSE") expected = {12, 16};
            EXPECT_EQ(transportGlyph(name.constData()).size(), expected) << name.constData();
        }
    }
    EXPECT_TRUE(transportGlyph("EN_MPFORWARD").isNull());
    EXPECT_EQ(transportButtonName(9), nullptr);
}

// Enabled glyphs are filled black, coloured ones in their own colour, disabled ones hollow.
TEST(TransportGlyphs, Fills) {
    const QRgb colours[] = {0xFF008000, 0xFFFFFF00, 0xFFFF0000, 0xFF0000FF, 0xFF0000FF,
                            0xFF0000FF, 0xFF0000FF, 0xFFFF0000, 0xFF0000FF};
    auto has = [](const char *prefix, int kind, QRgb colour) {
        const QImage &image = transportGlyph(transportGlyphName(prefix, kind).constData());
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixel(x, y) == colour) return true;
        return false;
    };
    for (int kind = 0; kind < 9; ++kind) {
        EXPECT_TRUE(has(kGlyphEnabled, kind, 0xFF000000)) << kind;
        EXPECT_TRUE(has(kGlyphColored, kind, colours[kind])) << kind;
        EXPECT_FALSE(has(kGlyphDisabled, kind, 0xFF000000)) << kind;
        EXPECT_FALSE(has(kGlyphDisabled, kind, colours[kind])) << kind;
    }
}

// --- rendering ---

// True when every opaque pixel of `glyph` appears in `image` at `at`, and its transparent
// pixels show the button face.
bool glyphDrawnAt(const QImage &image, QPoint at, const QImage &glyph) {
    for (int y = 0; y < glyph.height(); ++y) {
        for (int x = 0; x < glyph.width(); ++x) {
            QRgb want = glyph.pixel(x, y);
            if (want == kGlyphTransparent) want = kBarFaceColour;
            if (image.pixel(at + QPoint(x, y)) != want) return false;
        }
    }
    return true;
}

const QImage &glyphOf(const char *prefix, int kind) {
    return transportGlyph(transportGlyphName(prefix, kind).constData());
}

TEST(TransportRender, GlyphChoiceFollowsBarAndSets) {
    struct Case {
        const char *what;
        bool barEnabled;
        TButtonSet enabled;
        TButtonSet colored;
        const char *expected[9];
    };
    const char *DI = kGlyphDisabled, *EN = kGlyphEnabled, *CL = kGlyphColored;
    const Case cases[] = {
        {"initial: empty set, bar disabled", false, 0, kAllButtons, {DI, DI, DI, DI, DI, DI, DI, DI, DI}},
        {"bar off wins over the set", false, kAllButtons, kAllButtons, {DI, DI, DI, DI, DI, DI, DI, DI, DI}},
        {"playing set, all coloured", true, 286, kAllButtons, {DI, CL, CL, CL, CL, DI, DI, DI, CL}},
        {"only Play coloured", true, 257, buttonSet({btPlay}), {CL, DI, DI, DI, DI, DI, DI, DI, EN}},
    };
    for (const Case &c : cases) {
        TransportBarLook look;
        look.barEnabled = c.barEnabled;
        look.enabled = c.enabled;
        look.colored = c.colored;
        const QImage image = renderTransportBar(look);
        ASSERT_EQ(image.size(), QSize(253, 20));
        for (int kind = 0; kind < 9; ++kind) {
            const auto k = static_cast<TMPBtnType>(kind);
            for (const char *prefix : {DI, EN, CL}) {
                const QImage &glyph = glyphOf(prefix, kind);
                const bool drawn = glyphDrawnAt(image, transportGlyphPos(look, k, glyph.size()), glyph);
                EXPECT_EQ(drawn, prefix == c.expected[kind]) << c.what << ", kind " << kind << " " << prefix;
            }
        }
    }
}

TEST(TransportRender, GlyphPositionsAndPressedShift) {
    TransportBarLook look;
    look.barEnabled = true;
    look.enabled = kAllButtons;
    EXPECT_EQ(transportGlyphPos(look, btPlay, {17, 16}), QPoint(14 - 8, 10 - 8));
    EXPECT_EQ(transportGlyphPos(look, btRecord, {13, 13}), QPoint(196 + 14 - 6, 10 - 6));

    const QImage &stop = glyphOf(kGlyphColored, btStop);
    const QPoint up = transportGlyphPos(look, btStop, stop.size());
    look.pressed = btStop;
    look.down = false;  // pressed, pointer elsewhere: drawn up
    EXPECT_TRUE(glyphDrawnAt(renderTransportBar(look), up, stop));
    look.down = true;
    const QImage down = renderTransportBar(look);
    EXPECT_EQ(transportGlyphPos(look, btStop, stop.size()), up + QPoint(1, 1));
    EXPECT_TRUE(glyphDrawnAt(down, up + QPoint(1, 1), stop));
    EXPECT_FALSE(glyphDrawnAt(down, up, stop));
}

// Frame, face and the bevel lines of one button, up and down.
TEST(TransportRender, ButtonBevelUpAndDown) {
    TransportBarLook look;
    const int left = 56, right = left + 29;  // Stop
    QImage image = renderTransportBar(look);
    EXPECT_EQ(image.pixel(0, 10), kBarFrameColour);
    EXPECT_EQ(image.pixel(left, 10), kBarFrameColour);  // shared with Pause
    EXPECT_EQ(image.pixel(right - 1, 10), kBarFrameColour);
    EXPECT_EQ(image.pixel(left + 5, 19), kBarFrameColour);
    EXPECT_EQ(image.pixel(left + 1, 10), kBarHighlightColour);
    EXPECT_EQ(image.pixel(left + 5, 1), kBarHighlightColour);
    EXPECT_EQ(image.pixel(right - 2, 10), kBarShadowColour);
    EXPECT_EQ(image.pixel(left + 5, 18), kBarShadowColour);
    EXPECT_EQ(image.pixel(left + 3, 3), kBarFaceColour);

    look.barEnabled = true;
    look.enabled = kAllButtons;
    look.pressed = btStop;
    look.down = true;
    image = renderTransportBar(look);
    EXPECT_EQ(image.pixel(left + 1, 10), kBarShadowColour);
    EXPECT_EQ(image.pixel(left + 5, 1), kBarShadowColour);
    EXPECT_EQ(image.pixel(right - 2, 10), kBarFaceColour);
    EXPECT_EQ(image.pixel(left + 5, 18), kBarFaceColour);
}

// --- the widget under the mouse ---

struct TransportBarWidget : ::testing::Test {
    QWidget panel;
    TMediaPlayer *bar = new TMediaPlayer(&panel);
    SimulatedDrive drive;
    std::vector<std::string> calls;
    std::vector<QString> errors;

    void SetUp() override {
        setErrorSink([this](const QString &, const QString &message) { errors.push_back(message); });
        bar->setGeometry(0, 0, 253, 20);
        panel.resize(300, 60);
        panel.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
        drive.insert(SimulatedDisc::uniform(5, 60));
        bar->setDrive(&drive);
        bar->Open();
        drive.clearLog();
        bar->setEnabled(true);
        bar->setEnabledButtons(kAllButtons);
        bar->OnClick = [this](QObject *sender, TMPBtnType button, bool &) {
            EXPECT_EQ(sender, bar);
            calls.push_back("click " + std::to_string(button) + " " + std::to_string(!drive.log().empty()));
        };
        bar->OnPostClick = [this](QObject *, TMPBtnType button) {
            calls.push_back("post " + std::to_string(button) + " " + std::to_string(!drive.log().empty()));
        };
    }
    void TearDown() override { setErrorSink({}); }

    QPoint centre(TMPBtnType kind) const {
        return {transportButtonLeft(kind, bar->width(), bar->VisibleButtons()) + 14, 10};
    }
    QImage shot() { return bar->grab().toImage(); }
};

TEST_F(TransportBarWidget, KeepsItsLayoutAndNeverTakesFocus) {
    EXPECT_EQ(bar->size(), QSize(253, 20));
    bar->resize(100, 10);
    EXPECT_EQ(bar->size(), QSize(253, 20));
    bar->resize(300, 25);
    EXPECT_EQ(bar->size(), QSize(298, 25));
    bar->setVisibleButtons(kPlayStopEject);
    bar->resize(10, 10);
    EXPECT_EQ(bar->size(), QSize(85, 20));
    EXPECT_EQ(bar->focusPolicy(), Qt::NoFocus);
    QTest::mouseClick(bar, Qt::LeftButton, {}, centre(btStop));
    EXPECT_FALSE(bar->hasFocus());
    EXPECT_EQ(calls.size(), 2u);
}

// A press that hits no enabled button changes neither the picture nor the device.
TEST_F(TransportBarWidget, PressOnDisabledButtonDrawsAndClicksNothing) {
    bar->setEnabledButtons(buttonSet({btPlay, btEject}));
    const QImage before = shot();
    QTest::mousePress(bar, Qt::LeftButton, {}, centre(btStop));
    EXPECT_EQ(shot(), before);
    QTest::mouseRelease(bar, Qt::LeftButton, {}, centre(btStop));
    EXPECT_EQ(shot(), before);

    bar->setEnabled(false);  // the whole bar off: even Play does not react
    const QImage off = shot();
    QTest::mouseClick(bar, Qt::LeftButton, {}, centre(btPlay));
    EXPECT_EQ(shot(), off);
    EXPECT_TRUE(calls.empty());
    EXPECT_TRUE(drive.log().empty());
}

// Leaving the pressed button cancels the click unless the pointer comes back before the release.
TEST_F(TransportBarWidget, DragOffAndBackOn) {
    struct Case {
        const char *what;
        std::vector<QPoint> moves;
        QPoint release;
        bool clicked;
    };
    const QPoint play = centre(btPlay);
    const Case cases[] = {
        {"onto a neighbour", {centre(btStop)}, centre(btStop), false},
        {"off the bar", {QPoint(120, 45)}, QPoint(120, 45), false},
        {"off and back on", {QPoint(120, 45), play + QPoint(3, 2)}, play + QPoint(3, 2), true},
        {"within the button", {play + QPoint(5, 5)}, play + QPoint(5, 5), true},
    };
    const QImage up = shot();
    for (const Case &c : cases) {
        calls.clear();
        QTest::mousePress(bar, Qt::LeftButton, {}, play);
        const QImage down = shot();
        EXPECT_NE(down, up) << c.what;
        for (QPoint p : c.moves) QTest::mouseMove(bar, p);
        EXPECT_EQ(shot(), c.clicked ? down : up) << c.what;
        QTest::mouseRelease(bar, Qt::LeftButton, {}, c.release);
        EXPECT_EQ(shot(), up) << c.what;
        EXPECT_EQ(calls.size(), c.clicked ? 2u : 0u) << c.what;
    }
}

// Next while a track plays: the handler runs first, the device's own Next after it, then the
// post-click handler; the second press of a double click is a click too.
TEST_F(TransportBarWidget, ClickRunsHandlerThenDefaultOperation) {
    bar->Play();
    drive.advance(3000);
    drive.clearLog();
    QTest::mouseClick(bar, Qt::LeftButton, {}, centre(btNext));
    EXPECT_EQ(calls, (std::vector<std::string>{"click 3 0", "post 3 1"}));
    EXPECT_EQ(tmsf::track(bar->Position()), 2);
    EXPECT_EQ(bar->Mode(), mpPlaying);

    calls.clear();
    QTest::mouseDClick(bar, Qt::LeftButton, {}, centre(btStop));
    QTest::mouseRelease(bar, Qt::LeftButton, {}, centre(btStop));
    EXPECT_EQ(calls.size(), 2u);
    EXPECT_EQ(bar->Mode(), mpStopped);

    calls.clear();
    QTest::mouseClick(bar, Qt::RightButton, {}, centre(btPlay));
    EXPECT_TRUE(calls.empty());
}

TEST_F(TransportBarWidget, HandlerClearingDoDefaultSuppressesOperationAndPostClick) {
    bar->OnClick = [this](QObject *, TMPBtnType button, bool &doDefault) {
        calls.push_back("click " + std::to_string(button));
        doDefault = false;
    };
    for (TMPBtnType button : {btPlay, btEject}) QTest::mouseClick(bar, Qt::LeftButton, {}, centre(button));
    EXPECT_EQ(calls, (std::vector<std::string>{"click 0", "click 8"}));
    EXPECT_TRUE(drive.log().empty());
    EXPECT_FALSE(drive.doorOpen());
}

// Step, Back and Record have no operation on a CD; a device error from a click is shown, and
// does not unwind through the event loop.
TEST_F(TransportBarWidget, ButtonsWithoutOperationAndDeviceErrors) {
    for (TMPBtnType button : {btStep, btBack, btRecord})
        QTest::mouseClick(bar, Qt::LeftButton, {}, centre(button));
    EXPECT_EQ(calls.size(), 6u);
    EXPECT_TRUE(drive.log().empty());

    bar->Close();
    calls.clear();
    QTest::mouseClick(bar, Qt::LeftButton, {}, centre(btPlay));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], QString::fromUtf8("MCI ﾃﾞﾊﾞｲｽがありません."));
    EXPECT_EQ(calls.size(), 1u);  // the handler ran; the failing operation ended the click
}

// Switching the bar off while a button is held drops the press: nothing is drawn down afterwards.
TEST_F(TransportBarWidget, DisablingMidPressDropsThePress) {
    const QImage up = shot();
    QTest::mousePress(bar, Qt::LeftButton, {}, centre(btPlay));
    bar->setEnabled(false);
    bar->setEnabled(true);
    EXPECT_EQ(shot(), up);
    QTest::mouseRelease(bar, Qt::LeftButton, {}, centre(btPlay));
    EXPECT_TRUE(calls.empty());
}

}  // namespace
