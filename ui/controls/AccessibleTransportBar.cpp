#include "ui/controls/AccessibleTransportBar.h"

#include "ui/controls/Accessible.h"

#include <QCoreApplication>
#include <QPointer>

namespace {

constexpr int kButtonCount = 9;
constexpr TButtonSet kUnderTheShutter = buttonSet({btStep, btBack, btRecord});

bool inSet(TButtonSet set, int kind) { return (set >> kind & 1u) != 0; }

class AccessibleTransportButton : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    AccessibleTransportButton(TMediaPlayer *bar, TMPBtnType kind) : m_bar(bar), m_kind(kind) {}

    void *interface_cast(QAccessible::InterfaceType t) override {
        return t == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface *>(this) : nullptr;
    }
    bool isValid() const override { return m_bar; }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return m_bar ? m_bar->window()->windowHandle() : nullptr; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QAccessibleInterface *parent() const override { return QAccessible::queryAccessibleInterface(m_bar); }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Name ? transportButtonName(m_kind) : QString();
    }
    void setText(QAccessible::Text, const QString &) override {}
    QRect rect() const override {
        if (!m_bar) return {};
        const int left = transportButtonLeft(m_kind, m_bar->width(), m_bar->VisibleButtons());
        if (left < 0) return {};
        const int width = transportButtonWidth(m_bar->width(), m_bar->VisibleButtons());
        return QRect(m_bar->mapToGlobal(QPoint(left, 0)), QSize(width, m_bar->height()));
    }
    QAccessible::Role role() const override { return QAccessible::Button; }
    QAccessible::State state() const override {
        QAccessible::State s;
        if (!m_bar) return s;
        s.disabled = !transportButtonUsable(m_bar, m_kind);
        s.invisible = !m_bar->isVisible() || !inSet(m_bar->VisibleButtons(), m_kind);
        return s;
    }

    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString &actionName) override {
        if (actionName != pressAction() || !m_bar) return;
        QPointer<TMediaPlayer> bar = m_bar;
        const TMPBtnType kind = m_kind;
        postAccessibleClick(bar, [bar, kind] { return bar && transportButtonUsable(bar, kind); },
                            [bar, kind] { bar->click(kind); });
    }
    QStringList keyBindingsForAction(const QString &actionName) const override {
        const QString key = m_bar && actionName == pressAction() ? keyBinding(m_bar, m_kind) : QString();
        return key.isEmpty() ? QStringList() : QStringList{key};
    }

private:
    QPointer<TMediaPlayer> m_bar;
    TMPBtnType m_kind;
};

}  // namespace

QString transportButtonName(TMPBtnType kind) {
    switch (kind) {
    case btPlay: return QCoreApplication::translate("TMediaPlayer", "再生");
    case btPause: return QCoreApplication::translate("TMediaPlayer", "一時停止");
    case btStop: return QCoreApplication::translate("TMediaPlayer", "停止");
    case btNext: return QCoreApplication::translate("TMediaPlayer", "次の曲");
    case btPrev: return QCoreApplication::translate("TMediaPlayer", "前の曲");
    case btStep: return QCoreApplication::translate("TMediaPlayer", "コマ送り");
    case btBack: return QCoreApplication::translate("TMediaPlayer", "コマ戻し");
    case btRecord: return QCoreApplication::translate("TMediaPlayer", "録音");
    case btEject: return QCoreApplication::translate("TMediaPlayer", "取り出し");
    }
    return {};
}

bool transportButtonUsable(const TMediaPlayer *bar, TMPBtnType kind) {
    return bar->isVisible() && bar->isEnabled() && inSet(bar->EnabledButtons(), kind) &&
           inSet(bar->VisibleButtons(), kind) && !inSet(kUnderTheShutter, kind);
}

AccessibleTransportBar::AccessibleTransportBar(TMediaPlayer *bar) : QAccessibleWidget(bar, QAccessible::ToolBar) {}

AccessibleTransportBar::~AccessibleTransportBar() {
    for (QAccessible::Id id : std::as_const(m_buttons)) QAccessible::deleteAccessibleInterface(id);
}

TMediaPlayer *AccessibleTransportBar::bar() const { return static_cast<TMediaPlayer *>(widget()); }

int AccessibleTransportBar::childCount() const { return kButtonCount; }

QAccessibleInterface *AccessibleTransportBar::child(int index) const {
    if (index < 0 || index >= kButtonCount) return nullptr;
    if (auto it = m_buttons.constFind(index); it != m_buttons.constEnd()) return QAccessible::accessibleInterface(*it);
    auto *button = new AccessibleTransportButton(bar(), static_cast<TMPBtnType>(index));
    const_cast<AccessibleTransportBar *>(this)->m_buttons.insert(index, QAccessible::registerAccessibleInterface(button));
    return button;
}

int AccessibleTransportBar::indexOfChild(const QAccessibleInterface *child) const {
    for (auto it = m_buttons.constBegin(); it != m_buttons.constEnd(); ++it)
        if (QAccessible::accessibleInterface(it.value()) == child) return it.key();
    return -1;
}

QAccessibleInterface *AccessibleTransportBar::childAt(int x, int y) const {
    const QPoint local = bar()->mapFromGlobal(QPoint(x, y));
    if (!bar()->rect().contains(local)) return nullptr;
    return child(transportButtonAt(local.x(), bar()->width(), bar()->VisibleButtons()));
}

void accessibleTransportButtonsChanged(TMediaPlayer *bar, TButtonSet changed) {
    if (!QAccessible::isActive()) return;
    QAccessible::State disabled;
    disabled.disabled = true;
    for (int kind = 0; kind < kButtonCount; ++kind) {
        if (!inSet(changed, kind)) continue;
        QAccessibleStateChangeEvent event(bar, disabled);
        event.setChild(kind);
        QAccessible::updateAccessibility(&event);
    }
}
