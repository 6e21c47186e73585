#include "ui/windowplace.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QList>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolTip>
#include <QWidget>
#include <algorithm>
#include <optional>

#include "store/settings.h"
#include "ui/settingssaves.h"

namespace lianshuo {

using namespace Qt::Literals::StringLiterals;

namespace {

QRect freeArea(const QWidget* window) {
    const QScreen* screen = window->screen();
    if (!screen) screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

class PlaceKeeper : public QObject {
public:
    PlaceKeeper(QWidget* window, PlacedWindow which, QHeaderView* columns)
        : QObject(window), window_(window), which_(which), columns_(columns) {
        const WindowPlace place = loadWindowPlace(settingsStore(), which);
        if (place.known()) window->setGeometry(place.x, place.y, place.width, place.height);
        if (columns && !place.columns.empty() &&
            static_cast<int>(place.columns.size()) == columns->count()) {
            for (int column = 0; column < columns->count(); ++column)
                columns->resizeSection(column, place.columns[static_cast<std::size_t>(column)]);
        }
        fitOnScreen(window);
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != window_) return false;
        if (event->type() == QEvent::Show) {
            fitOnScreen(window_);
            // Taken once the layout and the columns have settled.
            QTimer::singleShot(0, this, [this] { shown_ = current(); });
        } else if (event->type() == QEvent::Hide && shown_) {
            const WindowPlace now = current();
            if (now != *shown_) {
                shown_ = now;
                if (const Status saved = saveWindowPlace(settingsStore(), which_, now); !saved)
                    reportSettingsSave(window_, saved);
            }
        }
        return false;
    }

private:
    WindowPlace current() const {
        const QRect rect = window_->geometry();
        WindowPlace place{rect.x(), rect.y(), rect.width(), rect.height(), {}};
        if (columns_)
            for (int column = 0; column < columns_->count(); ++column)
                place.columns.push_back(columns_->sectionSize(column));
        return place;
    }

    QWidget* window_;
    PlacedWindow which_;
    QHeaderView* columns_;
    std::optional<WindowPlace> shown_;
};

// Fits the columns to the view's width whenever the view's viewport is
// resized: the first `sharing` columns take what the others leave.
class ColumnSharer : public QObject {
public:
    ColumnSharer(QAbstractItemView* view, QHeaderView* header, int sharing)
        : QObject(view), view_(view), header_(header), sharing_(sharing) {
        header->setStretchLastSection(false);
        view->viewport()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Resize) share();
        return false;
    }

private:
    void share() {
        int room = view_->viewport()->width();
        QList<int> shared;
        int total = 0;
        for (int column = 0; column < header_->count(); ++column) {
            if (header_->isSectionHidden(column)) continue;
            if (sharing_ >= 0 && column >= sharing_) {
                room -= header_->sectionSize(column);
                continue;
            }
            shared.append(column);
            total += header_->sectionSize(column);
        }
        if (shared.isEmpty() || room <= 0 || total <= 0 || total == room) return;
        int given = 0;
        const int least = header_->minimumSectionSize();
        for (int i = 0; i + 1 < shared.size(); ++i) {
            const int width = std::max(
                least, static_cast<int>(static_cast<long long>(header_->sectionSize(shared[i])) *
                                        room / total));
            header_->resizeSection(shared[i], width);
            given += width;
        }
        header_->resizeSection(shared.constLast(), std::max(least, room - given));
    }

    QAbstractItemView* view_;
    QHeaderView* header_;
    int sharing_;
};

// Shows the whole text of a cell that does not fit, above any tooltip of its own.
class ElidedTextTips : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override {
        if (event->type() == QEvent::ToolTip && index.isValid()) {
            QStyleOptionViewItem cell = option;
            initStyleOption(&cell, index);
            const QStyle* style = view->style();
            const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &cell, view);
            // The style's own text margins come off the text's rectangle too.
            const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, &cell, view) + 1;
            if (cell.fontMetrics.horizontalAdvance(cell.text) > textRect.width() - 2 * margin) {
                const QString own = index.data(Qt::ToolTipRole).toString();
                QToolTip::showText(event->globalPos(),
                                   own.isEmpty() ? cell.text : cell.text + u"\n"_s + own,
                                   view->viewport(), view->visualRect(index));
                return true;
            }
        }
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    }
};

}  // namespace

void keepWindowPlace(QWidget* window, PlacedWindow which, QHeaderView* columns) {
    new PlaceKeeper(window, which, columns);
}

void fitOnScreen(QWidget* window) {
    const QRect area = freeArea(window);
    if (area.isEmpty()) return;
    // The frame's own size, once the window has one.
    const QSize frame = window->frameGeometry().size() - window->geometry().size();
    QSize size = window->size().boundedTo(area.size() - frame);
    size = size.expandedTo(window->minimumSize());
    if (size != window->size()) window->resize(size);
    if (!window->testAttribute(Qt::WA_Moved) && !window->isVisible()) return;
    QRect outer = window->frameGeometry();
    const QPoint inside(
        std::clamp(outer.x(), area.left(), std::max(area.left(), area.right() + 1 - outer.width())),
        std::clamp(outer.y(), area.top(),
                   std::max(area.top(), area.bottom() + 1 - outer.height())));
    if (inside != outer.topLeft()) window->move(inside);
}

void shareColumns(QAbstractItemView* view, QHeaderView* header, int sharing) {
    view->setTextElideMode(Qt::ElideMiddle);
    view->setItemDelegate(new ElidedTextTips(view));
    new ColumnSharer(view, header, sharing);
}

}  // namespace lianshuo
