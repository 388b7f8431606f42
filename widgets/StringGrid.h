// A grid of 8-bit text cells with one fixed header row and one fixed header
// column, in the manner of the classic string grid: callers format a cell
// into a char buffer and hand it over; the grid keeps its own copy.
//
// Cells are addressed (column, row), row 0 being the header row and column 0
// the header column. The header row is drawn by the horizontal header, the
// header column by the vertical header and cell (0, 0) in the corner, so both
// stay in place while the rest scrolls.
//
// Writing one cell repaints that cell only; writing the same text again
// repaints nothing. Cells outside the grid are ignored on write and read as
// empty.
#pragma once

#include <QColor>
#include <QTableView>

#include <functional>
#include <memory>

class TStringGridModel;

class TStringGrid : public QTableView {
    Q_OBJECT
public:
    // Asked for the background of every non-fixed cell before it is painted;
    // an invalid colour leaves the view's own background.
    using CellColorHandler = std::function<QColor(int column, int row)>;

    TStringGrid(QWidget *parent, int columnCount, int rowCount);
    ~TStringGrid() override;

    int ColCount() const;
    int RowCount() const;

    void SetCell(int column, int row, const char *text);
    // The cell's text, as handed over; empty outside the grid.
    const std::string &Cell(int column, int row) const;

    // Sizes in pixels. Column 0 and row 0 size the headers.
    void SetDefaultColWidth(int width);
    void SetColWidth(int column, int width);
    int ColWidth(int column) const;
    // Widens the column, if need be, so that the text shows whole in its cells.
    void WidenColumnToFit(int column, const QString &text);
    void SetDefaultRowHeight(int height);
    int RowHeight(int row) const;

    void SetCellColorHandler(CellColorHandler handler);
    // The colour of a row depends on state outside the grid: ask for it anew.
    void InvalidateRow(int row);
    void InvalidateAll();

protected:
    void changeEvent(QEvent *event) override;

private:
    bool eventFilter(QObject *watched, QEvent *event) override;

    std::unique_ptr<TStringGridModel> model_;
    QWidget *corner_ = nullptr;
};
