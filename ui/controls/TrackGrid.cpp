#include "ui/controls/TrackGrid.h"

#include "ui/controls/AccessibleTrackGrid.h"

#include "platform/Cp932.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

namespace {
constexpr int kLine = 1;
constexpr int kScrollWidth = 16;
}  // namespace

TTrackGrid::TTrackGrid(QWidget *parent) : QWidget(parent), m_scroll(new QScrollBar(Qt::Vertical, this)) {
    m_scroll->setFocusPolicy(Qt::NoFocus);
    m_scroll->setSingleStep(1);
    m_scroll->setPageStep(1);
    connect(m_scroll, &QScrollBar::valueChanged, this, [this] { update(); });
    setFocusPolicy(Qt::ClickFocus);
}

const std::string &TTrackGrid::Cells(int col, int row) const {
    return m_cells.at(static_cast<size_t>(row * kColumns + col));
}

void TTrackGrid::setCell(int col, int row, const std::string &text) {
    std::string &cell = m_cells.at(static_cast<size_t>(row * kColumns + col));
    if (cell == text) return;
    cell = text;
    m_notes.at(static_cast<size_t>(row * kColumns + col)).clear();
    update(cellRect(col, row));
    accessibleGridCellChanged(this, col, row);
}

QString TTrackGrid::CellText(int col, int row) const { return cp932::decode(Cells(col, row)); }

void TTrackGrid::setCellNote(int col, int row, const QString &note) {
    QString &current = m_notes.at(static_cast<size_t>(row * kColumns + col));
    if (current == note) return;
    current = note;
    accessibleGridCellChanged(this, col, row);
}

const QString &TTrackGrid::CellNote(int col, int row) const {
    return m_notes.at(static_cast<size_t>(row * kColumns + col));
}

void TTrackGrid::clickCell(int col, int row) {
    setFocus(Qt::OtherFocusReason);
    setCurrent(col, row);
    Q_EMIT pressed(Qt::LeftButton);
}

void TTrackGrid::setCurrent(int col, int row) {
    if (col < 0 || col >= kColumns || row < 0 || row >= kRows) return;
    m_col = col;
    m_row = row;
    int top = TopRow();
    if (row < top)
        m_scroll->setValue(row);
    else if (row >= top + visibleRows())
        m_scroll->setValue(row - visibleRows() + 1);
    update();
    accessibleGridCurrentChanged(this);
}

int TTrackGrid::TopRow() const { return m_scroll->value(); }

void TTrackGrid::setColor(const QColor &color) {
    m_color = color;
    update();
}

int TTrackGrid::visibleRows() const { return std::max(1, height() / (kRowHeight + kLine)); }

QRect TTrackGrid::cellRect(int col, int row) const {
    return {col * (kColWidth + kLine), (row - TopRow()) * (kRowHeight + kLine), kColWidth, kRowHeight};
}

bool TTrackGrid::cellAt(QPoint point, int &col, int &row) const {
    if (point.x() < 0 || point.y() < 0) return false;
    col = point.x() / (kColWidth + kLine);
    row = point.y() / (kRowHeight + kLine) + TopRow();
    return col < kColumns && row < kRows;
}

void TTrackGrid::resizeEvent(QResizeEvent *) {
    m_scroll->setGeometry(width() - kScrollWidth, 0, kScrollWidth, height());
    m_scroll->setRange(0, kRows - visibleRows());
}

void TTrackGrid::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.fillRect(rect(), m_color);
    painter.setFont(font());
    const QPalette &pal = palette();
    for (int row = TopRow(); row < std::min(kRows, TopRow() + visibleRows() + 1); ++row) {
        for (int col = 0; col < kColumns; ++col) {
            QRect r = cellRect(col, row);
            bool current = col == m_col && row == m_row;
            if (current) painter.fillRect(r, pal.color(QPalette::Active, QPalette::Highlight));
            painter.setPen(current ? pal.color(QPalette::Active, QPalette::HighlightedText) : QColor(192, 192, 192));
            painter.drawText(r.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                             cp932::decode(Cells(col, row)));
        }
    }
    painter.setPen(Qt::black);
    for (int col = 1; col <= kColumns; ++col) {
        int x = col * (kColWidth + kLine) - 1;
        painter.drawLine(x, 0, x, height());
    }
    for (int i = 1; i <= visibleRows(); ++i) {
        int y = i * (kRowHeight + kLine) - 1;
        painter.drawLine(0, y, kColumns * (kColWidth + kLine), y);
    }
}

void TTrackGrid::mousePressEvent(QMouseEvent *event) {
    setFocus(Qt::MouseFocusReason);
    int col = 0;
    int row = 0;
    if (event->button() == Qt::LeftButton && cellAt(event->position().toPoint(), col, row)) setCurrent(col, row);
    Q_EMIT pressed(event->button());
}

void TTrackGrid::wheelEvent(QWheelEvent *event) {
    m_scroll->setValue(m_scroll->value() - event->angleDelta().y() / 120);
}
