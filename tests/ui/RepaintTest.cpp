#include "player/Commands.h"
#include "player/PlayerState.h"
#include "tests/support/AppFixture.h"
#include "ui/Form1.h"
#include "ui/LcdDisplay.h"
#include "ui/TrackSelector.h"
#include "platform/TitleEncoding.h"
#include "ui/DoubleByte.h"
#include "ui/controls/Colours.h"
#include "ui/controls/Fonts.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPaintEvent>
#include <map>
#include <set>

namespace {

// Every paint event of the program's windows while it lives, as rectangles in the window's
// coordinates, by window, and the widgets that painted.
class PaintRecorder : public QObject {
public:
    PaintRecorder() { qApp->installEventFilter(this); }
    ~PaintRecorder() override { qApp->removeEventFilter(this); }

    // What was painted since the last call, after the pending paints have run.
    std::map<QWidget *, QRegion> take() {
        QApplication::processEvents();
        widgets.clear();
        std::swap(widgets, m_widgets);
        return std::exchange(m_painted, {});
    }

    std::set<QWidget *> widgets; // those of the last take()

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() != QEvent::Paint || !watched->isWidgetType()) return false;
        auto *widget = static_cast<QWidget *>(watched);
        const QRect rect = static_cast<QPaintEvent *>(event)->rect();
        m_painted[widget->window()] += rect.translated(widget->mapTo(widget->window(), QPoint()));
        m_widgets.insert(widget);
        return false;
    }

private:
    std::map<QWidget *, QRegion> m_painted;
    std::set<QWidget *> m_widgets;
};

QRect inLcd(const QWidget *label) {
    return QRect(label->mapTo(LCD_DISPLAY, QPoint()), label->size());
}

// A long disc title that scrolls, and short track titles that do not.
const std::string kLongTitle = "A disc title long enough that the display scrolls it";

class Repaint : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        installFontSubstitutions();
        ScrollDelay = 250;
        insert(twelveTrackDisc());
        startApp();
        writeCatalogue(Form1->MediaPlayer1->Length(), {kLongTitle, "First", "Second"});
        for (QWidget *window : {static_cast<QWidget *>(Form1), static_cast<QWidget *>(LCD_DISPLAY),
                                static_cast<QWidget *>(Form5)})
            window->show();
        LCD_DISPLAY->LB_OVER->Tag = 1;
        tick();
        QApplication::processEvents();
    }
};

// Each change repaints its own field of the display and nothing else, not even the panels under
// it: a marquee step the title line, a new second the time field, a poll that changed nothing no
// window at all.
TEST_F(Repaint, EachChangeRepaintsOnlyItsOwnField) {
    PaintRecorder recorder;
    const QRect titleLine = inLcd(LCD_DISPLAY->LB_NAME);
    const QRect timeField = inLcd(LCD_DISPLAY->LB_TIME);

    // The marquee's steps, one window of the title each: the title line alone (the first wait
    // follows the head and the "over" mark taken away).
    waits.clear();
    setWaitHook([&](int) {
        std::map<QWidget *, QRegion> painted = recorder.take();
        waits.push_back(0);
        if (waits.size() == 1) return;
        ASSERT_EQ(painted.size(), 1u) << "step " << waits.size();
        EXPECT_EQ(painted.begin()->first, LCD_DISPLAY);
        EXPECT_TRUE(titleLine.contains(painted.begin()->second.boundingRect())) << "step " << waits.size();
        EXPECT_EQ(recorder.widgets, std::set<QWidget *>{LCD_DISPLAY->LB_NAME}) << "step " << waits.size();
    });
    ShowScrollTitle(kLongTitle);
    EXPECT_GT(waits.size(), 20u);
    setWaitHook([this](int ms) { runFor(std::max(ms, 1)); });
    recorder.take();

    // Polls while stopped: nothing changes, nothing is painted.
    tick(4);
    EXPECT_TRUE(recorder.take().empty());

    // Playing: the ticks within one second paint nothing; the tick that reaches a new second
    // paints the time field alone.
    PlayCD(Form1);
    tick();
    recorder.take();
    int timeChanges = 0;
    for (int i = 0; i < 8; ++i) {
        const std::string before = LCD_DISPLAY->LB_TIME->Caption();
        tick();
        std::map<QWidget *, QRegion> painted = recorder.take();
        if (LCD_DISPLAY->LB_TIME->Caption() == before) {
            EXPECT_TRUE(painted.empty()) << "tick " << i;
            continue;
        }
        ++timeChanges;
        ASSERT_EQ(painted.size(), 1u) << "tick " << i;
        EXPECT_EQ(painted.begin()->first, LCD_DISPLAY);
        EXPECT_TRUE(timeField.contains(painted.begin()->second.boundingRect())) << "tick " << i;
        EXPECT_EQ(recorder.widgets, std::set<QWidget *>{LCD_DISPLAY->LB_TIME}) << "tick " << i;
    }
    EXPECT_EQ(timeChanges, 2);
}

// --- the look: what the windows show is the same pixel for pixel as the reference pictures ---

QString looksFolder() {
    return QStringLiteral(TUNEWICK_LOOKS_DIR);
}

// Compares `window` as shown with the reference picture `name`; with TUNEWICK_WRITE_LOOKS set,
// writes the reference instead.
void expectLook(QWidget *window, const QString &name) {
    QApplication::processEvents();
    const QImage shown = window->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QString path = QDir(looksFolder()).filePath(name + QStringLiteral(".png"));
    if (qEnvironmentVariableIsSet("TUNEWICK_WRITE_LOOKS")) {
        ASSERT_TRUE(shown.save(path)) << path.toStdString();
        return;
    }
    const QImage reference = QImage(path).convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(reference.isNull()) << path.toStdString();
    ASSERT_EQ(shown.size(), reference.size()) << name.toStdString();
    int differing = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            if (shown.pixel(x, y) != reference.pixel(x, y)) ++differing;
    EXPECT_EQ(differing, 0) << name.toStdString();
    if (differing) shown.save(QDir::temp().filePath(name + QStringLiteral("-shown.png")));
}

// The windows in a stopped, a scrolling and a playing state, each drawn after a change of its
// fields (the partial repaints) and compared with the pictures of the whole windows.
TEST_F(Repaint, WindowsLookAsTheReferencePictures) {
    expectLook(LCD_DISPLAY, QStringLiteral("lcd-stopped"));
    expectLook(Form1, QStringLiteral("panel-stopped"));
    expectLook(Form5, QStringLiteral("selector"));

    // Halfway through a scroll of a title with double-byte characters.
    const std::string japanese = "\x83\x5e\x83\x43\x83\x67\x83\x8b " + kLongTitle;
    int steps = 0;
    setWaitHook([&](int) {
        if (++steps == 12) {
            expectLook(LCD_DISPLAY, QStringLiteral("lcd-scrolling"));
            LCD_DISPLAY->LB_OVER->Tag = 2; // ends the scroll
        }
    });
    ShowScrollTitle(japanese);
    setWaitHook([this](int ms) { runFor(std::max(ms, 1)); });
    expectLook(LCD_DISPLAY, QStringLiteral("lcd-over"));

    PlayCD(Form1);
    tick(9);
    expectLook(LCD_DISPLAY, QStringLiteral("lcd-playing"));
    expectLook(Form1, QStringLiteral("panel-playing"));
    TimeMode = 2;
    tick();
    expectLook(LCD_DISPLAY, QStringLiteral("lcd-remaining"));
}

// A caption drawn from the scroll text's glyphs shows the same pixels as the caption shaped on
// its own: every window of a scroll of a Japanese and Latin title, of a title in UTF-8 with
// characters from other faces, then of another title after a title change, and a caption of the
// old title that the new text does not hold.
TEST_F(Repaint, ACaptionFromTheScrollTextLooksAsShapedAlone) {
    auto makeLine = [] {
        auto *line = new TLabel;
        line->setGeometry(LCD_DISPLAY->LB_NAME->geometry());
        line->setFont(LCD_DISPLAY->LB_NAME->font());
        line->setFace(kLime);
        return std::unique_ptr<TLabel>(line);
    };
    const std::unique_ptr<TLabel> fromScroll = makeLine(), alone = makeLine();
    auto expectSame = [&](const std::string &caption) {
        fromScroll->setCaption(caption);
        alone->setCaption(caption);
        EXPECT_TRUE(fromScroll->grab().toImage() == alone->grab().toImage()) << caption;
    };
    const std::string japanese = "\x83\x5e\x83\x43\x83\x67\x83\x8b AVAToWa " + kLongTitle;
    const std::string utf8 = std::string(titles::kUtf8Mark) + "Caf\xC3\xA9 \xED\x95\x9C\xEA\xB8\x80 " +
                             "\xF0\xA0\x80\x8B \xCE\xB1\xCE\xB2 " + kLongTitle;
    const std::string other = "Another title that scrolls through the line, 12345";
    for (const std::string &title : {japanese, utf8, other}) {
        const TitleColumns scroll = TitleColumns(title).scrolled();
        fromScroll->setScrollText(scroll.shown(0, scroll.layout().size()));
        for (const std::string &window : marqueeWindows(title)) expectSame(window);
        expectSame(titleHead(title));
    }
    expectSame(titleHead(japanese));
}

} // namespace
