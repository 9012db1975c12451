#pragma once

#include "ui/controls/LeftClick.h"

#include <QColor>
#include <QWidget>
#include <string>

// A one-line text label. Its caption is a title (platform/TitleEncoding.h), decoded only for drawing. With
// AutoSize it takes the width and height of its text; otherwise it keeps its size and aligns.
class TLabel : public QWidget {
    Q_OBJECT
public:
    explicit TLabel(QWidget *parent = nullptr);

    const std::string &Caption() const { return m_caption; }
    void setCaption(const std::string &bytes);
    QColor Color() const { return m_color; }
    void setColor(const QColor &color);  // background; transparent until set
    void setTransparent(bool transparent);
    // The colour of the plain face that a transparent label lies on, wholly inside it: the label
    // paints that face under its text itself, so that a change of its text repaints the label
    // alone and not the panels and window beneath it.
    void setFace(const QColor &face);
    QColor FontColor() const { return m_fontColor; }
    void setFontColor(const QColor &color);
    void setAlignment(Qt::Alignment alignment);
    void setAutoSize(bool autoSize);
    QString Hint() const { return toolTip(); }
    const QString &Text() const { return m_text; }  // the caption decoded
    // Whether a click runs a command.
    bool Clickable() const;

    int Tag = 0;

Q_SIGNALS:
    void clicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void fitToText();
    void drawCaption(QPainter &painter);

    std::string m_caption;
    QString m_text;
    QColor m_color;
    bool m_transparent = true;
    QColor m_face;  // invalid: the parent paints what lies under the label
    QColor m_fontColor = Qt::black;
    Qt::Alignment m_alignment = Qt::AlignLeft | Qt::AlignTop;
    bool m_autoSize = false;
    LeftClick m_click;
};
