#pragma once

#include "ui/TransportBar.h"

#include <QAccessibleWidget>
#include <QHash>

// The transport bar as a tool bar of nine buttons named as the player says them. A button is
// enabled while the bar is and its kind is in EnabledButtons; Step, Back and Record lie under the
// shutter and are never enabled. The press action takes the bar's own click path (OnClick,
// DoDefault, OnPostClick), so the player's rules hold as for a mouse click.
class AccessibleTransportBar : public QAccessibleWidget {
public:
    explicit AccessibleTransportBar(TMediaPlayer *bar);
    ~AccessibleTransportBar() override;

    int childCount() const override;
    QAccessibleInterface *child(int index) const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QAccessibleInterface *childAt(int x, int y) const override;

    TMediaPlayer *bar() const;

private:
    QHash<int, QAccessible::Id> m_buttons;  // kind -> registered button interface
};

// The spoken name of a transport button.
QString transportButtonName(TMPBtnType kind);
// Whether a screen reader may press `kind` now.
bool transportButtonUsable(const TMediaPlayer *bar, TMPBtnType kind);

// The buttons in `changed` (a TButtonSet) may have changed between enabled and disabled; returns
// at once while no client listens.
void accessibleTransportButtonsChanged(TMediaPlayer *bar, TButtonSet changed);
