#pragma once
// The report-style results list both windows show: a short-address column,
// a long-address column, and a 24 x 24 state icon per row.

#include <QRect>
#include <QString>
#include <QTreeWidget>

#include "jobs/resultrow.h"
#include "services/conversionoutcome.h"

namespace lianshuo {

/// The item data role that holds a row's ResultRowState.
inline constexpr int kRowStateRole = Qt::UserRole;

/// The item data role that holds why a row failed (or where it came from).
inline constexpr int kRowReasonRole = Qt::UserRole + 1;

/// The item data role that holds why a row is never sent ("不是网址"); empty for an address.
inline constexpr int kRowRefusalRole = Qt::UserRole + 2;

/// A new results list named `name` at `geometry`, with the two column headers;
/// the columns fill the list's width in the proportions of the two widths.
QTreeWidget* addResultsList(QWidget* parent, const QString& name, const QRect& geometry,
                            const QString& shortHeader, int shortWidth, int longWidth);

/// Shows `text` and the state's icon in the row's first column; clears the reason.
void showResultRow(QTreeWidgetItem* item, const QString& text, ResultRowState state);

/// Shows a finished conversion: the short address (with the tooltip "来自历史"
/// when an earlier run made it), or "生成错误" with the reason as the row's tooltip.
void showOutcomeRow(QTreeWidgetItem* item, const ConversionOutcome& outcome);

}  // namespace lianshuo
