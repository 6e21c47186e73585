// The control table of the file converter window: every control at its
// place, with its name, caption, font and initial state.

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QTreeWidget>

#include "ui/anchorlayout.h"
#include "ui/clickables.h"
#include "ui/controls.h"
#include "ui/fileconverterwindow.h"
#include "ui/qtext.h"
#include "ui/resultslist.h"

namespace lianshuo {

using namespace Qt::Literals::StringLiterals;

namespace {

QLineEdit* addListEdit(QWidget* parent, const QString& name, int top) {
    auto* edit = addControl<QLineEdit>(parent, name, QRect(128, top, 496, 32));
    edit->setFont(uiFont(FontFace::Hei, 21));
    return edit;
}

QComboBox* addModeList(QWidget* parent, const QString& name, int top) {
    auto* list = addControl<QComboBox>(parent, name, QRect(628, top, 68, 27));
    list->addItems({u"通配"_s, u"正则"_s});
    list->setFont(uiFont(FontFace::Song, 19));
    return list;
}

}  // namespace

void FileConverterWindow::buildFolderRow() {
    folderLabel_ = addControl<QLabel>(this, u"标签1"_s, QRect(16, 8, 80, 32), u"文件目录："_s);
    folderEdit_ = addControl<QLineEdit>(this, u"编辑框文章目录"_s, QRect(96, 8, 539, 32));
    // The pattern sits over the right end of the folder box.
    patternEdit_ = addControl<QLineEdit>(this, u"编辑框过滤"_s, QRect(552, 10, 80, 28));
    patternEdit_->setAlignment(Qt::AlignCenter);
    // The pattern's own caption, over the folder box's end like the pattern;
    // the folder's text stops short of both.
    auto* patternLabel =
        addControl<QLabel>(this, u"标签过滤"_s, QRect(474, 10, 76, 28), u"文件类型："_s);
    patternLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    folderEdit_->setTextMargins(0, 0, 635 - 474, 0);
    chooseButton_ = addControl<QPushButton>(this, u"按钮选择"_s, QRect(640, 8, 56, 32), u"选择"_s);
    // The progress bar and its caption take the folder row's place during a run.
    progressBar_ = addControl<QProgressBar>(this, u"进度条1"_s, QRect(16, 8, 680, 32));
    progressBar_->setTextVisible(false);
    progressBar_->hide();
    progressLabel_ = addControl<QLabel>(this, u"透明标签1"_s, QRect(32, 8, 648, 32));
    progressLabel_->setAttribute(Qt::WA_TranslucentBackground);
    progressLabel_->setAlignment(Qt::AlignCenter);
    progressLabel_->setFont(uiFont(FontFace::Hei, 19));
    progressLabel_->hide();
}

void FileConverterWindow::buildListAndButtons() {
    resultsView_ =
        addResultsList(this, u"列表框"_s, QRect(16, 48, 680, 232), u"短网址"_s, 300, 376);
    resultsView_->header()->setStretchLastSection(false);

    startButton_ = addControl<RightClickButton>(this, u"按钮开始转换"_s, QRect(16, 296, 608, 40),
                                                toQt(FileConverterEngine::idleCaption()));
    startButton_->setFont(uiFont(FontFace::Hei, 21, true));
    helpButton_ =
        addControl<QPushButton>(this, u"按钮使用说明"_s, QRect(628, 296, 68, 40), u"帮助？"_s);
    helpButton_->setCursor(Qt::WhatsThisCursor);
    helpButton_->setFont(uiFont(FontFace::Hei, 15));
}

void FileConverterWindow::buildUrlLists() {
    whiteBox_ =
        addControl<QCheckBox>(this, u"选择框白名单"_s, QRect(16, 353, 104, 32), u"网址白名单"_s);
    whiteEdit_ = addListEdit(this, u"编辑框白名单"_s, 353);
    whiteMode_ = addModeList(this, u"组合框白名单通配"_s, 354);
    blackBox_ =
        addControl<QCheckBox>(this, u"选择框黑名单"_s, QRect(16, 394, 104, 32), u"网址黑名单"_s);
    blackEdit_ = addListEdit(this, u"编辑框黑名单"_s, 394);
    blackMode_ = addModeList(this, u"组合框黑名单通配"_s, 396);
}

// Below the lists, the one free row: what a run does with short addresses.
void FileConverterWindow::buildModeRow() {
    modeLabel_ = addControl<QLabel>(this, u"标签模式"_s, QRect(16, 436, 104, 30), u"转换模式"_s);
    modeList_ = addControl<QComboBox>(this, u"组合框模式"_s, QRect(128, 436, 148, 30));
    modeList_->addItems({u"缩短长网址"_s, u"展开短网址"_s, u"迁移短网址"_s});
    modeList_->setFont(uiFont(FontFace::Song, 17));
    modeLabel_->setBuddy(modeList_);
    hostsEdit_ = addControl<QLineEdit>(this, u"编辑框短网址主机"_s, QRect(284, 436, 412, 30));
    hostsEdit_->setFont(uiFont(FontFace::Song, 15));
}

}  // namespace lianshuo

namespace lianshuo {

void FileConverterWindow::buildFailureList() {
    // In the results' place, shown by "只看失败": the rows of the current file
    // go with the file, these stay until the next run.
    failuresView_ =
        addResultsList(this, u"列表框失败"_s, resultsView_->geometry(), u"失败原因"_s, 300, 376);
    failuresView_->hide();
    // A strip of its own under the mode row.
    failuresOnlyBox_ =
        addControl<QCheckBox>(this, u"选择框只看失败"_s, QRect(16, 474, 120, 24), u"只看失败"_s);
    failuresOnlyBox_->setToolTip(u"列表只显示本次转换失败的网址和文件，以及原因"_s);
}

void FileConverterWindow::layOut() {
    auto* layout = new AnchorLayout(this);
    layout->follow(folderEdit_, kGrow, kStay, {200, 32});
    for (const QString& name : {u"编辑框过滤"_s, u"标签过滤"_s, u"按钮选择"_s})
        layout->follow(name, kMove, kStay);
    layout->follow(progressBar_, kGrow, kStay);
    layout->follow(progressLabel_, kGrow, kStay);
    layout->follow(resultsView_, kGrow, kGrow, {240, 80});
    layout->follow(failuresView_, kGrow, kGrow, {240, 80});
    layout->follow(startButton_, kGrow, kMove, {200, 40});
    layout->follow(helpButton_, kMove, kMove);
    for (QWidget* box : std::initializer_list<QWidget*>{whiteBox_, blackBox_, failuresOnlyBox_})
        layout->follow(box, kStay, kMove);
    for (QWidget* edit : std::initializer_list<QWidget*>{whiteEdit_, blackEdit_})
        layout->follow(edit, kGrow, kMove, {120, 32});
    for (QWidget* mode : std::initializer_list<QWidget*>{whiteMode_, blackMode_})
        layout->follow(mode, kMove, kMove);
    layout->follow(modeLabel_, kStay, kMove);
    layout->follow(modeList_, kStay, kMove);
    layout->follow(hostsEdit_, kGrow, kMove, {120, 30});
}

void FileConverterWindow::tieNamesAndKeys() {
    tieLabel(folderLabel_, folderEdit_);
    tieLabelsToFields(this);
    patternEdit_->setAccessibleName(u"文件类型"_s);
    resultsView_->setAccessibleName(u"转换结果"_s);
    failuresView_->setAccessibleName(u"转换失败"_s);
    whiteEdit_->setAccessibleName(u"网址白名单规则"_s);
    whiteMode_->setAccessibleName(u"网址白名单模式"_s);
    blackEdit_->setAccessibleName(u"网址黑名单规则"_s);
    blackMode_->setAccessibleName(u"网址黑名单模式"_s);
    helpButton_->setAccessibleName(u"帮助"_s);
    startButton_->setAccessibleDescription(u"快捷键 Alt+K；右击按文件搜索列出文件"_s);
    auto* startKey = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_K), this);
    connect(startKey, &QShortcut::activated, startButton_,
            [this] { startButton_->animateClick(); });
    connect(new QShortcut(QKeySequence(Qt::Key_F1), this), &QShortcut::activated, helpButton_,
            &QPushButton::click);
    setTabOrderOf({folderEdit_, patternEdit_, chooseButton_, whiteBox_, whiteEdit_, whiteMode_,
                   blackBox_, blackEdit_, blackMode_, modeList_, hostsEdit_, resultsView_,
                   failuresView_, failuresOnlyBox_, startButton_, helpButton_});
}

}  // namespace lianshuo
