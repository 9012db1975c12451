#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <vector>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;

// How a track's save ended, as its row shows it: whole (its bar full), skipped (a data track),
// failed or incomplete (in red).
enum class SaveRowResult { Whole, Skipped, Failed };

// One track as the save window lists it.
struct SaveWindowTrack {
    int number = 0;
    QString title;
    QString note; // what its result column says until it has a result
};

// "1:05" for 65 seconds, "1:02:03" from an hour on.
QString saveTimeText(int seconds);

// The window that saves the disc as files: the target folder, then each track's progress, the
// whole and the time left, with Cancel; at the end each track's result and the outcome. It shows
// what it is told and reports the user's choices as signals: the saving itself runs elsewhere.
// Three states: choosing (folder and Start), saving (Cancel), done (Close, or Start again).
class TSaveWindow : public QDialog {
    Q_OBJECT
public:
    explicit TSaveWindow(QWidget *parent = nullptr);

    QLabel *LB_DISC;
    QLineEdit *ED_FOLDER;
    QPushButton *BT_FOLDER;
    QTreeWidget *LV_TRACKS;
    QProgressBar *PB_TOTAL;
    QLabel *LB_LEFT;
    QLabel *LB_RESULT;
    QPushButton *BT_START;
    QPushButton *BT_CANCEL;

    void setDisc(const QString &title, const std::vector<SaveWindowTrack> &tracks);
    void setFolder(const QString &folder);
    QString folder() const;
    bool isSaving() const { return m_saving; }

    // --- what the saving reports; `row` counts the listed tracks from 0 ---
    void beginSaving();
    void showTrackProgress(int row, double fraction);
    // `secondsLeft` as the saving estimates it; -1 while it cannot tell yet.
    void showTotalProgress(double fraction, int secondsLeft);
    // A track found while saving (the hidden one before track 1) gets a row at `row`.
    void insertTrack(int row, const SaveWindowTrack &track);
    void showTrackResult(int row, SaveRowResult result, const QString &text);
    // The end: `text` names the outcome (or the cause of a failure); rows without a result are
    // marked as not saved.
    void endSaving(bool whole, const QString &text);

Q_SIGNALS:
    void startRequested(const QString &folder);
    void cancelRequested();

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void chooseFolder();
    void cancelOrClose();
    QProgressBar *trackBar(int row) const;

    bool m_saving = false;
};
