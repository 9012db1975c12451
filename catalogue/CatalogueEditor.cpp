#include "catalogue/CatalogueEditor.h"

#include "app/SettingsFile.h"
#include "catalogue/CatalogueFile.h"
#include "catalogue/DiscLoading.h"
#include "catalogue/OnlineTitles.h"
#include "catalogue/TitleText.h"
#include "platform/TitleEncoding.h"
#include "player/PlayerState.h"
#include "ui/ErrorDisplay.h"
#include "ui/Form1.h"
#include "ui/controls/Fonts.h"
#include "ui/controls/Colours.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

#include <limits>
#include <optional>

TCD_Database *CD_Database = nullptr;

namespace {

constexpr int kBytesRole = Qt::UserRole + 1;
constexpr int kRowHeight = 15;

void setTextColour(QWidget *widget, const QColor &colour) {
    QPalette pal = widget->palette();
    pal.setColor(QPalette::WindowText, colour);
    pal.setColor(QPalette::Text, colour);
    widget->setPalette(pal);
}

bool isFixedCell(const QModelIndex &index) { return index.row() == 0 || index.column() == 0; }

// The title field and the grid's in-place editors: titles have no length limit, and control
// characters are blanked as they come in (a paste), so the field shows what will be saved.
void takeTitles(QLineEdit *edit) {
    edit->setMaxLength(std::numeric_limits<int>::max());
    QObject::connect(edit, &QLineEdit::textEdited, edit, [edit](const QString &text) {
        const QString blanked = catalogue::blankControlCharacters(text);
        if (blanked == text) return;
        const int cursor = edit->cursorPosition();
        edit->setText(blanked);
        edit->setCursorPosition(cursor);
    });
}

// Row 0 and column 0 are fixed: drawn lime and never edited.
class CatalogueCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override {
        if (isFixedCell(index)) return nullptr;
        QWidget *editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto *line = qobject_cast<QLineEdit *>(editor)) {
            takeTitles(line);
            line->setAccessibleName(QCoreApplication::translate("TCD_Database", "トラック %1 のタイトル").arg(index.row()));
        }
        return editor;
    }

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (isFixedCell(index)) option->backgroundBrush = kLime;
    }
};

QImage blankGlyph() {
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    return image;
}

// A floppy disk.
QImage saveGlyph(bool enabled) {
    QImage image = blankGlyph();
    QPainter p(&image);
    const QColor body = enabled ? kNavy : QColor(128, 128, 128);
    const QColor label = enabled ? QColor(255, 255, 255) : QColor(192, 192, 192);
    p.fillRect(1, 1, 14, 14, body);
    p.fillRect(4, 1, 8, 5, label);
    p.fillRect(9, 2, 2, 3, body);
    p.fillRect(3, 9, 10, 6, label);
    return image;
}

// A door standing open.
QImage closeGlyph(bool enabled) {
    QImage image = blankGlyph();
    QPainter p(&image);
    const QColor frame = enabled ? QColor(0, 0, 0) : QColor(128, 128, 128);
    const QColor door = enabled ? QColor(128, 64, 0) : QColor(192, 192, 192);
    p.setPen(frame);
    p.drawRect(2, 1, 11, 14);
    p.fillRect(3, 2, 10, 13, QColor(255, 255, 255));
    QPolygon leaf({QPoint(3, 2), QPoint(9, 4), QPoint(9, 15), QPoint(3, 14)});
    p.setBrush(door);
    p.drawPolygon(leaf);
    p.fillRect(7, 9, 1, 2, frame);
    return image;
}

QIcon buttonGlyph(QImage (*draw)(bool)) {
    QIcon icon(QPixmap::fromImage(draw(true)));
    icon.addPixmap(QPixmap::fromImage(draw(false)), QIcon::Disabled);
    return icon;
}

QPushButton *makeButton(const QString &caption, QImage (*draw)(bool), QWidget *parent) {
    auto *button = new QPushButton(buttonGlyph(draw), caption, parent);
    button->setIconSize(QSize(16, 16));
    // Neither button answers Enter: the grid's in-place editor takes it.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

// The header row's own view: the grid's row 0, drawn over the grid's top margin, taking neither
// the focus nor the mouse.
QTableView *makeHeaderRowView(QTableWidget *grid) {
    auto *view = new QTableView(grid);
    view->setModel(grid->model());
    view->setItemDelegate(new CatalogueCellDelegate(view));
    view->verticalHeader()->hide();
    view->horizontalHeader()->hide();
    view->verticalHeader()->setMinimumSectionSize(1);
    view->verticalHeader()->setDefaultSectionSize(kRowHeight);
    view->horizontalHeader()->setMinimumSectionSize(1);
    view->setFrameShape(QFrame::NoFrame);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setSelectionMode(QAbstractItemView::NoSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setFocusPolicy(Qt::NoFocus);
    view->setAttribute(Qt::WA_TransparentForMouseEvents);
    return view;
}

}  // namespace

TCatalogueGrid::TCatalogueGrid(QWidget *parent) : QTableWidget(100, 3, parent) {
    setItemDelegate(new CatalogueCellDelegate(this));
    // Row 0 is shown only by the header row's view, in the margin above the scrolled rows.
    setRowHidden(0, true);
    verticalHeader()->hide();
    horizontalHeader()->hide();
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(kRowHeight);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setMinimumSectionSize(1);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    for (auto [column, width] : {std::pair{0, 40}, {1, 277}, {2, 73}}) setColumnWidth(column, width);
    setShowGrid(true);
    setWordWrap(false);
    setFont(makeFont(kGothic, 12, true));
    setTextColour(this, kNavy);
    // Typing goes straight into the selected cell.
    setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::CurrentChanged |
                    QAbstractItemView::SelectedClicked | QAbstractItemView::DoubleClicked);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setTabKeyNavigation(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

QString TCatalogueGrid::cellText(int col, int row) const {
    const QTableWidgetItem *cell = item(row, col);
    return cell ? cell->text() : QString();
}

std::string TCatalogueGrid::Cells(int col, int row) const {
    const QTableWidgetItem *cell = item(row, col);
    if (!cell) return std::string();
    const QVariant bytes = cell->data(kBytesRole);
    // A cell whose shown text is still the decoding of its bytes was not edited: its bytes stand.
    if (bytes.isValid() && titles::decode(bytes.toByteArray().toStdString()) == cell->text())
        return bytes.toByteArray().toStdString();
    return titles::encode(catalogue::blankControlCharacters(cell->text()));
}

void TCatalogueGrid::setCell(int col, int row, const std::string &bytes) {
    if (row >= rowCount()) QTableWidget::setRowCount(row + 1);
    auto *cell = new QTableWidgetItem(titles::decode(bytes));
    cell->setData(kBytesRole, QByteArray::fromStdString(bytes));
    if (row == 0 || col == 0) cell->setFlags(Qt::ItemIsEnabled);
    setItem(row, col, cell);
}

void TCatalogueGrid::setRowCount(int rows) {
    QTableWidget::setRowCount(rows);
    setRowHidden(0, true);
}

void TCatalogueGrid::commitEditor() {
    if (QWidget *editor = indexWidget(currentIndex())) commitData(editor);
}

// Keys never lead into column 0 (row 0 is hidden from this view, so they skip it already).
QModelIndex TCatalogueGrid::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) {
    const QModelIndex next = QTableWidget::moveCursor(cursorAction, modifiers);
    if (next.isValid() && next.column() == 0) return model()->index(next.row(), 1);
    return next;
}

// A fixed cell made current from code or by Qt hands the current cell back (or to the first
// title cell).
void TCatalogueGrid::currentChanged(const QModelIndex &current, const QModelIndex &previous) {
    if (current.isValid() && isFixedCell(current)) {
        const QModelIndex back = previous.isValid() && !isFixedCell(previous) ? previous : model()->index(1, 1);
        if (back.isValid()) return setCurrentIndex(back);
    }
    QTableWidget::currentChanged(current, previous);
}

// Tab and Backtab in the in-place editor leave the grid instead of moving to the next cell.
void TCatalogueGrid::closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) {
    const bool leave = hint == QAbstractItemDelegate::EditNextItem || hint == QAbstractItemDelegate::EditPreviousItem;
    QTableWidget::closeEditor(editor, leave ? QAbstractItemDelegate::NoHint : hint);
    if (leave) QWidget::focusNextPrevChild(hint == QAbstractItemDelegate::EditNextItem);
}

// Coming in by the keyboard, the grid lands on its current cell (row 1, column 1 the first time)
// with the in-place editor open, so that typing goes straight into a title.
void TCatalogueGrid::focusInEvent(QFocusEvent *event) {
    QTableWidget::focusInEvent(event);
    if (event->reason() == Qt::MouseFocusReason) return;
    if (!currentIndex().isValid() && rowCount() > 1) setCurrentCell(1, 1);
    if (currentIndex().isValid() && !indexWidget(currentIndex())) edit(currentIndex());
}

// A press on a track number (column 0) selects nothing.
void TCatalogueGrid::mousePressEvent(QMouseEvent *event) {
    const QModelIndex pressed = indexAt(event->position().toPoint());
    if (pressed.isValid() && isFixedCell(pressed)) return event->accept();
    QTableWidget::mousePressEvent(event);
}

// The table view sets the margins for its own (hidden) headers: the header row's margin goes on top.
void TCatalogueGrid::updateGeometries() {
    QTableWidget::updateGeometries();
    if (viewportMargins().top() != kRowHeight) setViewportMargins(0, kRowHeight, 0, 0);
    if (!m_headerRow) return;
    const QRect area = viewport()->geometry();
    m_headerRow->setGeometry(area.left(), area.top() - kRowHeight, area.width(), kRowHeight);
}

// The header row's view is made when the grid is first shown: the editor is made at start and may
// never be opened, and a second table view is a noticeable share of the start-up.
void TCatalogueGrid::showEvent(QShowEvent *event) {
    if (!m_headerRow) {
        m_headerRow = makeHeaderRowView(this);
        for (int column = 0; column < columnCount(); ++column) m_headerRow->setColumnWidth(column, columnWidth(column));
        m_headerRow->show();
        updateGeometries();
    }
    QTableWidget::showEvent(event);
}

TTitleEdit::TTitleEdit(QWidget *parent) : QLineEdit(parent) { takeTitles(this); }

std::string TTitleEdit::Text() const {
    if (text() == m_shown) return m_bytes;
    return titles::encode(catalogue::blankControlCharacters(text()));
}

void TTitleEdit::setText(const std::string &bytes) {
    m_bytes = bytes;
    m_shown = titles::decode(bytes);
    QLineEdit::setText(m_shown);
}

TCD_Database::TCD_Database(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    setWindowTitle(QStringLiteral("CD_Database"));
    setFixedSize(417, 247);
    setFont(makeFont(kPGothic, 12));
    createControls();
    connect(BitBtn2, &QPushButton::clicked, this, [this] { runGuarded([this] { BitBtn2Click(BitBtn2); }); });
    connect(BitBtn1, &QPushButton::clicked, this, [this] { runGuarded([this] { BitBtn1Click(BitBtn1); }); });
    CD_Database = this;
    runGuarded([this] { FormCreate(this); });
}

void TCD_Database::createControls() {
    // The title field lays out its text as it is made, before its own font is set: made under a
    // parent in the title's face, it spares the start-up loading the desktop's default face, which
    // nothing shown at start uses. The buttons below are made after the reset and keep that face.
    setFont(makeFont(kPGothic, 13, true));
    Label1 = new QLabel(QStringLiteral("TITLE"), this);
    Label1->setGeometry(4, 12, 43, 13);
    Label1->setFont(makeFont(kGothic, 13, true));
    setTextColour(Label1, kNavy);
    Edit1 = new TTitleEdit(this);
    Label1->setBuddy(Edit1);  // a screen reader names the field by its label
    Edit1->setGeometry(48, 8, 365, 21);
    Edit1->setFont(makeFont(kPGothic, 13, true));
    setTextColour(Edit1, kNavy);
    SG1 = new TCatalogueGrid(this);
    SG1->setAccessibleName(tr("トラックのタイトル"));
    SG1->setGeometry(2, 36, 413, 180);
    LB1 = new QLabel(this);
    LB1->move(8, 226);
    LB1->setFont(makeFont(kGothic, 13, true));
    setTextColour(LB1, kNavy);
    setFont(QFont());
    BitBtn2 = makeButton(tr("保存(&S)"), saveGlyph, this);
    BitBtn2->setGeometry(245, 220, 83, 25);
    BitBtn1 = makeButton(tr("閉じる(&C)"), closeGlyph, this);
    BitBtn1->setGeometry(328, 220, 83, 25);
    setTabOrder(Edit1, SG1);
    setTabOrder(SG1, BitBtn2);
    setTabOrder(BitBtn2, BitBtn1);
}

void TCD_Database::showEvent(QShowEvent *event) {
    QDialog::showEvent(event);
    // A window restored by the window system is no new showing: the edits stay.
    if (!event->spontaneous()) runGuarded([this] { FormActivate(this); });
}

void TCD_Database::keyPressEvent(QKeyEvent *event) {
    // The dialog has no cancel button: Esc does not close it.
    if (event->key() == Qt::Key_Escape) return event->accept();
    QDialog::keyPressEvent(event);
}

void TCD_Database::FormCreate(QObject *) {
    SettingsFile settings(QStringLiteral("ROTOR.INI"));
    move(settings.ReadNumber("DB", "Pos(X)", 10), settings.ReadNumber("DB", "Pos(Y)", 10));
}

// Rows follow TrackCount, which an eject leaves as it was: after an eject the grid and a save
// still cover every track of the last disc.
void TCD_Database::FormActivate(QObject *) {
    LoadCatalogueGrid();
    fillTitlesTheDiscCarries();
    fillTitlesFoundOnline();
    SG1->setRowCount(TrackCount + 1);
    if (Form1->MediaPlayer1->Mode() == mpPlaying) {
        SG1->setFocus();
        SG1->setCurrentCell(CurrentTrack, 1);
    }
    writeHeaders();
}

void TCD_Database::layOutGrid() {
    SG1->setRowCount(TrackCount + 1);
    writeHeaders();
}

void TCD_Database::writeHeaders() {
    SG1->setCell(0, 0, std::string());
    SG1->setCell(1, 0, titles::encode(tr("   　    　   曲　     　目")));
    SG1->setCell(2, 0, titles::encode(tr("  時  間")));
    for (int i = 1; i <= TrackCount; ++i) SG1->setCell(0, i, "  " + twoDigits(i));
}

std::string TCD_Database::discTitleBytes() const { return Edit1->Text(); }

std::vector<std::string> TCD_Database::catalogueLines() const {
    std::vector<std::string> lines{discTitleBytes()};
    for (int i = 1; i <= TrackCount; ++i) lines.push_back(SG1->Cells(1, i));
    return lines;
}

// A failed save raises before anything is replaced: the previous file stays, and the dialog
// stays open with the edits.
void TCD_Database::BitBtn2Click(QObject *) {
    SG1->commitEditor();
    // Exactly the disc title and one line per track: lines past the last track are dropped.
    catalogue::writeFile(DiscFilePath, catalogueLines());
    foundTitlesSaved();
}

void TCD_Database::BitBtn1Click(QObject *) {
    if (Edit1->text().isEmpty()) Edit1->setText(std::string(16, '-'));
    reject();
}
