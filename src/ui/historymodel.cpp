#include "ui/historymodel.h"

#include <QTimer>
#include <algorithm>

#include "history/historytime.h"
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
            return toQt(e.service);
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
    static const QStringList headers = {u"短网址"_s,   u"长网址"_s, u"服务"_s, u"生成时间"_s,
                                        u"最后使用"_s, u"次数"_s,   u"状态"_s};
    return headers.value(section);
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
    wanted_ = 0;
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
    if (!page.entries.empty()) {
        const int first = rowCount();
        beginInsertRows({}, first, first + static_cast<int>(page.entries.size()) - 1);
        rows_.insert(rows_.end(), page.entries.begin(), page.entries.end());
        endInsertRows();
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
