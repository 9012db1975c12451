#include "ui/ReleaseChoice.h"

#include "catalogue/CatalogueEditor.h"
#include "catalogue/TitleText.h"
#include "ui/Modal.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The window's texts.
const char *const kCaption = QT_TRANSLATE_NOOP("TReleaseChoice", "リリースの選択");
const char *const kPrompt = QT_TRANSLATE_NOOP("TReleaseChoice", "MusicBrainz にこのＣＤのリリースが複数あります。タイトルを使うものを選んでください。");
const char *const kColumns[] = {QT_TRANSLATE_NOOP("TReleaseChoice", "タイトル"), QT_TRANSLATE_NOOP("TReleaseChoice", "アーティスト"), QT_TRANSLATE_NOOP("TReleaseChoice", "国"), QT_TRANSLATE_NOOP("TReleaseChoice", "発売日"), QT_TRANSLATE_NOOP("TReleaseChoice", "レーベル / 品番"), QT_TRANSLATE_NOOP("TReleaseChoice", "バーコード")};
const char *const kNone = QT_TRANSLATE_NOOP("TReleaseChoice", "どれでもない（タイトルを入れない）");
const char *const kTake = QT_TRANSLATE_NOOP("TReleaseChoice", "選ぶ(&O)");
const char *const kCancel = QT_TRANSLATE_NOOP("TReleaseChoice", "使わない(&N)");

QString tr8(const char *text) { return QCoreApplication::translate("TReleaseChoice", text); }

// The service's texts may hold control characters: shown as blanks, as the editor will take them.
QStringList columnsOf(const online::Release &release) {
    QStringList columns{release.title, release.artist, release.country, release.date, release.labels, release.barcode};
    for (QString &column : columns) column = catalogue::blankControlCharacters(column);
    return columns;
}

}  // namespace

TReleaseChoice::TReleaseChoice(const std::vector<online::Release> &releases, QWidget *parent)
    : QDialog(parent), m_releaseCount(static_cast<int>(releases.size())) {
    setWindowTitle(tr8(kCaption));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr8(kPrompt), this));
    List = new QTreeWidget(this);
    QStringList headers;
    for (const char *column : kColumns) headers << tr8(column);
    List->setHeaderLabels(headers);
    List->setRootIsDecorated(false);
    List->setAllColumnsShowFocus(true);
    List->setAccessibleName(tr8(kCaption));
    for (const online::Release &release : releases) new QTreeWidgetItem(List, columnsOf(release));
    new QTreeWidgetItem(List, {tr8(kNone)});
    for (int column = 0; column < List->columnCount(); ++column) List->resizeColumnToContents(column);
    List->setCurrentItem(List->topLevelItem(0));
    List->setMinimumWidth(std::min(List->header()->length() + 24, 900));
    layout->addWidget(List);
    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(tr8(kTake), QDialogButtonBox::AcceptRole);
    buttons->addButton(tr8(kCancel), QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(List, &QTreeWidget::itemActivated, this, &QDialog::accept);
    List->setFocus();
}

int TReleaseChoice::chosenIndex() const {
    const int row = List->indexOfTopLevelItem(List->currentItem());
    return row >= 0 && row < m_releaseCount ? row : -1;
}

int chooseRelease(const std::vector<online::Release> &releases) {
    TReleaseChoice choice(releases, CD_Database);
    return execModal(&choice) == QDialog::Accepted ? choice.chosenIndex() : -1;
}
