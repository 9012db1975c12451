#pragma once

#include <QColor>
#include <QWidget>

#include <array>
#include <string>

class QScrollBar;

// The panel's 10 x 10 grid of track numbers: cells of 16 x 12 pixels with one-pixel grid lines,
// a vertical scroll bar, and the current cell drawn in the highlight colours whether or not the
// grid has the focus. Cells hold code page 932 bytes. A left press makes the pressed cell current;
// every press then reports `pressed` (the release is left to the window's popup menu).
class TTrackGrid : public QWidget {
    Q_OBJECT
public:
    static constexpr int kColumns = 10;
    static constexpr int kRows = 10;
    static constexpr int kColWidth = 16;
    static constexpr int kRowHeight = 12;

    explicit TTrackGrid(QWidget *parent = nullptr);

    const std::string &Cells(int col, int row) const;
    void setCell(int col, int row, const std::string &text);
    QString CellText(int col, int row) const;  // the cell decoded
    // A word that a screen reader says after the cell's text, never drawn; setting the cell's
    // text clears it.
    void setCellNote(int col, int row, const QString &note);
    const QString &CellNote(int col, int row) const;
    int Col() const { return m_col; }
    int Row() const { return m_row; }
    // Makes (col, row) the current cell and scrolls it into view.
    void setCurrent(int col, int row);
    int TopRow() const;
    QColor Color() const { return m_color; }
    void setColor(const QColor &color);
    // The cell at a point of the widget, or false outside the cells.
    bool cellAt(QPoint point, int &col, int &row) const;
    QRect cellRect(int col, int row) const;
    // What a left click on the cell does, for a screen reader's press: the cell becomes current
    // and the release is reported.
    void clickCell(int col, int row);

    int Tag = 0;

Q_SIGNALS:
    void pressed(Qt::MouseButton button);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    int visibleRows() const;

    std::array<std::string, kColumns * kRows> m_cells;
    std::array<QString, kColumns * kRows> m_notes;
    int m_col = 0;
    int m_row = 0;
    QColor m_color = Qt::black;
    QScrollBar *m_scroll;
};
