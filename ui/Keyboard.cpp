#include "ui/Keyboard.h"

#include "ui/ErrorDisplay.h"
#include "ui/Form1.h"
#include "ui/LcdDisplay.h"
#include "ui/TrackSelector.h"
#include "ui/controls/Accessible.h"

#include <QApplication>
#include <QHash>
#include <QKeyEvent>
#include <QPointer>
#include <QSet>
#include <QShortcut>

#include <algorithm>

namespace {

// A remote's pause for the second digit.
constexpr int kDigitPauseMs = 1000;

std::function<void()> &beepHook() {
    static std::function<void()> hook;
    return hook;
}

void beep() {
    if (beepHook()) return beepHook()();
    QApplication::beep();
}

bool playerOn() { return Form1->PA_POWER->Tag == 1; }

bool has(TButtonSet set, TMPBtnType button) { return (set & buttonSet({button})) != 0; }

// A click on the transport bar's `button`, when the bar would take one.
void pressBar(TMPBtnType button) {
    TMediaPlayer *bar = Form1->MediaPlayer1;
    if (playerOn() && bar->isEnabled() && has(bar->EnabledButtons(), button)) bar->click(button);
}

void playOrPause() { pressBar(has(Form1->MediaPlayer1->EnabledButtons(), btPause) ? btPause : btPlay); }

// A click on one of the panel's function buttons. Its menu item is enabled exactly while the
// button takes clicks (REP and SHF from power-on, DISPLAY while the panel is on screen).
void pressPanel(TPanel *panel, const TMenuItem *item, void (TForm1::*handler)(QObject *)) {
    if (playerOn() && item->isEnabled()) (Form1->*handler)(panel);
}

QString keyName(const QKeySequence &key) { return key.toString(QKeySequence::NativeText); }

// What the pending digits cover while they show: the grid's current cell (its text and note) and
// the LCD's track field. Each is put back when the digits go, unless something else has been
// written there since (the poll's next time, an eject's blank grid).
class PendingDigitsView {
public:
    void show(const std::string &text) {
        TTrackGrid *grid = Form1->SG_TRACK;
        TLabel *field = LCD_DISPLAY->LB_TRACK;
        const bool coversCell = m_showing && grid->Col() == m_col && grid->Row() == m_row && ownsCell();
        if (!coversCell) {
            putBackCell();
            m_col = grid->Col();
            m_row = grid->Row();
            m_cellText = grid->Cells(m_col, m_row);
            m_cellNote = grid->CellNote(m_col, m_row);
        }
        if (!m_showing || field->Caption() != m_shown) m_fieldText = field->Caption();
        m_shown = text;
        m_showing = true;
        grid->setCell(m_col, m_row, text);
        field->setCaption(text);
    }

    void hide() {
        if (!m_showing) return;
        putBackCell();
        if (LCD_DISPLAY->LB_TRACK->Caption() == m_shown) LCD_DISPLAY->LB_TRACK->setCaption(m_fieldText);
        m_showing = false;
    }

private:
    bool ownsCell() const { return Form1->SG_TRACK->Cells(m_col, m_row) == m_shown; }
    void putBackCell() {
        if (!m_showing || !ownsCell()) return;
        Form1->SG_TRACK->setCell(m_col, m_row, m_cellText);
        Form1->SG_TRACK->setCellNote(m_col, m_row, m_cellNote);
    }

    bool m_showing = false;
    std::string m_shown;
    int m_col = 0;
    int m_row = 0;
    std::string m_cellText;
    QString m_cellNote;
    std::string m_fieldText;
};

bool isPlayerWindow(const QObject *object) {
    const auto *widget = qobject_cast<const QWidget *>(object);
    if (!widget) return false;
    const QWidget *window = widget->window();
    return window == Form1 || window == LCD_DISPLAY || window == Form5;
}

class PlayerKeys : public QObject {
public:
    explicit PlayerKeys(QObject *parent);
    ~PlayerKeys() override;
    PlayerKeys(const PlayerKeys &) = delete;
    PlayerKeys &operator=(const PlayerKeys &) = delete;

    const QString &digits() const { return m_digits; }
    void playPending();
    void forget();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    using Action = std::function<void(QWidget *window)>;
    void bind(const QList<QKeySequence> &keys, const Action &action, bool keepsDigits = false);
    void bindTransport();
    void bindDigits();
    void tellScreenReaders();
    void followPoll();
    void digit(int value);
    bool isPlayerKey(const QKeyEvent &event) const;
    bool isRepeat(const QKeyEvent &event) const;

    QString m_digits;
    QSet<QKeyCombination> m_keys;    // every key bound below
    QHash<int, quint64> m_releasedAt; // the time of each key's last release
    TTimer *m_pause;
    PendingDigitsView m_view;
};

QPointer<PlayerKeys> g_keys;

PlayerKeys::PlayerKeys(QObject *parent) : QObject(parent), m_pause(new TTimer(this)) {
    m_pause->setInterval(kDigitPauseMs);
    m_pause->OnTimer = [this] { runGuarded([this] { playPending(); }); };
    bindTransport();
    bindDigits();
    bind({QKeySequence(Qt::SHIFT | Qt::Key_F10), QKeySequence(Qt::Key_Menu)},
         [](QWidget *window) { Form1->PM1->popup(window->mapToGlobal(window->rect().center())); });
    bind({QKeySequence(Qt::Key_F1)}, [](QWidget *) { Form1->PM_HELPClick(Form1->PM_HELP); });
    tellScreenReaders();
    followPoll();
    qApp->installEventFilter(this);
}

PlayerKeys::~PlayerKeys() { qApp->removeEventFilter(this); }

// Two things no shortcut can do. The X server repeats a held key, and Qt runs a shortcut for each
// repeat whatever the shortcut's own setting: the repeats of the player's keys are swallowed before
// a shortcut sees them, so that a held key is one press. And a press of the mouse on any of the
// player's windows is another action: the digits typed before it are forgotten.
bool PlayerKeys::eventFilter(QObject *watched, QEvent *event) {
    switch (event->type()) {
    case QEvent::KeyRelease: {
        const auto *key = static_cast<QKeyEvent *>(event);
        m_releasedAt[key->key()] = key->timestamp();
        return false;
    }
    case QEvent::ShortcutOverride:
    case QEvent::KeyPress: {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (!isRepeat(*key) || !isPlayerWindow(watched) || !isPlayerKey(*key)) return false;
        // An accepted override takes the key away from the shortcuts.
        event->accept();
        return true;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        if (!m_digits.isEmpty() && isPlayerWindow(watched)) forget();
        return false;
    default:
        return false;
    }
}

// Under X a repeat comes as a release and a press of the same key at the same moment of the server's
// clock, and Qt does not always mark it (Xvfb's repeats never are): a real press after a release is
// always at least some milliseconds later. Events made without a time (0) are never repeats.
bool PlayerKeys::isRepeat(const QKeyEvent &event) const {
    if (event.isAutoRepeat()) return true;
    const auto released = m_releasedAt.constFind(event.key());
    return event.timestamp() != 0 && released != m_releasedAt.cend() && *released == event.timestamp();
}

bool PlayerKeys::isPlayerKey(const QKeyEvent &event) const {
    const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
    return m_keys.contains(QKeyCombination(modifiers, Qt::Key(event.key())));
}

// One shortcut a window: the key works whichever of the three is active. A held key is one press.
void PlayerKeys::bind(const QList<QKeySequence> &keys, const Action &action, bool keepsDigits) {
    for (const QKeySequence &key : keys) m_keys.insert(key[0]);
    for (QWidget *window : {static_cast<QWidget *>(Form1), static_cast<QWidget *>(LCD_DISPLAY),
                            static_cast<QWidget *>(Form5)}) {
        auto *shortcut = new QShortcut(window);
        shortcut->setKeys(keys);
        shortcut->setContext(Qt::WindowShortcut);
        shortcut->setAutoRepeat(false);
        connect(shortcut, &QShortcut::activated, this, [this, window, action, keepsDigits] {
            runGuarded([&] {
                if (!keepsDigits) forget();
                action(window);
            });
        });
    }
}

void PlayerKeys::bindTransport() {
    auto bar = [](TMPBtnType button) { return [button](QWidget *) { pressBar(button); }; };
    auto panel = [](TPanel *TForm1::*panel, TMenuItem *TForm1::*item, void (TForm1::*handler)(QObject *)) {
        return [=](QWidget *) { pressPanel(Form1->*panel, Form1->*item, handler); };
    };
    bind({QKeySequence(Qt::Key_Space), QKeySequence(Qt::Key_MediaPlay), QKeySequence(Qt::Key_MediaTogglePlayPause)},
         [](QWidget *) { playOrPause(); });
    bind({QKeySequence(Qt::Key_MediaPause)}, bar(btPause));
    bind({QKeySequence(Qt::Key_S), QKeySequence(Qt::Key_MediaStop)}, bar(btStop));
    bind({QKeySequence(Qt::Key_N), QKeySequence(Qt::Key_Right), QKeySequence(Qt::Key_MediaNext)}, bar(btNext));
    bind({QKeySequence(Qt::Key_P), QKeySequence(Qt::Key_Left), QKeySequence(Qt::Key_MediaPrevious)}, bar(btPrev));
    bind({QKeySequence(Qt::Key_E), QKeySequence(Qt::Key_Eject)}, bar(btEject));
    bind({QKeySequence(Qt::Key_L)}, panel(&TForm1::PA_Repeat, &TForm1::PM_REPEAT, &TForm1::PA_RepeatClick));
    bind({QKeySequence(Qt::Key_R)}, panel(&TForm1::PA_Shff, &TForm1::PM_SHFF, &TForm1::PA_ShffClick));
    bind({QKeySequence(Qt::Key_D)}, panel(&TForm1::PA_DISP, &TForm1::PM_DISP, &TForm1::PA_DISPClick));
}

// The keypad's digits and Enter count too: a shortcut without the keypad modifier also takes them.
void PlayerKeys::bindDigits() {
    for (int value = 0; value <= 9; ++value)
        bind({QKeySequence(Qt::Key_0 + value)}, [this, value](QWidget *) { digit(value); }, true);
    bind({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)}, [this](QWidget *) { playPending(); }, true);
    bind({QKeySequence(Qt::Key_Escape)}, [this](QWidget *) { forget(); }, true);
}

// One key an action: a reader says the binding after the control's name ("Play, Space").
void PlayerKeys::tellScreenReaders() {
    TMediaPlayer *bar = Form1->MediaPlayer1;
    for (auto [button, key] : {std::pair{btPlay, Qt::Key_Space}, {btPause, Qt::Key_Space}, {btStop, Qt::Key_S},
                               {btNext, Qt::Key_N}, {btPrev, Qt::Key_P}, {btEject, Qt::Key_E}})
        setKeyBinding(bar, keyName(QKeySequence(key)), button);
    setKeyBinding(Form1->PA_Repeat, keyName(QKeySequence(Qt::Key_L)));
    setKeyBinding(Form1->PA_Shff, keyName(QKeySequence(Qt::Key_R)));
    setKeyBinding(Form1->PA_DISP, keyName(QKeySequence(Qt::Key_D)));
}

// The poll rewrites the LCD's track field on every tick of a playing disc, and the grid when the
// track changes: the digits are shown again after each tick. A disc gone forgets them.
void PlayerKeys::followPoll() {
    TTimer *timer = Form1->Timer1;
    std::function<void()> poll = std::move(timer->OnTimer);
    timer->OnTimer = [poll = std::move(poll), self = QPointer<PlayerKeys>(this)] {
        if (poll) poll();
        if (!self || self->m_digits.isEmpty()) return;
        if (!Form1->SG_TRACK->isEnabled()) return self->forget();
        self->m_view.show((self->m_digits + QLatin1Char('-')).toStdString());
    };
}

// A disc's tracks number at most 99: the second digit completes the number.
void PlayerKeys::digit(int value) {
    if (!playerOn() || !Form1->SG_TRACK->isEnabled()) return;
    m_digits += QChar(char16_t(u'0' + value));
    if (m_digits.size() >= 2) return playPending();
    m_pause->setEnabled(false);
    m_pause->setEnabled(true);
    m_view.show((m_digits + QLatin1Char('-')).toStdString());
}

// The track plays as a press on its grid cell plays it.
void PlayerKeys::playPending() {
    const bool typed = !m_digits.isEmpty();
    const int track = m_digits.toInt();
    forget();
    TTrackGrid *grid = Form1->SG_TRACK;
    if (!typed || !playerOn() || !grid->isEnabled()) return;
    const int cells = TTrackGrid::kColumns * TTrackGrid::kRows;
    if (track < 1 || track > std::min(Form1->MediaPlayer1->Tracks(), cells)) return beep();
    grid->clickCell((track - 1) % TTrackGrid::kColumns, (track - 1) / TTrackGrid::kColumns);
}

void PlayerKeys::forget() {
    m_pause->setEnabled(false);
    m_digits.clear();
    m_view.hide();
}

}  // namespace

void setUpKeys() { g_keys = new PlayerKeys(Form1); }

void forgetPendingTrackDigits() {
    if (g_keys) g_keys->forget();
}

QString pendingTrackDigits() { return g_keys ? g_keys->digits() : QString(); }

void playPendingTrack() {
    if (g_keys) runGuarded([] { g_keys->playPending(); });
}

void setBeepHook(std::function<void()> hook) { beepHook() = std::move(hook); }
