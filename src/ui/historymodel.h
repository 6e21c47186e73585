#pragma once
// The history window's table: a newest-first walk over the history file,
// loaded a page at a time as the view scrolls and as a search runs, in
// steps short enough that the window never stops answering.

#include <QAbstractTableModel>
#include <QList>
#include <cstdint>
#include <string>
#include <vector>

#include "history/conversionhistory.h"

namespace lianshuo {

class HistoryTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        ShortColumn,
        LongColumn,
        ServiceColumn,
        CreatedColumn,
        LastUsedColumn,
        UsesColumn,
        StateColumn,  // what the last check found; its target as the tooltip
    };

    explicit HistoryTableModel(ConversionHistory& history, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    /// Orders the rows by `column` (dates as dates, counts as numbers); -1 is
    /// the walk's own order, newest first. The walk goes on to kSortedRows rows;
    /// rows loaded later join in their place.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

    /// Starts the walk again over the rows whose long or short address holds
    /// `text` (every row when empty), and loads the first page.
    void setSearch(const QString& text);
    /// Starts the walk again over the rows whose last check found `state` (kAnyLinkState: all).
    void setStateFilter(int state);
    /// Loads the first page again, as after a change made elsewhere.
    void reload();
    /// The entry shown in `row`.
    const HistoryEntry& entry(int row) const { return rows_[static_cast<std::size_t>(row)]; }
    /// Deletes the entries of `rows` from the history, then from the table.
    Status removeEntries(QList<int> rows);
    /// True while pages are still being looked for.
    bool walking() const { return walking_; }

    /// Rows a page holds, and ids one step examines at most.
    static constexpr int kPageRows = 100;
    static constexpr std::int64_t kStepSpan = 20000;
    /// Rows a sort loads behind the view at least, so that it orders more than a page.
    static constexpr std::size_t kSortedRows = 5000;

signals:
    /// The walk stopped: the page asked for is full, or the history has no more rows.
    void walkPaused();
    /// Reading the history failed; the walk stops.
    void failed(const QString& reason);

private:
    void step();
    // True when `a` goes above `b` in the order sort() set.
    bool before(const HistoryEntry& a, const HistoryEntry& b) const;

    ConversionHistory& history_;
    std::vector<HistoryEntry> rows_;
    std::string search_;
    int state_ = kAnyLinkState;
    std::int64_t next_ = INT64_MAX;
    bool finished_ = false;
    bool walking_ = false;
    std::size_t wanted_ = 0;
    int sortColumn_ = -1;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
    // A step scheduled before a new search belongs to the old one and is dropped.
    unsigned generation_ = 0;
};

}  // namespace lianshuo
