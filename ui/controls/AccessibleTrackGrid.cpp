#include "ui/controls/AccessibleTrackGrid.h"

#include "ui/controls/Accessible.h"
#include "ui/controls/TrackGrid.h"

#include <QPointer>

namespace {

constexpr int kColumns = TTrackGrid::kColumns;

bool isBlank(const std::string &text) { return text.find_first_not_of(' ') == std::string::npos; }

// Rows down to the last one holding a track number; none while no disc is listed (an eject
// leaves blanks in every cell).
int listedRows(const TTrackGrid *grid) {
    for (int row = TTrackGrid::kRows - 1; row >= 0; --row)
        for (int col = 0; col < kColumns; ++col)
            if (!isBlank(grid->Cells(col, row))) return row + 1;
    return 0;
}

class AccessibleTrackCell : public QAccessibleInterface,
                            public QAccessibleTableCellInterface,
                            public QAccessibleActionInterface {
public:
    AccessibleTrackCell(TTrackGrid *grid, int col, int row) : m_grid(grid), m_col(col), m_row(row) {}

    void *interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::TableCellInterface) return static_cast<QAccessibleTableCellInterface *>(this);
        if (t == QAccessible::ActionInterface) return static_cast<QAccessibleActionInterface *>(this);
        return nullptr;
    }
    bool isValid() const override { return m_grid && m_row < listedRows(m_grid); }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return m_grid ? m_grid->window()->windowHandle() : nullptr; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QAccessibleInterface *parent() const override { return table(); }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QString text(QAccessible::Text t) const override {
        if (t != QAccessible::Name || !m_grid) return {};
        const QString note = m_grid->CellNote(m_col, m_row);
        return m_grid->CellText(m_col, m_row).trimmed() + (note.isEmpty() ? QString() : QLatin1Char(' ') + note);
    }
    void setText(QAccessible::Text, const QString &) override {}
    QRect rect() const override {
        if (!m_grid) return {};
        const QRect r = m_grid->cellRect(m_col, m_row);
        return QRect(m_grid->mapToGlobal(r.topLeft()), r.size());
    }
    QAccessible::Role role() const override { return QAccessible::Cell; }
    QAccessible::State state() const override {
        QAccessible::State s;
        if (!m_grid) return s;
        s.selectable = true;
        s.selected = isSelected();
        s.disabled = !m_grid->isEnabled();
        const QRect r = m_grid->cellRect(m_col, m_row);
        s.invisible = !m_grid->isVisible() || r.bottom() < 0 || r.top() >= m_grid->height();
        s.offscreen = s.invisible;
        return s;
    }

    // QAccessibleTableCellInterface
    bool isSelected() const override { return m_grid && m_grid->Col() == m_col && m_grid->Row() == m_row; }
    QList<QAccessibleInterface *> columnHeaderCells() const override { return {}; }
    QList<QAccessibleInterface *> rowHeaderCells() const override { return {}; }
    int columnIndex() const override { return m_col; }
    int rowIndex() const override { return m_row; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface *table() const override { return QAccessible::queryAccessibleInterface(m_grid); }

    // QAccessibleActionInterface
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString &actionName) override {
        if (actionName != pressAction() || !m_grid) return;
        QPointer<TTrackGrid> grid = m_grid;
        const int col = m_col;
        const int row = m_row;
        postAccessibleClick(grid, [grid] { return grid && acceptsClicks(grid); },
                            [grid, col, row] { grid->clickCell(col, row); });
    }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }

private:
    QPointer<TTrackGrid> m_grid;
    int m_col;
    int m_row;
};

}  // namespace

AccessibleTrackGrid::AccessibleTrackGrid(TTrackGrid *grid) : QAccessibleWidget(grid, QAccessible::Table) {}

AccessibleTrackGrid::~AccessibleTrackGrid() {
    for (QAccessible::Id id : std::as_const(m_cells)) QAccessible::deleteAccessibleInterface(id);
}

TTrackGrid *AccessibleTrackGrid::grid() const { return static_cast<TTrackGrid *>(widget()); }

void *AccessibleTrackGrid::interface_cast(QAccessible::InterfaceType t) {
    if (t == QAccessible::TableInterface) return static_cast<QAccessibleTableInterface *>(this);
    return QAccessibleWidget::interface_cast(t);
}

int AccessibleTrackGrid::columnCount() const { return kColumns; }

int AccessibleTrackGrid::rowCount() const { return listedRows(grid()); }

int AccessibleTrackGrid::childCount() const { return rowCount() * kColumns; }

// Cells are made when first asked for and live as long as the grid's interface.
QAccessibleInterface *AccessibleTrackGrid::child(int index) const {
    if (index < 0 || index >= childCount()) return nullptr;
    if (auto it = m_cells.constFind(index); it != m_cells.constEnd()) return QAccessible::accessibleInterface(*it);
    auto *cell = new AccessibleTrackCell(grid(), index % kColumns, index / kColumns);
    const_cast<AccessibleTrackGrid *>(this)->m_cells.insert(index, QAccessible::registerAccessibleInterface(cell));
    return cell;
}

int AccessibleTrackGrid::indexOfChild(const QAccessibleInterface *child) const {
    if (!child || child->parent() != this) return -1;
    const QAccessibleTableCellInterface *cell = const_cast<QAccessibleInterface *>(child)->tableCellInterface();
    return cell ? cell->rowIndex() * kColumns + cell->columnIndex() : -1;
}

QAccessibleInterface *AccessibleTrackGrid::childAt(int x, int y) const {
    int col = 0;
    int row = 0;
    if (!grid()->cellAt(grid()->mapFromGlobal(QPoint(x, y)), col, row)) return nullptr;
    return cellAt(row, col);
}

QAccessibleInterface *AccessibleTrackGrid::cellAt(int row, int column) const {
    if (column < 0 || column >= kColumns) return nullptr;
    return child(row * kColumns + column);
}

int AccessibleTrackGrid::selectedCellCount() const { return selectedCells().size(); }

QList<QAccessibleInterface *> AccessibleTrackGrid::selectedCells() const {
    if (QAccessibleInterface *cell = cellAt(grid()->Row(), grid()->Col())) return {cell};
    return {};
}

namespace {
// Tells the client about one cell; cells of rows that are not listed do not exist for it.
void sendCellEvent(TTrackGrid *grid, int col, int row, QAccessible::Event type) {
    if (!QAccessible::isActive()) return;
    QAccessibleInterface *table = QAccessible::queryAccessibleInterface(grid);
    const int index = row * kColumns + col;
    if (!table || index >= table->childCount()) return;
    QAccessibleEvent event(grid, type);
    event.setChild(index);
    QAccessible::updateAccessibility(&event);
}
}  // namespace

void accessibleGridCellChanged(TTrackGrid *grid, int col, int row) {
    sendCellEvent(grid, col, row, QAccessible::NameChanged);
}

void accessibleGridCurrentChanged(TTrackGrid *grid) {
    sendCellEvent(grid, grid->Col(), grid->Row(), QAccessible::Selection);
}
