// The check that every text of a window shows whole in its control: labels,
// buttons, radio buttons, check boxes, group box titles and grid cells.
#pragma once

#include <utility>
#include <vector>

class QTableView;
class QWidget;

// A grid and one of its model's columns.
using GridColumn = std::pair<const QTableView *, int>;

// Reports each text that does not fit as a test failure; the columns given
// are left out (widths the window must keep, which the user can widen).
void ExpectEveryTextFits(const QWidget *window, const std::vector<GridColumn> &cutAsDesigned = {});
