#include "ui/anchorlayout.h"

#include <QWidget>
#include <algorithm>
#include <cmath>

namespace lianshuo {
namespace {

// The least growth (most often a shrink, so below 0) along one axis at which a
// control of extent [start, start + size) keeps `least` and stays inside a
// parent of extent `full`.
double lowestGrowth(int start, int size, int full, Follow follow, int least) {
    double lowest = -1e9;
    if (follow.grow > 0) lowest = std::max(lowest, (least - size) / double(follow.grow));
    // It must not leave by the far edge, unless it already did at the default size...
    const double keep = 1.0 - follow.move - follow.grow;
    const int end = start + size;
    if (keep > 0 && end <= full) lowest = std::max(lowest, (end - full) / keep);
    // ...nor by the near one.
    if (follow.move > 0 && start >= 0) lowest = std::max(lowest, -start / double(follow.move));
    return lowest;
}

int shifted(int value, float share, int growth) {
    return value + static_cast<int>(std::lround(share * growth));
}

}  // namespace

AnchorLayout::AnchorLayout(QWidget* parent) : QLayout(parent), default_(parent->size()) {
    setContentsMargins(0, 0, 0, 0);
    setSpacing(0);
}

AnchorLayout::~AnchorLayout() {
    for (const Entry& entry : entries_) delete entry.item;
}

void AnchorLayout::follow(QWidget* control, Follow across, Follow down, QSize least) {
    if (!control) return;
    for (Entry& entry : entries_) {
        if (entry.item->widget() != control) continue;
        entry.across = across;
        entry.down = down;
        entry.least = least;
        return;
    }
    entries_.append({new QWidgetItem(control), control->geometry(), across, down, least});
    invalidate();
}

void AnchorLayout::follow(const QString& name, Follow across, Follow down, QSize least) {
    if (QWidget* owner = parentWidget())
        follow(owner->findChild<QWidget*>(name, Qt::FindDirectChildrenOnly), across, down, least);
}

QSize AnchorLayout::minimumSize() const {
    double lowestX = 1 - default_.width();
    double lowestY = 1 - default_.height();
    for (const Entry& entry : entries_) {
        QSize least = entry.least.isEmpty() ? entry.home.size() / 2 : entry.least;
        if (const QWidget* control = entry.item->widget(); control && control->layout())
            least = least.expandedTo(control->layout()->totalMinimumSize());
        lowestX = std::max(lowestX, lowestGrowth(entry.home.x(), entry.home.width(),
                                                 default_.width(), entry.across, least.width()));
        lowestY = std::max(lowestY, lowestGrowth(entry.home.y(), entry.home.height(),
                                                 default_.height(), entry.down, least.height()));
    }
    return {default_.width() + static_cast<int>(std::ceil(std::min(lowestX, 0.0))),
            default_.height() + static_cast<int>(std::ceil(std::min(lowestY, 0.0)))};
}

void AnchorLayout::setGeometry(const QRect& given) {
    QLayout::setGeometry(given);
    // The controls were placed in the whole parent, not in its contents (a
    // group box's title and frame take some of those).
    const QRect rect = parentWidget() ? parentWidget()->rect() : given;
    const int dx = rect.width() - default_.width();
    const int dy = rect.height() - default_.height();
    for (const Entry& entry : entries_) {
        QWidget* control = entry.item->widget();
        if (!control) continue;
        const QRect& home = entry.home;
        control->setGeometry(rect.x() + shifted(home.x(), entry.across.move, dx),
                             rect.y() + shifted(home.y(), entry.down.move, dy),
                             std::max(1, shifted(home.width(), entry.across.grow, dx)),
                             std::max(1, shifted(home.height(), entry.down.grow, dy)));
    }
}

void AnchorLayout::addItem(QLayoutItem* item) {
    // Only follow() places controls; an item given otherwise stays where it is.
    const QRect home = item->widget() ? item->widget()->geometry() : item->geometry();
    entries_.append({item, home, kStay, kStay, {}});
}

QLayoutItem* AnchorLayout::itemAt(int index) const {
    return index >= 0 && index < entries_.size() ? entries_[index].item : nullptr;
}

QLayoutItem* AnchorLayout::takeAt(int index) {
    if (index < 0 || index >= entries_.size()) return nullptr;
    QLayoutItem* item = entries_[index].item;
    entries_.removeAt(index);
    return item;
}

}  // namespace lianshuo
