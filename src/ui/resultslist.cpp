#include "ui/resultslist.h"

#include <QHeaderView>

#include "services/encoding.h"
#include "ui/controls.h"
#include "ui/icons.h"
#include "ui/qtext.h"
#include "ui/windowplace.h"

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
    // The two columns share the list's width in the proportions given.
    shareColumns(list, list->header());
    return list;
}

void showResultRow(QTreeWidgetItem* item, const QString& text, ResultRowState state) {
    item->setText(0, text);
    item->setIcon(0, rowStateIcon(state));
    item->setData(0, kRowStateRole, static_cast<int>(state));
    item->setData(0, kRowReasonRole, QVariant());
    item->setToolTip(0, QString());
}

void showOutcomeRow(QTreeWidgetItem* item, const ConversionOutcome& outcome) {
    if (outcome.ok()) {
        showResultRow(item, toQt(outcome.shortUrl), ResultRowState::Done);
        // Only the tooltip: the reason role would make a double click explain instead of open.
        QStringList notes;
        if (!outcome.skipped.empty()) notes << toQt(outcome.skipped);
        if (!outcome.service.empty()) notes << u"由 "_s + toQt(outcome.service) + u" 生成"_s;
        if (outcome.fromHistory) notes << u"来自历史"_s;
        if (outcome.verification == Verification::Unverifiable)
            notes << u"未能验证："_s + toQt(outcome.unverifiedReason);
        item->setToolTip(0, notes.join(u"，"_s));
        return;
    }
    showResultRow(item, toQt(conversionErrorText()), ResultRowState::Error);
    const QString reason = toQt(outcome.reason());
    item->setData(0, kRowReasonRole, reason);
    item->setToolTip(0, reason);
}

}  // namespace lianshuo
