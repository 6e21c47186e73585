#pragma once
// Windows are built as tables of named controls at fixed places, as the
// settings file and the tests address every control by its name.

#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <utility>

class QLabel;
class QPushButton;

namespace lianshuo {

/// Gives the main window's start button the largest face (29 px down to 9 px)
/// in which its whole caption fits.
void fitCaption(QPushButton* button);

/// A new `Widget(args..., parent)` named `name` at `geometry` inside `parent`.
template <typename Widget, typename... Args>
Widget* addControl(QWidget* parent, const QString& name, const QRect& geometry, Args&&... args) {
    auto* control = new Widget(std::forward<Args>(args)..., parent);
    control->setObjectName(name);
    control->setGeometry(geometry);
    return control;
}

/// Ties each label named "标签X" under `parent` to the field named "编辑框X" or
/// "组合框X" beside it: the label becomes the field's buddy, and its caption
/// (without the colon) the field's accessible name, so a screen reader and
/// the label's mnemonic both reach the field.
void tieLabelsToFields(QWidget* parent);

/// Makes `label` the buddy of `field` and its caption (without the colon) the
/// field's accessible name; nothing when either is missing.
void tieLabel(QLabel* label, QWidget* field);

/// Tab goes through `controls` in this order (the missing ones left out).
void setTabOrderOf(const QList<QWidget*>& controls);

/// The same for the controls under `root` called `names`.
void setTabOrderOf(const QWidget* root, const QStringList& names);

}  // namespace lianshuo
