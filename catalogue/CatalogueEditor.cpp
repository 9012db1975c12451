#include "catalogue/CatalogueEditor.h"

#include "app/SettingsFile.h"
#include "catalogue/CatalogueFile.h"
#include "catalogue/DiscLoading.h"
#include "platform/Cp932.h"
#include "platform/Errors.h"
#include "player/PlayerState.h"
#include "ui/ErrorDisplay.h"
#include "ui/Form1.h"
#include "ui/controls/Fonts.h"

#include <QHeaderView>

#include <optional>

TCD_Database *CD_Database = nullptr;

namespace {
constexpr int kBytesRole = Qt::UserRole + 1;
}

TCatalogueGrid::TCatalogueGrid(QWidget *parent) : QTableWidget(100, 3, parent) {}

std::string TCatalogueGrid::Cells(int col, int row) const {
    QTableWidgetItem *cell = item(row, col);
    if (!cell) return {};
    QVariant bytes = cell->data(kBytesRole);
    // A cell whose shown text is still the decoding of its bytes was not edited: its bytes stand.
    if (bytes.isValid() && cp932::decode(bytes.toByteArray().toStdString()) == cell->text())
        return bytes.toByteArray().toStdString();
    return cp932::encode(cell->text()).value_or(std::string());
}

void TCatalogueGrid::setCell(int col, int row, const std::string &bytes) {
    if (row >= rowCount()) QTableWidget::setRowCount(row + 1);
    auto *cell = new QTableWidgetItem(cp932::decode(bytes));
    cell->setData(kBytesRole, QByteArray::fromStdString(bytes));
    setItem(row, col, cell);
}

void TCatalogueGrid::setRowCount(int rows) { QTableWidget::setRowCount(rows); }

TTitleEdit::TTitleEdit(QWidget *parent) : QLineEdit(parent) {}

std::string TTitleEdit::Text() const {
    if (text() == m_shown) return m_bytes;
    return cp932::encode(text()).value_or(std::string());
}

void TTitleEdit::setText(const std::string &bytes) {
    m_bytes = bytes;
    m_shown = cp932::decode(bytes);
    QLineEdit::setText(m_shown);
}

TCD_Database::TCD_Database(QWidget *parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("CD_Database"));
    setFixedSize(417, 247);
    setFont(makeFont(kPGothic, 12));
    Label1 = new QLabel(QStringLiteral("TITLE"), this);
    Label1->setGeometry(4, 12, 43, 13);
    Edit1 = new TTitleEdit(this);
    Edit1->setGeometry(48, 8, 365, 21);
    SG1 = new TCatalogueGrid(this);
    SG1->setGeometry(2, 36, 413, 180);
    SG1->verticalHeader()->hide();
    SG1->horizontalHeader()->hide();
    LB1 = new QLabel(this);
    LB1->setGeometry(8, 226, 230, 13);
    BitBtn2 = new QPushButton(QStringLiteral("保存(&S)"), this);
    BitBtn2->setGeometry(245, 220, 83, 25);
    BitBtn1 = new QPushButton(QStringLiteral("閉じる(&C)"), this);
    BitBtn1->setGeometry(328, 220, 83, 25);
    connect(BitBtn2, &QPushButton::clicked, this, [this] { runGuarded([this] { BitBtn2Click(BitBtn2); }); });
    connect(BitBtn1, &QPushButton::clicked, this, [this] { runGuarded([this] { BitBtn1Click(BitBtn1); }); });
    CD_Database = this;
    runGuarded([this] { FormCreate(this); });
}

void TCD_Database::showEvent(QShowEvent *event) {
    QDialog::showEvent(event);
    runGuarded([this] { FormActivate(this); });
}

void TCD_Database::FormCreate(QObject *) {
    SettingsFile settings(QStringLiteral("ROTOR.INI"));
    move(settings.ReadNumber("DB", "Pos(X)", 10), settings.ReadNumber("DB", "Pos(Y)", 10));
}

void TCD_Database::FormActivate(QObject *) {
    LoadCatalogueGrid();
    int tracks = TrackCount;
    SG1->setRowCount(tracks + 1);
    if (Form1->MediaPlayer1->Mode() == mpPlaying) {
        SG1->setFocus();
        SG1->setCurrentCell(CurrentTrack, 1);
    }
    SG1->setCell(1, 0, cp932::fromUtf8("   　    　   曲　     　目"));
    SG1->setCell(2, 0, cp932::fromUtf8("  時  間"));
    for (int i = 1; i <= tracks; ++i) SG1->setCell(0, i, "  " + twoDigits(i));
}

void TCD_Database::BitBtn2Click(QObject *) {
    std::vector<std::string> lines{Edit1->Text()};
    for (int i = 1; i <= TrackCount; ++i) lines.push_back(SG1->Cells(1, i));
    // Lines past the last track are not this disc's, but the file may be shared with another disc
    // of the same length: they are written back as they were.
    std::optional<std::vector<std::string>> stored;
    try {
        stored = catalogue::readFile(DiscFilePath);
    } catch (const EInOutError &) {
        // Unreadable: the write below reports why.
    }
    if (stored && stored->size() > lines.size()) lines.insert(lines.end(), stored->begin() + lines.size(), stored->end());
    catalogue::writeFile(DiscFilePath, lines);
}

void TCD_Database::BitBtn1Click(QObject *) {
    if (Edit1->text().isEmpty()) Edit1->setText(std::string(16, '-'));
    reject();
}
