#pragma once

#include <QAccessibleWidget>
#include <QHash>

class TTrackGrid;

// The track grid as a table: 10 columns and as many rows as the listed tracks need, one cell per
// track with its "%2.2d" text, the current cell selected. A cell's press action does what a left
// press on it does: it becomes current and the grid reports the release.
class AccessibleTrackGrid : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    explicit AccessibleTrackGrid(TTrackGrid *grid);
    ~AccessibleTrackGrid() override;

    void *interface_cast(QAccessible::InterfaceType t) override;
    int childCount() const override;
    QAccessibleInterface *child(int index) const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QAccessibleInterface *childAt(int x, int y) const override;

    // QAccessibleTableInterface
    QAccessibleInterface *caption() const override { return nullptr; }
    QAccessibleInterface *summary() const override { return nullptr; }
    QAccessibleInterface *cellAt(int row, int column) const override;
    int selectedCellCount() const override;
    QList<QAccessibleInterface *> selectedCells() const override;
    QString columnDescription(int) const override { return {}; }
    QString rowDescription(int) const override { return {}; }
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override { return 0; }
    int columnCount() const override;
    int rowCount() const override;
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override { return {}; }
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int) const override { return false; }
    bool selectRow(int) override { return false; }
    bool selectColumn(int) override { return false; }
    bool unselectRow(int) override { return false; }
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent *) override {}

    TTrackGrid *grid() const;

private:
    QHash<int, QAccessible::Id> m_cells;  // child index -> registered cell interface
};

// The grid's notifications; they return at once while no client listens.
void accessibleGridCellChanged(TTrackGrid *grid, int col, int row);
void accessibleGridCurrentChanged(TTrackGrid *grid);
