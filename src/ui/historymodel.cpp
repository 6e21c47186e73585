#include "ui/historymodel.h"

#include <QHash>
#include <QTimer>
#include <algorithm>

#include "base/gbk.h"
#include "history/historycsv.h"
#include "history/historytime.h"
#include "history/servicename.h"
#include "ui/qtext.h"

namespace lianshuo {

using namespace Qt::Literals::StringLiterals;

HistoryTableModel::HistoryTableModel(ConversionHistory& history, QObject* parent)
    : QAbstractTableModel(parent), history_(history) {}

int HistoryTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int HistoryTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 7;
}

QVariant HistoryTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const HistoryEntry& e = entry(index.row());
    if (role == Qt::TextAlignmentRole && index.column() == UsesColumn)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    switch (index.column()) {
        case ShortColumn:
            return toQt(e.shortUrl);
        case LongColumn:
            return toQt(e.longUrl);
        case ServiceColumn:
            return toQt(historyServiceName(e.service));
        case CreatedColumn:
            return QString::fromStdString(formatHistoryTime(e.created));
        case LastUsedColumn:
            return QString::fromStdString(formatHistoryTime(e.lastUsed));
        case UsesColumn:
            return QVariant::fromValue(static_cast<qlonglong>(e.uses));
        case StateColumn:
            if (role == Qt::ToolTipRole && !e.linkTarget.empty())
                return toQt(std::string(linkStateName(e.linkState))) + u"："_s + toQt(e.linkTarget);
            return toQt(std::string(linkStateName(e.linkState)));
        default:
            return {};
    }
}

QVariant HistoryTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    // The export's titles, so that its columns read as the window's do.
    const std::vector<std::string>& titles = historyColumnTitles();
    if (section < 0 || section >= columnCount()) return {};
    return toQt(titles[static_cast<std::size_t>(section)]);
}

bool HistoryTableModel::before(const HistoryEntry& a, const HistoryEntry& b) const {
    const auto ordered = [this, &a, &b](const auto& left, const auto& right) {
        if (left != right) return sortOrder_ == Qt::AscendingOrder ? left < right : right < left;
        return a.id > b.id;  // equal keys stay newest first
    };
    switch (sortColumn_) {
        case ShortColumn:
            return ordered(a.shortUrl, b.shortUrl);
        case LongColumn:
            return ordered(a.longUrl, b.longUrl);
        case ServiceColumn:
            // GBK's byte order puts the common characters in pinyin order; letters go by case-free.
            return ordered(toLowerAscii(historyServiceName(a.service)),
                           toLowerAscii(historyServiceName(b.service)));
        case CreatedColumn:
            return ordered(a.created, b.created);
        case LastUsedColumn:
            return ordered(a.lastUsed, b.lastUsed);
        case UsesColumn:
            return ordered(a.uses, b.uses);
        case StateColumn:
            return ordered(a.linkState, b.linkState);
        default:
            return a.id > b.id;
    }
}

void HistoryTableModel::sort(int column, Qt::SortOrder order) {
    sortColumn_ = column >= 0 && column < columnCount() ? column : -1;
    sortOrder_ = order;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    // Selections and the current row follow their entries to the new places.
    const QModelIndexList kept = persistentIndexList();
    std::vector<std::int64_t> keptIds;
    keptIds.reserve(static_cast<std::size_t>(kept.size()));
    for (const QModelIndex& index : kept) keptIds.push_back(entry(index.row()).id);
    std::stable_sort(rows_.begin(), rows_.end(),
                     [this](const HistoryEntry& a, const HistoryEntry& b) { return before(a, b); });
    QHash<std::int64_t, int> rowOf;
    for (int row = 0; row < rowCount(); ++row) rowOf.insert(entry(row).id, row);
    QModelIndexList moved;
    moved.reserve(kept.size());
    for (qsizetype i = 0; i < kept.size(); ++i)
        moved.append(index(rowOf.value(keptIds[static_cast<std::size_t>(i)]), kept[i].column()));
    changePersistentIndexList(kept, moved);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    if (sortColumn_ >= 0 && !finished_) {
        wanted_ = std::max(wanted_, kSortedRows);
        if (!walking_) {
            walking_ = true;
            step();
        }
    }
}

bool HistoryTableModel::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && !finished_ && !walking_;
}

void HistoryTableModel::fetchMore(const QModelIndex& parent) {
    if (parent.isValid() || finished_) return;
    wanted_ = std::max(wanted_, rows_.size() + kPageRows);
    if (walking_) return;
    walking_ = true;
    step();
}

void HistoryTableModel::setSearch(const QString& text) {
    search_ = fromQt(text);
    reload();
}

void HistoryTableModel::setStateFilter(int state) {
    state_ = state;
    reload();
}

void HistoryTableModel::reload() {
    ++generation_;
    beginResetModel();
    rows_.clear();
    next_ = INT64_MAX;
    finished_ = false;
    walking_ = false;
    // A search in a sorted table orders as many rows as the sort did.
    wanted_ = sortColumn_ >= 0 ? kSortedRows : 0;
    endResetModel();
    fetchMore({});
}

void HistoryTableModel::step() {
    if (finished_ || rows_.size() >= wanted_) {
        walking_ = false;
        emit walkPaused();
        return;
    }
    const HistoryPage page = history_.page({.below = next_,
                                            .search = search_,
                                            .state = state_,
                                            .limit = static_cast<int>(wanted_ - rows_.size()),
                                            .span = kStepSpan});
    if (!page.status.ok()) {
        finished_ = true;
        walking_ = false;
        emit failed(toQt(page.status.reason()));
        emit walkPaused();
        return;
    }
    if (!page.entries.empty() && sortColumn_ < 0) {
        const int first = rowCount();
        beginInsertRows({}, first, first + static_cast<int>(page.entries.size()) - 1);
        rows_.insert(rows_.end(), page.entries.begin(), page.entries.end());
        endInsertRows();
    } else {
        for (const HistoryEntry& e : page.entries) {
            const auto at = std::upper_bound(
                rows_.begin(), rows_.end(), e,
                [this](const HistoryEntry& a, const HistoryEntry& b) { return before(a, b); });
            const int row = static_cast<int>(at - rows_.begin());
            beginInsertRows({}, row, row);
            rows_.insert(at, e);
            endInsertRows();
        }
    }
    next_ = page.next;
    finished_ = page.finished;
    // The rest of the walk comes back through the event loop, one short step at a time.
    const unsigned generation = generation_;
    QTimer::singleShot(0, this, [this, generation] {
        if (generation == generation_ && walking_) step();
    });
}

Status HistoryTableModel::removeEntries(QList<int> rows) {
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    std::vector<std::int64_t> ids;
    for (const int row : rows)
        if (row >= 0 && row < rowCount()) ids.push_back(entry(row).id);
    if (Status status = history_.remove(ids); !status.ok()) return status;
    for (auto it = rows.crbegin(); it != rows.crend(); ++it) {
        if (*it < 0 || *it >= rowCount()) continue;
        beginRemoveRows({}, *it, *it);
        rows_.erase(rows_.begin() + *it);
        endRemoveRows();
    }
    return {};
}

}  // namespace lianshuo
