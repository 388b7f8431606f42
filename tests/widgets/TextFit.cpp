#include "TextFit.h"

#include <QAbstractItemModel>
#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTableView>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

void ExpectFits(const QWidget *widget, const QString &text, int room)
{
    EXPECT_LE(widget->fontMetrics().horizontalAdvance(text), room)
        << text.toStdString() << " in " << widget->metaObject()->className();
}

// Every cell text within its column, the row headers within theirs.
void ExpectCellsFit(const QTableView *grid, const std::vector<GridColumn> &cutAsDesigned)
{
    const QAbstractItemModel *model = grid->model();
    const int margin = 2 * (grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid) + 1);
    for (int column = 0; column < model->columnCount(); ++column) {
        if (std::find(cutAsDesigned.begin(), cutAsDesigned.end(), GridColumn{grid, column}) != cutAsDesigned.end())
            continue;
        for (int row = 0; row < model->rowCount(); ++row) {
            const QString text = model->data(model->index(row, column)).toString();
            if (!text.isEmpty())
                ExpectFits(grid, text, grid->columnWidth(column) - margin);
        }
    }
}

} // namespace

void ExpectEveryTextFits(const QWidget *window, const std::vector<GridColumn> &cutAsDesigned)
{
    for (const QLabel *label : window->findChildren<QLabel *>()) {
        if (label->text().isEmpty())
            continue;
        ExpectFits(label, label->text(), label->width());
        EXPECT_LE(label->fontMetrics().height(), label->height()) << label->text().toStdString();
    }
    for (const QPushButton *button : window->findChildren<QPushButton *>())
        ExpectFits(button, button->text(), button->width() - 8);
    for (const QRadioButton *radio : window->findChildren<QRadioButton *>())
        ExpectFits(radio, radio->text(), radio->width() - 20);
    for (const QCheckBox *box : window->findChildren<QCheckBox *>())
        ExpectFits(box, box->text(), box->width() - 20);
    for (const QGroupBox *box : window->findChildren<QGroupBox *>())
        ExpectFits(box, box->title(), box->width() - 16);
    for (const QTableView *grid : window->findChildren<QTableView *>())
        ExpectCellsFit(grid, cutAsDesigned);
}
