// A table model over a bounded log (HistoryLog.h's TBoundedLog, or a
// class built on it), newest entry in row 0: new entries come in at the
// top and the oldest go at the bottom, each announced to the view as one
// block, so a long list costs the view nothing per pass.
#pragma once

#include <QAbstractTableModel>

#include <cstddef>
#include <vector>

template <typename LogType, typename Entry>
class TBoundedLogModel : public QAbstractTableModel {
public:
    explicit TBoundedLogModel(size_t bound) : log_(bound) {}

    const LogType &Log() const { return log_; }

    // New entries, oldest first.
    void Add(const std::vector<Entry> &entries)
    {
        if (entries.empty())
            return;
        if (entries.size() >= log_.Bound()) {
            beginResetModel();
            for (const Entry &entry : entries)
                log_.Add(entry);
            endResetModel();
            return;
        }
        const size_t size = log_.Size();
        const size_t drop = size + entries.size() > log_.Bound() ? size + entries.size() - log_.Bound() : 0;
        if (drop > 0) {
            beginRemoveRows({}, int(size - drop), int(size - 1));
            log_.DropForRoom(entries.size());
            endRemoveRows();
        }
        beginInsertRows({}, 0, int(entries.size() - 1));
        for (const Entry &entry : entries)
            log_.Add(entry);
        endInsertRows();
    }

    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : int(log_.Size()); }

protected:
    LogType log_;
};
