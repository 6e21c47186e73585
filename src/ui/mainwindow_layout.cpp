// How the main window's controls follow its size, and how the keyboard and a
// screen reader reach them: names, labels tied to their fields, the order of
// Tab, and the keys of the main buttons.

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QSpinBox>
#include <QTreeWidget>

#include "ui/anchorlayout.h"
#include "ui/clickables.h"
#include "ui/controls.h"
#include "ui/interfacepanel.h"
#include "ui/mainwindow.h"

namespace lianshuo {

using namespace Qt::Literals::StringLiterals;

void MainWindow::layOut() {
    // The banner and the strip under it span the window; the service column
    // keeps its width and the results column takes the rest.
    auto* banner = findChild<QWidget*>(u"图片框1"_s);
    auto* bannerLayout = new AnchorLayout(banner);
    bannerLayout->follow(u"图片蓝棠软件"_s, kCentre, kStay);
    bannerLayout->follow(u"图片框文件短网址转换器"_s, kMove, kStay);
    bannerLayout->follow(u"超级链接框文件短网址转换器"_s, kMove, kStay);

    auto* token = new AnchorLayout(tokenGroup_);
    token->follow(u"标签2"_s, kGrow, kStay);
    token->follow(tokenEdit_, kGrow, kStay);
    token->follow(showTokenBox_, kMove, kStay);
    token->follow(tokenPasteButton_, kMove, kStay);

    auto* layout = new AnchorLayout(this);
    layout->follow(banner, kGrow, kStay);
    layout->follow(u"标签13"_s, kGrow, kStay);
    layout->follow(interfaceList_, kStay, kGrow, {200, 60});
    layout->follow(saveFolderEdit_, kGrow, kStay, {120, 24});
    layout->follow(saveFolderButton_, kMove, kStay);
    layout->follow(resultsView_, kGrow, kGrow, {240, 96});
    layout->follow(u"标签1"_s, kStay, kMove);
    layout->follow(intervalEdit_, kStay, kMove);
    layout->follow(generateButton_, kGrow, kMove, {100, 48});
    layout->follow(pasteButton_, kMove, kMove);
    layout->follow(copyButton_, kMove, kMove);
    layout->follow(u"标签并发数"_s, kStay, kMove);
    layout->follow(parallelBox_, kStay, kMove);
    layout->follow(summaryLabel_, kGrow, kMove, {100, 24});
    layout->follow(verifyBox_, kStay, kMove);
    layout->follow(u"标签追加参数"_s, kStay, kMove);
    layout->follow(addedQueryEdit_, kGrow, kMove, {120, 23});
    layout->follow(tokenGroup_, kGrow, kGrow, {240, 96});
    layout->follow(panel_->wrapInScrollArea(), kGrow, kGrow, {240, 96});
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // A wider button takes a larger face, a narrower one a smaller.
    fitCaption(generateButton_);
}

void MainWindow::tieNamesAndKeys() {
    serviceCombo_->setAccessibleName(u"短网址服务"_s);
    interfaceList_->setAccessibleName(u"自定义接口"_s);
    saveFolderEdit_->setAccessibleName(u"保存目录"_s);
    saveFolderButton_->setAccessibleName(u"选择保存目录"_s);
    saveFolderButton_->setToolTip(
        u"选择保存目录；右击打开保存目录（生成过结果文件时选中该文件）"_s);
    resultsView_->setAccessibleName(u"转换结果"_s);
    tokenGroup_->setAccessibleName(tokenGroup_->title());
    tokenPasteButton_->setAccessibleName(u"粘贴百度Token"_s);
    tieLabel(findChild<QLabel*>(u"标签1"_s), intervalEdit_);
    tieLabel(findChild<QLabel*>(u"标签3"_s), tokenEdit_);
    tieLabelsToFields(this);
    tokenEdit_->setAccessibleName(u"百度Token"_s);

    // The main buttons answer Alt and a letter of their caption's pinyin,
    // whatever the caption says while a run goes on.
    const auto key = [this](QAbstractButton* button, QKeyCombination keys) {
        auto* shortcut = new QShortcut(QKeySequence(keys), this);
        connect(shortcut, &QShortcut::activated, button, [button] {
            if (button->isVisible() && button->isEnabled()) button->animateClick();
        });
        const QString name = QKeySequence(keys).toString(QKeySequence::NativeText);
        button->setAccessibleDescription(u"快捷键 "_s + name);
        return name;
    };
    key(generateButton_, Qt::ALT | Qt::Key_S);
    pasteButton_->setToolTip(u"粘贴剪贴板中的长网址（"_s + key(pasteButton_, Qt::ALT | Qt::Key_Z) +
                             u"）"_s);
    copyButton_->setToolTip(u"复制全部短网址（"_s + key(copyButton_, Qt::ALT | Qt::Key_F) +
                            u"）"_s);
    addButton_->setToolTip(u"打开接口面板，面板打开时添加或修改接口（"_s +
                           key(addButton_, Qt::ALT | Qt::Key_D) + u"）"_s);
    connect(new QShortcut(QKeySequence(Qt::Key_F1), this), &QShortcut::activated, this,
            &MainWindow::showQuestions);

    // The service and what goes in first, then the list, then what acts on it;
    // the banner's actions last.
    const QStringList head = {
        u"组合框短网址"_s, u"按钮设置Token"_s, u"编辑框百度Token"_s, u"选择框显示百度Token"_s,
        u"按钮1"_s,        u"按钮添加"_s,      u"按钮删除"_s,        u"按钮清空"_s};
    setTabOrderOf(this, head);
    // The panel's fields, in the order they were made, follow the buttons that open it.
    QList<QWidget*> panelOrder = {clearButton_};
    // A drop-down's list is a window of its own, which Tab never reaches.
    for (QWidget* control : panel_->findChildren<QWidget*>())
        if ((control->focusPolicy() & Qt::TabFocus) && control->window() == this)
            panelOrder.append(control);
    panelOrder.append(interfaceList_);
    setTabOrderOf(panelOrder);
    const QStringList rest = {u"列表框"_s,           u"选择框自动保存到目录"_s,
                              u"编辑框保存目录"_s,   u"按钮保存目录"_s,
                              u"编辑框生成间隔秒"_s, u"编辑框并发数"_s,
                              u"选择框验证短网址"_s, u"编辑框追加参数"_s,
                              u"列表框转换"_s,       u"按钮生成"_s,
                              u"按钮粘贴"_s,         u"按钮复制"_s,
                              u"链接历史记录"_s,     u"超级链接框文件短网址转换器"_s,
                              u"链接疑点说明"_s,     u"链接软件主页"_s,
                              u"选择框监视剪贴板"_s, u"选择框托盘"_s,
                              u"选择框使用历史"_s};
    setTabOrderOf(this, rest);
    // The window opens with the service in hand, not the banner's first link.
    serviceCombo_->setFocus(Qt::OtherFocusReason);
}

}  // namespace lianshuo
