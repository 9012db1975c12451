#pragma once

#include "ui/controls/LeftClick.h"

#include <QColor>
#include <QPointF>
#include <QRawFont>
#include <QWidget>

#include <optional>
#include <string>
#include <vector>

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
    // A text (a title, as a caption is) that captions to come are parts of, as a scrolling title's
    // windows are: it is laid out once here, and a caption found in it is drawn from its glyphs
    // instead of being shaped anew. Only plain text takes this way (one glyph a character, each
    // at the advance of the one before, none chosen by its neighbours), so that it draws the same
    // pixels; any other caption is drawn as usual.
    void setScrollText(const std::string &bytes);

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
    bool drawFromScrollText(QPainter &painter, const QPoint &baseline);

    // The glyphs of the scroll text in the order of its characters: glyph `i` draws the text's
    // code point `i`, which begins at `at[i]` in the text.
    struct ShapedText {
        QString text;
        std::vector<QRawFont> fonts;
        std::vector<int> font;
        std::vector<quint32> glyphs;
        std::vector<QPointF> positions; // from the first glyph's origin on the baseline
        std::vector<int> at;
    };
    static std::optional<ShapedText> shapePlainText(const QString &text, const QFont &font,
                                                    const QPaintDevice *device);
    std::optional<ShapedText> m_scroll;

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
