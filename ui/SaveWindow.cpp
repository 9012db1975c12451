#include "ui/SaveWindow.h"

#include "ui/Modal.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace {

const char *const kCaption = QT_TRANSLATE_NOOP("TSaveWindow", "ディスクを保存");
const char *const kFolder = QT_TRANSLATE_NOOP("TSaveWindow", "保存先フォルダ(&F):");
const char *const kBrowse = QT_TRANSLATE_NOOP("TSaveWindow", "参照(&B)...");
const char *const kChooseFolder = QT_TRANSLATE_NOOP("TSaveWindow", "保存先フォルダを選ぶ");
const char *const kColumns[] = {
    QT_TRANSLATE_NOOP("TSaveWindow", "No."), QT_TRANSLATE_NOOP("TSaveWindow", "タイトル"),
    QT_TRANSLATE_NOOP("TSaveWindow", "進み具合"), QT_TRANSLATE_NOOP("TSaveWindow", "結果")};
const char *const kStart = QT_TRANSLATE_NOOP("TSaveWindow", "保存開始(&S)");
const char *const kCancel = QT_TRANSLATE_NOOP("TSaveWindow", "中止(&C)");
const char *const kClose = QT_TRANSLATE_NOOP("TSaveWindow", "閉じる(&C)");
const char *const kLeft = QT_TRANSLATE_NOOP("TSaveWindow", "残り時間: %1");
const char *const kLeftUnknown = QT_TRANSLATE_NOOP("TSaveWindow", "残り時間: 計算中");
const char *const kTotal = QT_TRANSLATE_NOOP("TSaveWindow", "全体");
const char *const kNotSaved = QT_TRANSLATE_NOOP("TSaveWindow", "保存していません");

enum Column { NumberColumn, TitleColumn, ProgressColumn, ResultColumn };
enum Role { NoteRole = Qt::UserRole, HasResultRole };

QString text(const char *source) {
    return QCoreApplication::translate("TSaveWindow", source);
}

int permille(double fraction) {
    return static_cast<int>(std::lround(std::clamp(fraction, 0.0, 1.0) * 1000));
}

QProgressBar *makeBar(QWidget *parent) {
    auto *bar = new QProgressBar(parent);
    bar->setRange(0, 1000);
    bar->setValue(0);
    bar->setTextVisible(true);
    bar->setFormat(QStringLiteral("%p%"));
    return bar;
}

} // namespace

QString saveTimeText(int seconds) {
    const int hours = seconds / 3600, minutes = seconds / 60 % 60, rest = seconds % 60;
    if (hours > 0)
        return QStringLiteral("%1:%2:%3")
            .arg(hours)
            .arg(minutes, 2, 10, QChar('0'))
            .arg(rest, 2, 10, QChar('0'));
    return QStringLiteral("%1:%2").arg(minutes).arg(rest, 2, 10, QChar('0'));
}

TSaveWindow::TSaveWindow(QWidget *parent) : QDialog(parent) {
    setWindowTitle(text(kCaption));
    auto *layout = new QVBoxLayout(this);
    LB_DISC = new QLabel(this);
    LB_DISC->setTextFormat(Qt::PlainText);
    layout->addWidget(LB_DISC);

    auto *folderRow = new QHBoxLayout;
    auto *folderLabel = new QLabel(text(kFolder), this);
    ED_FOLDER = new QLineEdit(this);
    folderLabel->setBuddy(ED_FOLDER);
    BT_FOLDER = new QPushButton(text(kBrowse), this);
    folderRow->addWidget(folderLabel);
    folderRow->addWidget(ED_FOLDER, 1);
    folderRow->addWidget(BT_FOLDER);
    layout->addLayout(folderRow);

    LV_TRACKS = new QTreeWidget(this);
    QStringList headers;
    for (const char *column : kColumns)
        headers << text(column);
    LV_TRACKS->setHeaderLabels(headers);
    LV_TRACKS->setRootIsDecorated(false);
    LV_TRACKS->setSelectionMode(QAbstractItemView::NoSelection);
    LV_TRACKS->setAccessibleName(text(kCaption));
    LV_TRACKS->setMinimumSize(560, 240);
    layout->addWidget(LV_TRACKS, 1);

    // The whole's bar is no row of the list: a gap of its own keeps it from reading as one, however
    // full the list.
    layout->addSpacing(style()->pixelMetric(QStyle::PM_LayoutVerticalSpacing, nullptr, this));
    auto *totalRow = new QHBoxLayout;
    totalRow->addWidget(new QLabel(text(kTotal), this));
    PB_TOTAL = makeBar(this);
    PB_TOTAL->setAccessibleName(text(kTotal));
    totalRow->addWidget(PB_TOTAL, 1);
    LB_LEFT = new QLabel(this);
    totalRow->addWidget(LB_LEFT);
    layout->addLayout(totalRow);

    LB_RESULT = new QLabel(this);
    LB_RESULT->setTextFormat(Qt::PlainText);
    LB_RESULT->setWordWrap(true);
    LB_RESULT->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(LB_RESULT);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    BT_START = new QPushButton(text(kStart), this);
    BT_START->setDefault(true);
    BT_CANCEL = new QPushButton(text(kClose), this);
    buttons->addWidget(BT_START);
    buttons->addWidget(BT_CANCEL);
    layout->addLayout(buttons);

    connect(BT_FOLDER, &QPushButton::clicked, this, &TSaveWindow::chooseFolder);
    connect(BT_START, &QPushButton::clicked, this, [this] { Q_EMIT startRequested(folder()); });
    connect(BT_CANCEL, &QPushButton::clicked, this, &TSaveWindow::cancelOrClose);
}

void TSaveWindow::setDisc(const QString &title, const std::vector<SaveWindowTrack> &tracks) {
    LB_DISC->setText(title);
    LV_TRACKS->clear();
    for (const SaveWindowTrack &track : tracks)
        insertTrack(LV_TRACKS->topLevelItemCount(), track);
    LV_TRACKS->resizeColumnToContents(NumberColumn);
    LV_TRACKS->setColumnWidth(TitleColumn, 240);
    LV_TRACKS->setColumnWidth(ProgressColumn, 120);
}

// The bar is named by its track's number, so that a screen reader tells the tracks' bars apart.
void TSaveWindow::insertTrack(int row, const SaveWindowTrack &track) {
    const QString number = QStringLiteral("%1").arg(track.number, 2, 10, QChar('0'));
    auto *item = new QTreeWidgetItem({number, track.title, QString(), track.note});
    item->setData(ResultColumn, NoteRole, track.note);
    item->setToolTip(ResultColumn, track.note);
    LV_TRACKS->insertTopLevelItem(row, item);
    QProgressBar *bar = makeBar(LV_TRACKS);
    bar->setAccessibleName(number);
    LV_TRACKS->setItemWidget(item, ProgressColumn, bar);
}

void TSaveWindow::setFolder(const QString &folder) {
    ED_FOLDER->setText(folder);
}

QString TSaveWindow::folder() const {
    return ED_FOLDER->text().trimmed();
}

void TSaveWindow::beginSaving() {
    m_saving = true;
    ED_FOLDER->setEnabled(false);
    BT_FOLDER->setEnabled(false);
    BT_START->setEnabled(false);
    BT_CANCEL->setText(text(kCancel));
    BT_CANCEL->setEnabled(true);
    LB_RESULT->clear();
    PB_TOTAL->setValue(0);
    for (int row = 0; row < LV_TRACKS->topLevelItemCount(); ++row) {
        trackBar(row)->setValue(0);
        QTreeWidgetItem *item = LV_TRACKS->topLevelItem(row);
        item->setText(ResultColumn, item->data(ResultColumn, NoteRole).toString());
        item->setData(ResultColumn, HasResultRole, false);
        item->setForeground(ResultColumn, palette().text());
    }
    LB_LEFT->setText(text(kLeftUnknown));
}

QProgressBar *TSaveWindow::trackBar(int row) const {
    QTreeWidgetItem *item = LV_TRACKS->topLevelItem(row);
    return item ? qobject_cast<QProgressBar *>(LV_TRACKS->itemWidget(item, ProgressColumn)) : nullptr;
}

void TSaveWindow::showTrackProgress(int row, double fraction) {
    if (QProgressBar *bar = trackBar(row)) bar->setValue(permille(fraction));
}

void TSaveWindow::showTotalProgress(double fraction, int secondsLeft) {
    PB_TOTAL->setValue(permille(fraction));
    LB_LEFT->setText(secondsLeft < 0 ? text(kLeftUnknown) : text(kLeft).arg(saveTimeText(secondsLeft)));
}

void TSaveWindow::showTrackResult(int row, SaveRowResult result, const QString &text) {
    QTreeWidgetItem *item = LV_TRACKS->topLevelItem(row);
    if (!item) return;
    item->setText(ResultColumn, text);
    item->setData(ResultColumn, HasResultRole, true);
    item->setToolTip(ResultColumn, text);
    item->setForeground(ResultColumn, result == SaveRowResult::Failed ? QBrush(Qt::red) : palette().text());
    if (result == SaveRowResult::Whole) showTrackProgress(row, 1.0);
}

// A save that stopped early leaves tracks it never reached: their rows say so.
void TSaveWindow::endSaving(bool whole, const QString &result) {
    m_saving = false;
    for (int row = 0; row < LV_TRACKS->topLevelItemCount(); ++row)
        if (!LV_TRACKS->topLevelItem(row)->data(ResultColumn, HasResultRole).toBool())
            showTrackResult(row, SaveRowResult::Failed, text(kNotSaved));
    if (whole) PB_TOTAL->setValue(1000);
    LB_LEFT->clear();
    LB_RESULT->setText(result);
    ED_FOLDER->setEnabled(true);
    BT_FOLDER->setEnabled(true);
    BT_START->setEnabled(true);
    BT_CANCEL->setText(text(kClose));
    BT_CANCEL->setEnabled(true);
}

void TSaveWindow::chooseFolder() {
    QFileDialog dialog(this, text(kChooseFolder), folder());
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (execModal(&dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    setFolder(dialog.selectedFiles().front());
}

// While saving, the button cancels and the window stays, to show how the save ended.
void TSaveWindow::cancelOrClose() {
    if (!m_saving) return hide();
    BT_CANCEL->setEnabled(false);
    Q_EMIT cancelRequested();
}

// Closing the window while it saves is Cancel: no save runs on without a window to show it.
void TSaveWindow::closeEvent(QCloseEvent *event) {
    if (!m_saving) return QDialog::closeEvent(event);
    event->ignore();
    cancelOrClose();
}

void TSaveWindow::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Escape) return cancelOrClose();
    QDialog::keyPressEvent(event);
}
