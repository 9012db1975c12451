#include "ui/controls/MenuItem.h"

TMenuItem::TMenuItem(const QString &caption, QObject *parent) : QAction(caption, parent) {}

void TMenuItem::setCheckMark(bool checked) {
    setCheckable(checked);
    setChecked(checked);
}
