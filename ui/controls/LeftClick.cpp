#include "ui/controls/LeftClick.h"

#include <QMouseEvent>
#include <QWidget>

void LeftClick::press(QMouseEvent *event) {
    if (event->button() == Qt::LeftButton)
        m_pressed = true;
    else
        event->ignore();
}

bool LeftClick::release(QWidget *widget, QMouseEvent *event) {
    bool wasPressed = m_pressed;
    m_pressed = false;
    if (event->button() == Qt::LeftButton && wasPressed && widget->rect().contains(event->position().toPoint()))
        return true;
    event->ignore();
    return false;
}
