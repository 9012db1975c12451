// The title marquee of the LCD's title line.
#include "player/Commands.h"
#include "player/PlayerState.h"
#include "ui/DoubleByte.h"
#include "ui/Form1.h"
#include "ui/LcdDisplay.h"

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

}  // namespace

void setTitleLineObserver(std::function<void(const std::string &)> observer) {
    titleLineObserver() = std::move(observer);
}

void ShowScrollTitle(const std::string &S) {
    TLabel *over = LCD_DISPLAY->LB_OVER;
    over->Tag = over->Tag + 1;
    showOnTitleLine(titleHead(S));
    over->hide();
    if (S.size() >= kWindowBytes) {
        const std::string T = S + " >> " + S;
        for (int p = 1;; ++p) {
            if (Form1->PA_POWER->Tag == 0) break;
            if (!IsTrailByte(T, p)) {
                showOnTitleLine(T.substr(static_cast<size_t>(p - 1), IsTrailByte(T, p + kWindowBytes) ? 27 : 28));
                WaitMs(ScrollDelay);
            }
            if (CopyChars(LCD_DISPLAY->LB_NAME->Caption(), 1, 2).substr(0, 2) == ">>") break;
            if (over->Tag != 1) break;
        }
    }
    if (S.size() >= kWindowBytes && over->Tag != 0) {
        over->show();
        showOnTitleLine(titleHead(S));
    }
    over->Tag = 0;
}
