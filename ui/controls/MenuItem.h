#pragma once

#include <QAction>

// A popup-menu item. The check mark is drawn only while it is set, so unchecked items show no
// empty box.
class TMenuItem : public QAction {
    Q_OBJECT
public:
    TMenuItem(const QString &caption, QObject *parent);

    bool Checked() const { return isChecked(); }
    void setCheckMark(bool checked);
    int Tag = 0;
};
