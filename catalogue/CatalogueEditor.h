#pragma once

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include <string>

// The catalogue grid: three columns (track number, title, time); cells hold code page 932 bytes,
// shown decoded. A cell that is not edited keeps its bytes exactly.
class TCatalogueGrid : public QTableWidget {
    Q_OBJECT
public:
    explicit TCatalogueGrid(QWidget *parent = nullptr);

    std::string Cells(int col, int row) const;
    void setCell(int col, int row, const std::string &bytes);
    int RowCount() const { return rowCount(); }
    void setRowCount(int rows);
    int Col() const { return currentColumn(); }
    int Row() const { return currentRow(); }
};

// The title field of the editor: holds the disc title as code page 932 bytes; the text shown is
// its decoding. Text that the user typed is encoded on reading.
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

protected:
    void showEvent(QShowEvent *event) override;
};

extern TCD_Database *CD_Database;
