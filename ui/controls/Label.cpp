#include "ui/controls/Label.h"

#include "ui/controls/Accessible.h"

#include "platform/TitleEncoding.h"

#include <QEvent>
#include <QGlyphRun>
#include <QMetaMethod>
#include <QMouseEvent>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>

namespace {

// Characters that no font shapes by their neighbours: the scripts of Japanese titles and of
// Latin, Greek and Cyrillic ones, and precomposed Hangul syllables. Combining marks, conjoining
// Jamo and the scripts that join or reorder their letters are left to the full shaping.
bool isPlainCharacter(char32_t c) {
    if (c >= 0xAC00 && c <= 0xD7A3) return true;
    switch (QChar::script(c)) {
    case QChar::Script_Common:
    case QChar::Script_Latin:
    case QChar::Script_Greek:
    case QChar::Script_Cyrillic:
    case QChar::Script_Han:
    case QChar::Script_Hiragana:
    case QChar::Script_Katakana:
        return true;
    default:
        return false;
    }
}

}  // namespace

TLabel::TLabel(QWidget *parent) : QWidget(parent) {}

void TLabel::setCaption(const std::string &bytes) {
    if (bytes == m_caption) return;
    m_caption = bytes;
    m_text = titles::decode(bytes);
    fitToText();
    update();
    accessibleNameChanged(this);
}

bool TLabel::Clickable() const { return isSignalConnected(QMetaMethod::fromSignal(&TLabel::clicked)); }

void TLabel::setColor(const QColor &color) {
    m_color = color;
    m_transparent = false;
    update();
}

void TLabel::setTransparent(bool transparent) {
    m_transparent = transparent;
    update();
}

void TLabel::setFace(const QColor &face) {
    m_face = face;
    setAttribute(Qt::WA_OpaquePaintEvent, face.isValid());
    update();
}

void TLabel::setFontColor(const QColor &color) {
    m_fontColor = color;
    update();
}

void TLabel::setAlignment(Qt::Alignment alignment) {
    m_alignment = alignment;
    update();
}

void TLabel::setAutoSize(bool autoSize) {
    m_autoSize = autoSize;
    fitToText();
}

void TLabel::fitToText() {
    if (!m_autoSize) return;
    QFontMetrics metrics(font());
    resize(std::max(1, metrics.horizontalAdvance(m_text)), metrics.height());
}

void TLabel::setScrollText(const std::string &bytes) {
    m_scroll = shapePlainText(titles::decode(bytes), font(), this);
}

// Lays the text out once and keeps its glyphs when each is the font's own glyph for its character
// and stands at the advance of the one before it: then any part of the text shaped alone gives the
// same glyphs at the same distances.
std::optional<TLabel::ShapedText> TLabel::shapePlainText(const QString &text, const QFont &font,
                                                         const QPaintDevice *device) {
    if (text.isEmpty() || font.underline() || font.strikeOut() || font.overline() ||
        font.letterSpacing() != 0 || font.wordSpacing() != 0)
        return std::nullopt;
    ShapedText shaped;
    shaped.text = text;
    std::vector<char32_t> characters;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool pair = text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
        const char32_t c = pair ? QChar::surrogateToUcs4(text[i], text[i + 1]) : text[i].unicode();
        if (!isPlainCharacter(c)) return std::nullopt;
        characters.push_back(c);
        shaped.at.push_back(static_cast<int>(i));
        if (pair) ++i;
    }
    // Laid out for this label's screen, as its painter draws.
    QTextLayout layout(text, font, device);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(1e6);
    layout.endLayout();
    if (line.textLength() != text.size()) return std::nullopt;

    struct Placed {
        QPointF position;
        quint32 glyph;
        int font;
    };
    std::vector<Placed> placed;
    for (const QGlyphRun &run : layout.glyphRuns()) {
        auto known = std::find(shaped.fonts.begin(), shaped.fonts.end(), run.rawFont());
        const int font = static_cast<int>(known - shaped.fonts.begin());
        if (known == shaped.fonts.end()) shaped.fonts.push_back(run.rawFont());
        const QList<quint32> glyphs = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        for (qsizetype i = 0; i < glyphs.size(); ++i)
            placed.push_back({positions[i], glyphs[i], font});
    }
    if (placed.size() != characters.size()) return std::nullopt;
    std::stable_sort(placed.begin(), placed.end(),
                     [](const Placed &a, const Placed &b) { return a.position.x() < b.position.x(); });
    const QPointF origin = placed.front().position;
    for (size_t i = 0; i < placed.size(); ++i) {
        const QRawFont &raw = shaped.fonts[static_cast<size_t>(placed[i].font)];
        const QList<quint32> own = raw.glyphIndexesForString(QString::fromUcs4(&characters[i], 1));
        if (own.size() != 1 || own.front() != placed[i].glyph || placed[i].position.y() != origin.y())
            return std::nullopt;
        if (i + 1 < placed.size()) {
            const QList<QPointF> advance = raw.advancesForGlyphIndexes(own);
            if (placed[i + 1].position.x() - placed[i].position.x() != advance.front().x())
                return std::nullopt;
        }
        shaped.font.push_back(placed[i].font);
        shaped.glyphs.push_back(placed[i].glyph);
        shaped.positions.push_back(placed[i].position - origin);
    }
    return shaped;
}

// Draws the caption from the scroll text's glyphs when it is a part of that text.
bool TLabel::drawFromScrollText(QPainter &painter, const QPoint &baseline) {
    if (!m_scroll || m_text.isEmpty()) return false;
    const qsizetype from = m_scroll->text.indexOf(m_text);
    if (from < 0) return false;
    const std::vector<int> &at = m_scroll->at;
    const auto first = std::lower_bound(at.begin(), at.end(), from);
    const qsizetype to = from + m_text.size();
    const auto last = std::lower_bound(first, at.end(), to);
    if (first == at.end() || *first != from || (last == at.end() ? to != m_scroll->text.size() : *last != to))
        return false;
    const auto begin = static_cast<size_t>(first - at.begin());
    const auto end = static_cast<size_t>(last - at.begin());
    const QPointF origin = m_scroll->positions[begin];
    for (size_t run = begin; run < end;) {
        size_t next = run;
        QList<quint32> glyphs;
        QList<QPointF> positions;
        for (; next < end && m_scroll->font[next] == m_scroll->font[run]; ++next) {
            glyphs.push_back(m_scroll->glyphs[next]);
            positions.push_back(m_scroll->positions[next] - origin);
        }
        QGlyphRun glyphRun;
        glyphRun.setRawFont(m_scroll->fonts[static_cast<size_t>(m_scroll->font[run])]);
        glyphRun.setGlyphIndexes(glyphs);
        glyphRun.setPositions(positions);
        painter.drawGlyphRun(baseline, glyphRun);
        run = next;
    }
    return true;
}

void TLabel::changeEvent(QEvent *event) {
    if (event->type() == QEvent::FontChange) {
        fitToText();
        m_scroll.reset();
    }
    QWidget::changeEvent(event);
}

void TLabel::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    if (!m_transparent)
        painter.fillRect(rect(), m_color);
    else if (m_face.isValid())
        painter.fillRect(rect(), m_face);
    painter.setFont(font());
    painter.setPen(m_fontColor);
    drawCaption(painter);
}

// A caption at the top, left or right, is drawn at its baseline: the same pixels as a text laid
// out in the label's rectangle, without the line layout that each new text of the title line
// would cost on every marquee step.
void TLabel::drawCaption(QPainter &painter) {
    const Qt::Alignment horizontal = m_alignment & Qt::AlignHorizontal_Mask;
    const bool plain = (m_alignment & Qt::AlignVertical_Mask) == Qt::AlignTop &&
                       (horizontal == Qt::AlignLeft || horizontal == Qt::AlignRight);
    if (!plain) {
        painter.drawText(rect(), static_cast<int>(m_alignment | Qt::TextSingleLine), m_text);
        return;
    }
    const QFontMetrics metrics(font());
    painter.setClipRect(rect());
    if (horizontal == Qt::AlignLeft && drawFromScrollText(painter, QPoint(0, metrics.ascent()))) return;
    const int left = horizontal == Qt::AlignLeft ? 0 : width() - metrics.horizontalAdvance(m_text);
    painter.drawText(QPoint(left, metrics.ascent()), m_text);
}

void TLabel::mousePressEvent(QMouseEvent *event) { m_click.press(event); }

void TLabel::mouseReleaseEvent(QMouseEvent *event) {
    if (m_click.release(this, event)) Q_EMIT clicked();
}
