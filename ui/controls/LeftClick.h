#pragma once

class QMouseEvent;
class QWidget;

// Turns a left press and a release over the same widget into a click, as buttons do; other
// buttons are left to the widget's parents (the window's popup menu).
class LeftClick {
public:
    void press(QMouseEvent *event);
    // True when this release completes a click on `widget`.
    bool release(QWidget *widget, QMouseEvent *event);

private:
    bool m_pressed = false;
};
