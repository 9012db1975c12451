#pragma once

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include <string>
#include <vector>

// The catalogue grid: three columns (track number, title, time); row 0 and column 0 are fixed.
// Cells hold titles (code page 932 bytes, or marked UTF-8 for a title that code page 932 cannot
// hold), shown decoded; a cell that is not edited keeps its bytes exactly.
// The header row is drawn by a view of its own above the scrolled rows, so that it stays in view;
// fixed cells never become current, and Tab leaves the grid.
class TCatalogueGrid : public QTableWidget {
    Q_OBJECT
public:
    explicit TCatalogueGrid(QWidget *parent = nullptr);

    // The cell's title; an edited cell is encoded from its text.
    std::string Cells(int col, int row) const;
    // The text shown in the cell (as typed).
    QString cellText(int col, int row) const;
    void setCell(int col, int row, const std::string &bytes);
    int RowCount() const { return rowCount(); }
    void setRowCount(int rows);
    int Col() const { return currentColumn(); }
    int Row() const { return currentRow(); }
    // Moves the text of an open in-place editor into its cell.
    void commitEditor();

protected:
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) override;
    void focusInEvent(QFocusEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void updateGeometries() override;
    void showEvent(QShowEvent *event) override;

private:
    QTableView *m_headerRow = nullptr;
};

// The title field of the editor: holds the disc title (code page 932 bytes, or marked UTF-8); the
// text shown is its decoding. Text that the user typed is encoded on reading.
class TTitleEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TTitleEdit(QWidget *parent = nullptr);
    std::string Text() const;
    void setText(const std::string &bytes);

private:
    std::string m_bytes;
    QString m_shown;
};

// The catalogue editor: the loaded disc's title and track titles, saved to its catalogue file.
// Between its showings it holds the in-memory catalogue that the displays read.
class TCD_Database : public QDialog {
    Q_OBJECT
public:
    explicit TCD_Database(QWidget *parent = nullptr);

    QLabel *Label1;
    TTitleEdit *Edit1;
    TCatalogueGrid *SG1;
    QLabel *LB1;
    QPushButton *BitBtn2;  // save
    QPushButton *BitBtn1;  // close

    void FormCreate(QObject *Sender);
    void FormActivate(QObject *Sender);
    void BitBtn2Click(QObject *Sender);
    void BitBtn1Click(QObject *Sender);

    // Sets the grid to one row per track of the loaded disc plus the header row, with the headers
    // and the track numbers.
    void layOutGrid();
    std::string discTitleBytes() const;
    // The file's lines: the disc title, then one title per track.
    std::vector<std::string> catalogueLines() const;

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void createControls();
    // The header row and the track numbers in column 0.
    void writeHeaders();
};

extern TCD_Database *CD_Database;
