// The string grid: cells and headers read back, single-cell repaints, the
// colour callback, the sizes it is given, and what a screen reader and a
// keyboard find in it.
#include "StringGrid.h"

#include <QAccessible>
#include <QBrush>
#include <QHeaderView>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class Grid : public ::testing::Test {
protected:
    TStringGrid grid{nullptr, 4, 10};
    const QAbstractItemModel *model = grid.model();
};

TEST_F(Grid, CellsAndHeadersReadBackWhereTheyWereWritten)
{
    grid.SetCell(0, 0, "Corner");
    grid.SetCell(2, 0, "Head 2");
    grid.SetCell(0, 3, "Row 3");
    grid.SetCell(3, 9, "Last");
    grid.SetCell(1, 1, "x\xe9y"); // 8-bit text
    EXPECT_EQ(grid.Cell(0, 0), "Corner");
    EXPECT_EQ(grid.Cell(3, 9), "Last");
    EXPECT_EQ(grid.Cell(1, 1), "x\xe9y");
    EXPECT_EQ(grid.Cell(2, 2), "");
    // Row 0 and column 0 are the fixed headers; the rest are items.
    EXPECT_EQ(model->rowCount(), 9);
    EXPECT_EQ(model->columnCount(), 3);
    EXPECT_EQ(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Head 2"));
    EXPECT_EQ(model->headerData(2, Qt::Vertical).toString(), QStringLiteral("Row 3"));
    EXPECT_EQ(model->data(model->index(8, 2)).toString(), QStringLiteral("Last"));
    EXPECT_EQ(model->data(model->index(0, 0)).toString(), QString::fromUtf8("x\u00e9y"));
}

TEST_F(Grid, CellsOutsideTheGridAreIgnored)
{
    grid.SetCell(4, 0, "no");
    grid.SetCell(0, 10, "no");
    grid.SetCell(-1, 2, "no");
    grid.SetCell(2, -1, "no");
    grid.SetCell(1, 1, nullptr);
    EXPECT_EQ(grid.Cell(4, 0), "");
    EXPECT_EQ(grid.Cell(-1, 2), "");
    EXPECT_EQ(grid.Cell(1, 1), "");
    TStringGrid degenerate(nullptr, 0, 0);
    degenerate.SetCell(0, 0, "only");
    EXPECT_EQ(degenerate.Cell(0, 0), "only");
    degenerate.InvalidateAll();
    degenerate.InvalidateRow(0);
}

TEST_F(Grid, WritingACellSignalsThatCellOnlyAndOnlyWhenItChanges)
{
    QSignalSpy cells(model, &QAbstractItemModel::dataChanged);
    QSignalSpy headers(model, &QAbstractItemModel::headerDataChanged);
    grid.SetCell(2, 5, "12.50");
    ASSERT_EQ(cells.count(), 1);
    EXPECT_EQ(cells[0][0].toModelIndex(), model->index(4, 1));
    EXPECT_EQ(cells[0][1].toModelIndex(), model->index(4, 1));
    grid.SetCell(2, 5, "12.50");
    EXPECT_EQ(cells.count(), 1);
    grid.SetCell(0, 5, "5");
    grid.SetCell(3, 0, "Hex");
    EXPECT_EQ(cells.count(), 1);
    ASSERT_EQ(headers.count(), 2);
    EXPECT_EQ(headers[0][0].value<Qt::Orientation>(), Qt::Vertical);
    EXPECT_EQ(headers[0][1].toInt(), 4);
    EXPECT_EQ(headers[1][0].value<Qt::Orientation>(), Qt::Horizontal);
    EXPECT_EQ(headers[1][1].toInt(), 2);
}

TEST_F(Grid, BackgroundComesFromTheColourCallback)
{
    int redRow = 3;
    grid.SetCellColorHandler([&](int, int row) { return row == redRow ? QColor(Qt::red) : QColor(); });
    const auto background = [&](int column, int row) {
        return model->data(model->index(row - 1, column - 1), Qt::BackgroundRole);
    };
    EXPECT_EQ(background(1, 3).value<QBrush>().color(), QColor(Qt::red));
    EXPECT_EQ(background(3, 3).value<QBrush>().color(), QColor(Qt::red));
    EXPECT_FALSE(background(1, 2).isValid());

    QSignalSpy cells(model, &QAbstractItemModel::dataChanged);
    redRow = 4;
    grid.InvalidateRow(4);
    ASSERT_EQ(cells.count(), 1);
    EXPECT_EQ(cells[0][0].toModelIndex(), model->index(3, 0));
    EXPECT_EQ(cells[0][1].toModelIndex(), model->index(3, 2));
    EXPECT_EQ(background(2, 4).value<QBrush>().color(), QColor(Qt::red));
}

TEST_F(Grid, SizesAsGivenForHeadersAndCells)
{
    grid.SetDefaultColWidth(100);
    grid.SetColWidth(2, 75);
    grid.SetDefaultRowHeight(21);
    EXPECT_EQ(grid.ColWidth(0), 100);
    EXPECT_EQ(grid.ColWidth(1), 100);
    EXPECT_EQ(grid.ColWidth(2), 75);
    EXPECT_EQ(grid.ColWidth(3), 100);
    EXPECT_EQ(grid.RowHeight(0), 21);
    EXPECT_EQ(grid.RowHeight(9), 21);
}

TEST_F(Grid, HeadersTakeTheGridsFontWhateverTheirSectionCount)
{
    for (int columns : {2, 4}) {
        QWidget owner;
        QFont large = owner.font();
        large.setPixelSize(15);
        owner.setFont(large);
        auto *child = new TStringGrid(&owner, columns, 5);
        QFont small = child->font();
        small.setPixelSize(9);
        child->setFont(small);
        EXPECT_EQ(child->horizontalHeader()->font().pixelSize(), 9) << columns;
        EXPECT_EQ(child->verticalHeader()->font().pixelSize(), 9) << columns;
    }
}

TEST_F(Grid, AScreenReaderReadsCellsAndHeadersAsShown)
{
    grid.SetCell(0, 0, "Number");
    grid.SetCell(1, 0, "Name");
    grid.SetCell(2, 0, "Value");
    grid.SetCell(0, 2, "2");
    grid.SetCell(1, 2, "Engine Speed");
    grid.SetCell(2, 2, "Missing Data");
    QAccessibleInterface *table = QAccessible::queryAccessibleInterface(&grid);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->role(), QAccessible::Table);
    QAccessibleTableInterface *cells = table->tableInterface();
    ASSERT_NE(cells, nullptr);
    // The fixed row and column are headers, not cells.
    EXPECT_EQ(cells->rowCount(), 9);
    EXPECT_EQ(cells->columnCount(), 3);
    EXPECT_EQ(cells->columnDescription(1), QStringLiteral("Value"));

    QAccessibleInterface *value = cells->cellAt(1, 1);
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->text(QAccessible::Name), QStringLiteral("Missing Data"));
    grid.SetCell(2, 2, "1500");
    EXPECT_EQ(value->text(QAccessible::Name), QStringLiteral("1500")) << "a rewritten cell reads anew";

    QAccessibleTableCellInterface *place = value->tableCellInterface();
    ASSERT_NE(place, nullptr);
    const QList<QAccessibleInterface *> columnHeads = place->columnHeaderCells();
    ASSERT_EQ(columnHeads.size(), 1);
    EXPECT_EQ(columnHeads.front()->text(QAccessible::Name), QStringLiteral("Value"));
    const QList<QAccessibleInterface *> rowHeads = place->rowHeaderCells();
    ASSERT_EQ(rowHeads.size(), 1);
    EXPECT_EQ(rowHeads.front()->text(QAccessible::Name), QStringLiteral("2"));
    EXPECT_EQ(rowHeads.front()->text(QAccessible::Description), QStringLiteral("Number"))
        << "the corner heads the header column";
}

TEST_F(Grid, TabLeavesTheGridArrowsMoveInIt)
{
    QWidget form;
    auto *inForm = new TStringGrid(&form, 3, 5);
    inForm->setGeometry(0, 0, 200, 120);
    auto *next = new QPushButton(QStringLiteral("Next"), &form);
    next->setGeometry(0, 130, 80, 25);
    form.show();
    QApplication::setActiveWindow(&form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    inForm->setFocus(Qt::TabFocusReason);
    QTest::keyClick(inForm, Qt::Key_Down);
    EXPECT_EQ(inForm->currentIndex().row(), 1);
    QTest::keyClick(inForm, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), next);
}

} // namespace
