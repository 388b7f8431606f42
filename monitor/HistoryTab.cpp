#include "HistoryTab.h"

#include "BoundedLogModel.h"
#include "CsvFile.h"
#include "Platform.h"

#include <QAbstractTableModel>
#include <QDateTime>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTableView>


namespace {

const char *const HEADERS[THistoryTab::COLUMNS] = {"Time", "Event", "Fault Code", "Count"};
const int COLUMN_WIDTHS[THistoryTab::COLUMNS] = {150, 100, 75, 60};
constexpr int ROW_HEIGHT = 21;

bool IsFault(const THistoryEntry &entry)
{
    return entry.Kind == THistoryKind::FaultActive || entry.Kind == THistoryKind::FaultCleared;
}

} // namespace

class THistoryTableModel : public TBoundedLogModel<THistoryLog, THistoryEntry> {
public:
    explicit THistoryTableModel(size_t bound) : TBoundedLogModel(bound) {}

    QString Text(int row, int column) const
    {
        if (row < 0 || size_t(row) >= log_.Size())
            return {};
        const THistoryEntry &entry = log_.Newest(size_t(row));
        switch (column) {
        case THistoryTab::COLUMN_TIME:
            return LocalTimeText(entry.WallUs);
        case THistoryTab::COLUMN_EVENT:
            return QString::fromLatin1(HistoryKindText(entry.Kind));
        case THistoryTab::COLUMN_FAULT_CODE:
            return IsFault(entry) ? QString::number(entry.FaultCode) : QString();
        case THistoryTab::COLUMN_COUNT:
            return IsFault(entry) ? QString::number(entry.Count) : QString();
        default:
            return {};
        }
    }

    int columnCount(const QModelIndex &parent) const override { return parent.isValid() ? 0 : THistoryTab::COLUMNS; }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role != Qt::DisplayRole)
            return {};
        return Text(index.row(), index.column());
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 || section >= THistoryTab::COLUMNS)
            return {};
        return QString::fromLatin1(HEADERS[section]);
    }
};

THistoryTab::THistoryTab(THistoryFeed &feed, size_t bound, QWidget *parent)
    : QWidget(parent)
    , feed_(feed)
    , model_(std::make_unique<THistoryTableModel>(bound))
{
    // Whatever one pass can take, held once rather than allocated per tick.
    taken_.reserve(THistoryFeed::QUEUE_CAPACITY);

    table_ = new QTableView(this);
    table_->setGeometry(21, 13, 486, 352);
    table_->setModel(model_.get());
    table_->verticalHeader()->hide();
    // Fixed heights let the view place a row without asking every other one.
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(ROW_HEIGHT);
    table_->horizontalHeader()->setStretchLastSection(true);
    for (int column = 0; column < COLUMNS; ++column)
        table_->setColumnWidth(column, COLUMN_WIDTHS[column]);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setWordWrap(false);
    table_->setAccessibleName(QStringLiteral("History"));

    notice_ = new QLabel(this);
    notice_->setGeometry(21, 370, 360, 48);
    notice_->setWordWrap(true);
    notice_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    export_ = new QPushButton(QStringLiteral("Export History..."), this);
    export_->setGeometry(392, 392, 115, 25);
    export_->setAutoDefault(false);
    connect(export_, &QPushButton::clicked, this, &THistoryTab::ExportClick);
    ShowNotice();
}

THistoryTab::~THistoryTab() = default;

const THistoryLog &THistoryTab::Log() const { return model_->Log(); }

void THistoryTab::Drain()
{
    taken_.clear();
    wallClock_.Refresh();
    THistoryEvent event;
    // A pass takes at most a queue's worth, so a flood cannot hold it here.
    while (taken_.size() < taken_.capacity() && feed_.Take(event))
        taken_.push_back({wallClock_.ToWallUs(event.RxUs), event.Count, event.FaultCode, event.Kind});
    if (taken_.empty() && feed_.Lost() == lostShown_)
        return;
    model_->Add(taken_);
    ShowNotice();
    if (!taken_.empty())
        emit EventsTaken(taken_);
}

void THistoryTab::ShowNotice()
{
    const THistoryLog &log = model_->Log();
    const QLocale locale(QLocale::English);
    QStringList parts;
    parts << (log.Size() == 1 ? QStringLiteral("1 event.")
                              : QStringLiteral("%1 events.").arg(locale.toString(qulonglong(log.Size()))));
    if (log.Dropped() > 0)
        parts << QStringLiteral("%1 oldest dropped: the history keeps the last %2.")
                     .arg(locale.toString(qulonglong(log.Dropped())), locale.toString(qulonglong(log.Bound())));
    const uint64_t lost = feed_.Lost();
    if (lost > 0)
        parts << QStringLiteral("%1 lost: the display fell behind.").arg(locale.toString(qulonglong(lost)));
    lostShown_ = lost;
    notice_->setText(parts.join(QLatin1Char(' ')));
}

QString THistoryTab::NoticeText() const { return notice_->text(); }

QString THistoryTab::CellText(int row, int column) const { return model_->Text(row, column); }

std::string THistoryTab::ExportCsv() const
{
    const THistoryLog &log = model_->Log();
    std::string csv;
    std::vector<std::string> fields(HEADERS, HEADERS + COLUMNS);
    AppendCsvRecord(csv, fields);
    for (size_t i = log.Size(); i-- > 0;) {
        const THistoryEntry &entry = log.Newest(i);
        const bool fault = IsFault(entry);
        AppendCsvRecord(csv, {IsoLocalTimeMs(entry.WallUs), HistoryKindText(entry.Kind),
                              fault ? std::to_string(entry.FaultCode) : std::string(),
                              fault ? std::to_string(entry.Count) : std::string()});
    }
    return csv;
}

bool THistoryTab::ExportTo(const QString &path, QString *error) const
{
    return WriteFileAtomically(path, ExportCsv(), error);
}

void THistoryTab::ExportClick()
{
    ExportCsvAskingPath(this, QStringLiteral("Export History"), DatedCsvName(QStringLiteral("history")),
                        [this] { return ExportCsv(); });
}
