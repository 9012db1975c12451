#pragma once

#include <QAccessibleWidget>

#include <functional>

class QWidget;

// Screen-reader support for the controls that draw themselves. The interfaces are made only when an
// accessibility client asks for them; until then the controls' notifications below cost one test.

// Installs the factory that gives the program's own controls their interfaces. Call once the
// application object exists; calling it again does nothing.
void installAccessibleInterfaces();

// Marks a panel button as a switch: a screen reader hears it as a check box, checked while its
// caption is green (the look of a switch that is on) and not checked otherwise.
void markAsSwitch(QWidget *panel);
bool isSwitch(const QWidget *panel);

// Marks a stock button whose click opens a modal dialog: its press action posts the click, as the
// program's own controls do, instead of running the dialog inside the reader's call.
void deferAccessibleClicks(QWidget *button);

// The key that does what a press of `control` does (of its button `part`, for a control of
// several), as a reader says it after the control's name; empty for none.
void setKeyBinding(QWidget *control, const QString &key, int part = -1);
QString keyBinding(const QWidget *control, int part = -1);

// Notifications for the controls; each returns at once while no client listens.
void accessibleNameChanged(QWidget *control);
void accessibleDescriptionChanged(QWidget *control);
void accessibleCheckedChanged(QWidget *control);

// Runs `click` from the event queue, as a mouse click on `control` would, when the control can
// take a click then. A screen reader's action call returns at once, so a dialog that the click
// opens does not hold the reader waiting for its answer.
void postAccessibleClick(QWidget *control, std::function<bool()> usable, std::function<void()> click);

// A control usable with the mouse: shown on screen and enabled.
bool acceptsClicks(const QWidget *control);

// A panel that serves as a button (or, without a click handler, a plain container).
class AccessiblePanel : public QAccessibleWidget {
public:
    explicit AccessiblePanel(QWidget *panel);

    QString text(QAccessible::Text t) const override;
    QAccessible::Role role() const override;
    QAccessible::State state() const override;
    QStringList actionNames() const override;
    void doAction(const QString &actionName) override;
    QStringList keyBindingsForAction(const QString &actionName) const override;

private:
    class TPanel *panel() const;
};

// A stock button marked by deferAccessibleClicks.
class AccessibleDeferredButton : public QAccessibleWidget {
public:
    explicit AccessibleDeferredButton(QWidget *button);

    QStringList actionNames() const override;
    void doAction(const QString &actionName) override;
};

// A one-line label: static text whose name is its caption, with a press action where a click on
// it runs a command.
class AccessibleLabel : public QAccessibleWidget {
public:
    explicit AccessibleLabel(QWidget *label);

    QString text(QAccessible::Text t) const override;
    QStringList actionNames() const override;
    void doAction(const QString &actionName) override;

private:
    class TLabel *label() const;
};
