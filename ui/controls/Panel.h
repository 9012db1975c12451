#pragma once

#include "ui/controls/LeftClick.h"

#include <QColor>
#include <QWidget>

enum TBevelCut { bvNone, bvLowered, bvRaised };

// A panel that also serves as a button: a filled face with an outer and an inner bevel and a
// centred caption. A press and release over it is a click. The hint is the tool tip.
class TPanel : public QWidget {
    Q_OBJECT
public:
    explicit TPanel(QWidget *parent = nullptr);

    QString Caption() const { return m_caption; }
    void setCaption(const QString &caption);
    QColor Color() const { return m_color; }
    void setColor(const QColor &color);
    QColor FontColor() const { return m_fontColor; }
    void setFontColor(const QColor &color);
    TBevelCut BevelOuter() const { return m_outer; }
    void setBevelOuter(TBevelCut cut);
    TBevelCut BevelInner() const { return m_inner; }
    void setBevelInner(TBevelCut cut);
    QString Hint() const { return m_hint; }
    void setHint(const QString &hint);
    bool ShowHint() const { return m_showHint; }
    void setShowHint(bool show);
    // Whether a click runs a command: the panel serves as a button.
    bool Clickable() const;

    int Tag = 0;
    int HelpContext = 0;

Q_SIGNALS:
    void clicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void applyToolTip();

    QString m_caption;
    QColor m_color;
    QColor m_fontColor = Qt::black;
    TBevelCut m_outer = bvRaised;
    TBevelCut m_inner = bvNone;
    QString m_hint;
    bool m_showHint = true;
    LeftClick m_click;
};

// Draws a one-pixel bevel inside `rect` and shrinks it by one pixel on every side.
void drawBevel(class QPainter &painter, QRect &rect, TBevelCut cut);
