// The title marquee of the LCD's title line.
#include "player/Commands.h"
#include "player/PlayerState.h"
#include "ui/DoubleByte.h"
#include "ui/Form1.h"
#include "ui/LcdDisplay.h"
#include "ui/controls/Timer.h"

namespace {

constexpr int kWindowBytes = 28;

std::function<void(const std::string &)> &titleLineObserver() {
    static std::function<void(const std::string &)> observer;
    return observer;
}

void showOnTitleLine(const std::string &text) {
    LCD_DISPLAY->LB_NAME->setCaption(text);
    if (titleLineObserver()) titleLineObserver()(text);
}

// A step waits for the poll's clock when both keep the same period, so that the step and the
// poll's tick share one wake-up of the window thread instead of taking two. The scroll keeps its
// pace; only its first step may come up to one period early. Should the poll be switched off
// during a wait, the step follows half a period late.
void waitForNextStep() {
    const TTimer &poll = *Form1->Timer1;
    if (poll.Ticking() && poll.Interval() == ScrollDelay && ScrollDelay > 0)
        WaitForTimer(poll, ScrollDelay + ScrollDelay / 2);
    else
        WaitMs(ScrollDelay);
}

}  // namespace

void setTitleLineObserver(std::function<void(const std::string &)> observer) {
    titleLineObserver() = std::move(observer);
}

void ShowScrollTitle(const std::string &S) {
    TLabel *over = LCD_DISPLAY->LB_OVER;
    over->Tag = over->Tag + 1;
    showOnTitleLine(titleHead(S));
    over->hide();
    // Lengths and positions count the title line's columns: bytes of a code page 932 title.
    const TitleColumns title(S);
    const bool scrolls = title.layout().size() >= kWindowBytes;
    if (scrolls) {
        const TitleColumns scroll = title.scrolled();
        const std::string &T = scroll.layout();
        LCD_DISPLAY->LB_NAME->setScrollText(scroll.shown(0, T.size()));
        for (int p = 1;; ++p) {
            if (Form1->PA_POWER->Tag == 0) break;
            if (!IsTrailByte(T, p)) {
                showOnTitleLine(scroll.shown(static_cast<size_t>(p - 1), IsTrailByte(T, p + kWindowBytes) ? 27 : 28));
                waitForNextStep();
            }
            if (beginsWithStopMark(LCD_DISPLAY->LB_NAME->Caption())) break;
            if (over->Tag != 1) break;
        }
    }
    if (scrolls && over->Tag != 0) {
        over->show();
        showOnTitleLine(titleHead(S));
    }
    over->Tag = 0;
}
