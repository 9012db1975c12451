#pragma once

#include "online/Releases.h"

#include <QDialog>
#include <QTreeWidget>

#include <vector>

// The choice among several releases that hold the disc: one row per release (title, artist,
// country, date, label and catalogue number, barcode) and a last row for none of them. Keyboard:
// arrows choose a row, Enter takes it, Esc takes none.
class TReleaseChoice : public QDialog {
    Q_OBJECT
public:
    explicit TReleaseChoice(const std::vector<online::Release> &releases, QWidget *parent = nullptr);

    QTreeWidget *List;
    // The release on the current row, or -1 for the row of none.
    int chosenIndex() const;

private:
    int m_releaseCount = 0;
};

// Shows the choice modally over the editor; the index of the release taken, or -1 for none.
int chooseRelease(const std::vector<online::Release> &releases);
