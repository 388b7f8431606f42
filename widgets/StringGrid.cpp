#include "StringGrid.h"

#include <QAbstractButton>
#include <QAbstractTableModel>
#include <QBrush>
#include <QEvent>
#include <QHeaderView>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionHeader>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

// The flat cell store behind the view. The view shows rows 1.. and columns
// 1.. as items; row 0 and column 0 reach it as header data.
class TStringGridModel : public QAbstractTableModel {
public:
    TStringGridModel(int columns, int rows)
        : columns_(std::max(columns, 1)), rows_(std::max(rows, 1)), cells_(size_t(columns_) * size_t(rows_))
    {
    }

    int Columns() const { return columns_; }
    int Rows() const { return rows_; }
    bool Contains(int column, int row) const { return column >= 0 && column < columns_ && row >= 0 && row < rows_; }

    const std::string &Cell(int column, int row) const
    {
        static const std::string none;
        return Contains(column, row) ? cells_[Slot(column, row)] : none;
    }

    // True when the text changed.
    bool Store(int column, int row, const char *text)
    {
        if (!Contains(column, row))
            return false;
        std::string &cell = cells_[Slot(column, row)];
        if (text == nullptr)
            text = "";
        if (std::strcmp(cell.c_str(), text) == 0)
            return false;
        cell.assign(text); // reuses the cell's capacity: no allocation once a cell has held a text this long
        return true;
    }

    void CellChanged(int column, int row, int role)
    {
        const QModelIndex at = index(row - 1, column - 1);
        emit dataChanged(at, at, {role});
    }

    void RowChanged(int row, int role)
    {
        if (row < 1 || row >= rows_ || columns_ < 2)
            return;
        emit dataChanged(index(row - 1, 0), index(row - 1, columns_ - 2), {role});
    }

    void AllChanged(int role)
    {
        if (rows_ < 2 || columns_ < 2)
            return;
        emit dataChanged(index(0, 0), index(rows_ - 2, columns_ - 2), {role});
    }

    void HeaderChanged(Qt::Orientation orientation, int section) { emit headerDataChanged(orientation, section, section); }

    TStringGrid::CellColorHandler ColorHandler;

    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : rows_ - 1; }
    int columnCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : columns_ - 1; }

    QVariant data(const QModelIndex &at, int role) const override
    {
        if (!at.isValid())
            return {};
        const int column = at.column() + 1;
        const int row = at.row() + 1;
        if (role == Qt::DisplayRole)
            return QString::fromLatin1(Cell(column, row));
        if (role == Qt::BackgroundRole && ColorHandler) {
            const QColor colour = ColorHandler(column, row);
            if (colour.isValid())
                return QBrush(colour);
        }
        return {};
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        // The corner heads the header column; a screen reader hears it with each row's header.
        if (role == Qt::AccessibleDescriptionRole && orientation == Qt::Vertical)
            return QString::fromLatin1(Cell(0, 0));
        if (role != Qt::DisplayRole)
            return {};
        const std::string &text = orientation == Qt::Horizontal ? Cell(section + 1, 0) : Cell(0, section + 1);
        return QString::fromLatin1(text);
    }

    Qt::ItemFlags flags(const QModelIndex &at) const override
    {
        return at.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
    }

private:
    size_t Slot(int column, int row) const { return size_t(row) * size_t(columns_) + size_t(column); }

    int columns_;
    int rows_;
    std::vector<std::string> cells_;
};

TStringGrid::TStringGrid(QWidget *parent, int columnCount, int rowCount)
    : QTableView(parent), model_(std::make_unique<TStringGridModel>(columnCount, rowCount))
{
    setModel(model_.get());
    setShowGrid(true);
    setWordWrap(false);
    setTextElideMode(Qt::ElideNone);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab leaves the grid for the next control, as the classic grid's does; arrows move in it.
    setTabKeyNavigation(false);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);

    for (QHeaderView *header : {horizontalHeader(), verticalHeader()}) {
        header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        header->setSectionsClickable(false);
        header->setHighlightSections(false);
        header->setMinimumSectionSize(1);
    }
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setStretchLastSection(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);

    // The corner button stands for cell (0, 0): it shows that text and
    // selects nothing.
    setCornerButtonEnabled(false);
    for (QAbstractButton *button : findChildren<QAbstractButton *>(Qt::FindDirectChildrenOnly)) {
        corner_ = button;
        corner_->installEventFilter(this);
    }

    SetDefaultColWidth(64);
    SetDefaultRowHeight(24);
}

TStringGrid::~TStringGrid()
{
    // The view must let go of the model before the model goes.
    setModel(nullptr);
}

int TStringGrid::ColCount() const { return model_->Columns(); }
int TStringGrid::RowCount() const { return model_->Rows(); }

void TStringGrid::SetCell(int column, int row, const char *text)
{
    if (!model_->Store(column, row, text))
        return;
    if (row == 0 && column == 0) {
        if (corner_ != nullptr)
            corner_->update();
    } else if (row == 0) {
        model_->HeaderChanged(Qt::Horizontal, column - 1);
    } else if (column == 0) {
        model_->HeaderChanged(Qt::Vertical, row - 1);
    } else {
        model_->CellChanged(column, row, Qt::DisplayRole);
    }
}

const std::string &TStringGrid::Cell(int column, int row) const { return model_->Cell(column, row); }

void TStringGrid::SetDefaultColWidth(int width)
{
    for (int column = 0; column < ColCount(); ++column)
        SetColWidth(column, width);
    horizontalHeader()->setDefaultSectionSize(width);
}

void TStringGrid::SetColWidth(int column, int width)
{
    if (column < 0 || column >= ColCount() || width < 0)
        return;
    if (column == 0)
        verticalHeader()->setFixedWidth(width);
    else
        horizontalHeader()->resizeSection(column - 1, width);
}

void TStringGrid::WidenColumnToFit(int column, const QString &text)
{
    // A cell keeps the focus frame's margin and one pixel on either side of its text.
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    const int needed = fontMetrics().horizontalAdvance(text) + 2 * margin;
    if (needed > ColWidth(column))
        SetColWidth(column, needed);
}

int TStringGrid::ColWidth(int column) const
{
    if (column == 0)
        return verticalHeader()->width();
    if (column < 0 || column >= ColCount())
        return 0;
    return horizontalHeader()->sectionSize(column - 1);
}

void TStringGrid::SetDefaultRowHeight(int height)
{
    if (height < 1)
        return;
    horizontalHeader()->setFixedHeight(height);
    verticalHeader()->setDefaultSectionSize(height);
}

int TStringGrid::RowHeight(int row) const
{
    if (row == 0)
        return horizontalHeader()->height();
    if (row < 0 || row >= RowCount())
        return 0;
    return verticalHeader()->sectionSize(row - 1);
}

void TStringGrid::SetCellColorHandler(CellColorHandler handler)
{
    model_->ColorHandler = std::move(handler);
    InvalidateAll();
}

void TStringGrid::InvalidateRow(int row) { model_->RowChanged(row, Qt::BackgroundRole); }

void TStringGrid::InvalidateAll() { model_->AllChanged(Qt::BackgroundRole); }

void TStringGrid::changeEvent(QEvent *event)
{
    // The header cells are grid cells: they take the grid's font. Qt does not
    // always pass a font on to a header (not to one with a single section).
    if (event->type() == QEvent::FontChange) {
        horizontalHeader()->setFont(font());
        verticalHeader()->setFont(font());
        if (corner_ != nullptr)
            corner_->setFont(font());
    }
    QTableView::changeEvent(event);
}

bool TStringGrid::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != corner_ || event->type() != QEvent::Paint)
        return QTableView::eventFilter(watched, event);
    QStyleOptionHeader option;
    option.initFrom(corner_);
    option.rect = corner_->rect();
    option.position = QStyleOptionHeader::OnlyOneSection;
    option.textAlignment = Qt::AlignLeft | Qt::AlignVCenter;
    option.text = QString::fromLatin1(Cell(0, 0));
    // The button is disabled so that it selects nothing; draw it as an
    // ordinary header all the same, not greyed out.
    option.state |= QStyle::State_Enabled | QStyle::State_Raised;
    option.palette.setCurrentColorGroup(QPalette::Active);
    QPainter painter(corner_);
    corner_->style()->drawControl(QStyle::CE_Header, &option, &painter, corner_);
    return true;
}
