// A monitor window whose display runs only when a test ticks it, and the
// receipts a test feeds it.
#pragma once

#include "MonitorTestSupport.h"

#include <QAbstractItemModel>
#include <QBrush>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace monitor_test {

class MonitorWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        form = std::make_unique<TForm_MTU>();
        form->NodeId = GATEWAY_NODE;
        // Passes run when the test says so.
        form->Timer1->stop();
    }

    // MTU parameter `row` arrives with `value`, `ms` after the monitor's creation.
    void Receive(uint8_t row, uint32_t value, uint32_t ms)
    {
        Decode(*form, Pdo(GATEWAY_INDEX_MTU_PARAMETER, row, value), ++sequence, TicksAfterBase(*form, ms));
    }

    void Tick() { form->Timer1Timer(); }

    std::string Mtu(int column, int row) const { return Cell(form->AdvStringGrid_MTU_Data, column, row); }

    static QColor Background(const TStringGrid *grid, int column, int row)
    {
        const QAbstractItemModel *model = grid->model();
        return model->data(model->index(row - 1, column - 1), Qt::BackgroundRole).value<QBrush>().color();
    }

    QColor WindowColour() const { return form->AdvStringGrid_MTU_Data->palette().color(QPalette::Base); }

    std::unique_ptr<TForm_MTU> form;
    uint32_t sequence = 0;
};

} // namespace monitor_test
