#include "ui/resultslist.h"

#include <QHeaderView>

#include "ui/controls.h"
#include "ui/icons.h"

namespace lianshuo {

using namespace Qt::Literals::StringLiterals;

QTreeWidget* addResultsList(QWidget* parent, const QString& name, const QRect& geometry,
                            const QString& shortHeader, int shortWidth, int longWidth) {
    auto* list = addControl<QTreeWidget>(parent, name, geometry);
    list->setHeaderLabels({shortHeader, u"长网址"_s});
    list->setColumnWidth(0, shortWidth);
    list->setColumnWidth(1, longWidth);
    list->setRootIsDecorated(false);
    list->setIconSize(QSize(24, 24));
    list->setUniformRowHeights(true);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    return list;
}

void showResultRow(QTreeWidgetItem* item, const QString& text, ResultRowState state) {
    item->setText(0, text);
    item->setIcon(0, rowStateIcon(state));
    item->setData(0, kRowStateRole, static_cast<int>(state));
}

}  // namespace lianshuo
