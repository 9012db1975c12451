#include "ui/controls/Accessible.h"

#include "ui/ErrorDisplay.h"
#include "ui/TransportBar.h"
#include "ui/controls/AccessibleTrackGrid.h"
#include "ui/controls/AccessibleTransportBar.h"
#include "ui/controls/Colours.h"
#include "ui/controls/Label.h"
#include "ui/controls/Panel.h"
#include "ui/controls/TrackGrid.h"

#include <QAbstractButton>
#include <QPointer>

namespace {

constexpr char kSwitchProperty[] = "tunewickSwitch";
constexpr char kDeferredClickProperty[] = "tunewickDeferredClick";
constexpr char kKeyBindingProperty[] = "tunewickKey";

QByteArray keyBindingProperty(int part) {
    return part < 0 ? QByteArray(kKeyBindingProperty) : kKeyBindingProperty + QByteArray::number(part);
}

QAccessibleInterface *controlFactory(const QString &className, QObject *object) {
    auto *widget = qobject_cast<QWidget *>(object);
    if (!widget) return nullptr;
    if (widget->property(kDeferredClickProperty).toBool()) return new AccessibleDeferredButton(widget);
    if (className == QLatin1String("TPanel")) return new AccessiblePanel(widget);
    if (className == QLatin1String("TLabel")) return new AccessibleLabel(widget);
    if (className == QLatin1String("TTrackGrid")) return new AccessibleTrackGrid(static_cast<TTrackGrid *>(widget));
    if (className == QLatin1String("TMediaPlayer"))
        return new AccessibleTransportBar(static_cast<TMediaPlayer *>(widget));
    // The program's own windows are plain widgets: without this a reader takes them for panes.
    if (className == QLatin1String("QWidget") && widget->isWindow()) return new QAccessibleWidget(widget, QAccessible::Window);
    return nullptr;
}

void sendEvent(QWidget *control, QAccessible::Event type) {
    if (!QAccessible::isActive()) return;
    QAccessibleEvent event(control, type);
    QAccessible::updateAccessibility(&event);
}

}  // namespace

void installAccessibleInterfaces() { QAccessible::installFactory(&controlFactory); }

void markAsSwitch(QWidget *panel) { panel->setProperty(kSwitchProperty, true); }

bool isSwitch(const QWidget *panel) { return panel->property(kSwitchProperty).toBool(); }

void deferAccessibleClicks(QWidget *button) { button->setProperty(kDeferredClickProperty, true); }

void setKeyBinding(QWidget *control, const QString &key, int part) {
    control->setProperty(keyBindingProperty(part).constData(), key);
}

QString keyBinding(const QWidget *control, int part) {
    return control->property(keyBindingProperty(part).constData()).toString();
}

void accessibleNameChanged(QWidget *control) { sendEvent(control, QAccessible::NameChanged); }

void accessibleDescriptionChanged(QWidget *control) { sendEvent(control, QAccessible::DescriptionChanged); }

void accessibleCheckedChanged(QWidget *control) {
    if (!QAccessible::isActive() || !isSwitch(control)) return;
    QAccessible::State changed;
    changed.checked = true;
    QAccessibleStateChangeEvent event(control, changed);
    QAccessible::updateAccessibility(&event);
}

bool acceptsClicks(const QWidget *control) { return control->isVisible() && control->isEnabled(); }

void postAccessibleClick(QWidget *control, std::function<bool()> usable, std::function<void()> click) {
    if (!usable()) return;
    QMetaObject::invokeMethod(
        control,
        [usable = std::move(usable), click = std::move(click)] {
            if (usable()) runGuarded(click);
        },
        Qt::QueuedConnection);
}

// --- panels ---

AccessiblePanel::AccessiblePanel(QWidget *panel) : QAccessibleWidget(panel) {}

TPanel *AccessiblePanel::panel() const { return static_cast<TPanel *>(widget()); }

// The name is what the panel shows; a panel without a caption is named by its hint.
QString AccessiblePanel::text(QAccessible::Text t) const {
    TPanel *p = panel();
    const QString caption = p->Caption();
    switch (t) {
    case QAccessible::Name:
        if (!p->accessibleName().isEmpty()) return p->accessibleName();
        return caption.isEmpty() ? p->Hint() : caption;
    case QAccessible::Description: return caption.isEmpty() ? QString() : p->Hint();
    default: return QAccessibleWidget::text(t);
    }
}

// A switch is a check box, the role Qt gives a checkable button: the bridge reports a check box
// that is not checked as such, while a push button without "checked" reads as a plain button.
QAccessible::Role AccessiblePanel::role() const {
    if (!panel()->Clickable()) return QAccessible::Pane;
    return isSwitch(panel()) ? QAccessible::CheckBox : QAccessible::Button;
}

QAccessible::State AccessiblePanel::state() const {
    QAccessible::State s = QAccessibleWidget::state();
    if (isSwitch(panel())) {
        s.checkable = true;
        s.checked = panel()->FontColor() == kGreen;
    }
    return s;
}

QStringList AccessiblePanel::actionNames() const {
    if (!panel()->Clickable()) return {};
    return {isSwitch(panel()) ? toggleAction() : pressAction()};
}

// A switch takes Press as well as Toggle: both are one click.
void AccessiblePanel::doAction(const QString &actionName) {
    const bool toggles = actionName == toggleAction() && isSwitch(panel());
    if ((actionName != pressAction() && !toggles) || !panel()->Clickable()) return;
    QPointer<TPanel> p = panel();
    postAccessibleClick(p, [p] { return p && acceptsClicks(p); }, [p] { Q_EMIT p->clicked(); });
}

QStringList AccessiblePanel::keyBindingsForAction(const QString &actionName) const {
    const QString key = keyBinding(panel());
    if (key.isEmpty() || !actionNames().contains(actionName)) return {};
    return {key};
}

// --- stock buttons whose click opens a dialog ---

AccessibleDeferredButton::AccessibleDeferredButton(QWidget *button) : QAccessibleWidget(button, QAccessible::Button) {}

QStringList AccessibleDeferredButton::actionNames() const { return {pressAction()}; }

void AccessibleDeferredButton::doAction(const QString &actionName) {
    auto *button = qobject_cast<QAbstractButton *>(widget());
    if (actionName != pressAction() || !button) return;
    QPointer<QAbstractButton> b = button;
    postAccessibleClick(b, [b] { return b && acceptsClicks(b); }, [b] { b->click(); });
}

// --- labels ---

AccessibleLabel::AccessibleLabel(QWidget *label) : QAccessibleWidget(label, QAccessible::StaticText) {}

TLabel *AccessibleLabel::label() const { return static_cast<TLabel *>(widget()); }

QString AccessibleLabel::text(QAccessible::Text t) const {
    if (t == QAccessible::Name && label()->accessibleName().isEmpty()) return label()->Text();
    return QAccessibleWidget::text(t);
}

QStringList AccessibleLabel::actionNames() const {
    return label()->Clickable() ? QStringList{pressAction()} : QStringList{};
}

void AccessibleLabel::doAction(const QString &actionName) {
    if (actionName != pressAction() || !label()->Clickable()) return;
    QPointer<TLabel> l = label();
    postAccessibleClick(l, [l] { return l && acceptsClicks(l); }, [l] { Q_EMIT l->clicked(); });
}
