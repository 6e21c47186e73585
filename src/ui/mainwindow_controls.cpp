// The control table of the main window: every control at its place, with its
// name, caption, font and initial state.

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <algorithm>

#include "ui/appearance.h"
#include "ui/clickables.h"
#include "ui/controls.h"
#include "ui/icons.h"
#include "ui/mainwindow.h"
#include "ui/qtext.h"
#include "ui/resultslist.h"

namespace lianshuo {

using namespace Qt::Literals::StringLiterals;

namespace {

ClickableImage* addImage(QWidget* parent, const QString& name, const QRect& geometry,
                         BannerImage image) {
    auto* control = addControl<ClickableImage>(parent, name, geometry);
    control->setPicture([image](const QPalette& palette) { return bannerImage(image, palette); });
    return control;
}

void addLink(QWidget* parent, const QString& name, const QRect& geometry, const QString& caption) {
    addControl<LinkLabel>(parent, name, geometry, caption, uiFont(FontFace::Song, 12));
}

}  // namespace

void MainWindow::buildBanner() {
    auto* banner = addControl<Banner>(this, u"图片框1"_s, QRect(0, 0, 816, 88));
    // The choice of colours sits where nothing else is: the banner's own menu.
    QMenu* appearance = addAppearanceMenu(banner);
    banner->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(banner, &QWidget::customContextMenuRequested, banner,
            [banner, appearance](const QPoint& position) {
                QMenu menu(banner);
                menu.addMenu(appearance);
                menu.exec(banner->mapToGlobal(position));
            });
    addImage(banner, u"图片蓝棠软件"_s, QRect(392, 12, 195, 64), BannerImage::Logo);
    addImage(banner, u"图片疑点说明"_s, QRect(16, 0, 64, 64), BannerImage::Questions);
    addLink(banner, u"链接疑点说明"_s, QRect(16, 64, 64, 24), u"疑点说明"_s);
    addImage(banner, u"图片软件主页"_s, QRect(96, 0, 64, 64), BannerImage::HomePage);
    addLink(banner, u"链接软件主页"_s, QRect(96, 64, 64, 24), u"软件主页"_s);
    addImage(banner, u"图片历史记录"_s, QRect(176, 0, 64, 64), BannerImage::History);
    addLink(banner, u"链接历史记录"_s, QRect(176, 64, 64, 24), u"历史记录"_s);
    useHistoryBox_ =
        addControl<QCheckBox>(banner, u"选择框使用历史"_s, QRect(252, 62, 100, 24), u"使用历史"_s);
    useHistoryBox_->setFont(uiFont(FontFace::Song, 12));
    useHistoryBox_->setChecked(true);
    useHistoryBox_->setToolTip(u"转换过的长网址直接使用历史中的短网址，不再请求服务"_s);
    addImage(banner, u"图片框文件短网址转换器"_s, QRect(664, 0, 64, 64),
             BannerImage::FileConverter);
    addLink(banner, u"超级链接框文件短网址转换器"_s, QRect(632, 64, 128, 24),
            u"文件短网址转换器"_s);
    auto* rule = addControl<QFrame>(this, u"标签13"_s, QRect(0, 88, 1000, 2));
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
}

void MainWindow::buildServiceColumn() {
    serviceCombo_ = addControl<QComboBox>(this, u"组合框短网址"_s, QRect(12, 104, 200, 23));
    serviceCombo_->addItems({u"更多 - 自定义接口"_s, u"百度 - "_s + toQt(hosts_.baidu),
                             u"新浪 - "_s + toQt(hosts_.weibo),
                             u"国外 - "_s + toQt(hosts_.tinyurl)});
    serviceCombo_->setCurrentIndex(kBaiduService);
    addButton_ = addControl<FocusRingButton>(this, u"按钮添加"_s, QRect(12, 136, 108, 24),
                                             u"打开接口面板"_s);
    deleteButton_ =
        addControl<QPushButton>(this, u"按钮删除"_s, QRect(122, 136, 44, 24), u"删除"_s);
    clearButton_ = addControl<QPushButton>(this, u"按钮清空"_s, QRect(168, 136, 44, 24), u"清空"_s);
    // Shown only for Baidu, when the three buttons under it are disabled.
    tokenButton_ = addControl<QPushButton>(this, u"按钮设置Token"_s, QRect(12, 136, 200, 24),
                                           u"设置百度Token.."_s);
    tokenButton_->hide();
    interfaceList_ = addControl<QListWidget>(this, u"列表框"_s, QRect(12, 168, 200, 352));
    interfaceList_->setFont(uiFont(FontFace::Hei, 29));
    // A strip of its own under the rows above, as wide as the window.
    addControl<QLabel>(this, u"标签追加参数"_s, QRect(12, 562, 72, 24), u"追加参数："_s);
    addedQueryEdit_ = addControl<QLineEdit>(this, u"编辑框追加参数"_s, QRect(84, 562, 668, 23));
    addedQueryEdit_->setPlaceholderText(u"utm_source=…"_s);
    addedQueryEdit_->setToolTip(
        u"加在每个长网址查询部分的参数，如 utm_source=a&utm_medium=b；"
        u"网址已有的参数保留其原值"_s);
}

void MainWindow::buildResultsColumn() {
    autoSaveBox_ = addControl<QCheckBox>(this, u"选择框自动保存到目录"_s, QRect(232, 104, 136, 24),
                                         u"自动保存到目录"_s);
    autoSaveBox_->setChecked(true);
    saveFolderEdit_ = addControl<QLineEdit>(this, u"编辑框保存目录"_s, QRect(368, 104, 384, 24));
    saveFolderButton_ =
        addControl<RightClickButton>(this, u"按钮保存目录"_s, QRect(721, 106, 28, 20), u".."_s);

    resultsView_ = addResultsList(this, u"列表框转换"_s, QRect(232, 136, 520, 328),
                                  u"短网址(双击打开,右击复制)"_s, 230, 286);
    resultsView_->setContextMenuPolicy(Qt::CustomContextMenu);
    resultsView_->header()->setStretchLastSection(false);

    addControl<QLabel>(this, u"标签1"_s, QRect(232, 471, 96, 24), u"生成间隔秒："_s);
    intervalEdit_ =
        addControl<QLineEdit>(this, u"编辑框生成间隔秒"_s, QRect(232, 495, 86, 23), u"0"_s);
    intervalEdit_->setAlignment(Qt::AlignCenter);
    generateButton_ = addControl<FocusRingButton>(this, u"按钮生成"_s, QRect(328, 472, 256, 48),
                                                  toQt(BatchJob::idleCaption()));
    fitCaption(generateButton_);
    generateButton_->setDefault(true);
    pasteButton_ =
        addControl<FocusRingButton>(this, u"按钮粘贴"_s, QRect(592, 472, 160, 24), u"粘贴长网址"_s);
    copyButton_ =
        addControl<FocusRingButton>(this, u"按钮复制"_s, QRect(592, 496, 160, 24), u"复制短网址"_s);
    // Under the interval, in the strip below the buttons: how many conversions run at once.
    addControl<QLabel>(this, u"标签并发数"_s, QRect(232, 528, 52, 24), u"并发数："_s);
    parallelBox_ = addControl<QSpinBox>(this, u"编辑框并发数"_s, QRect(284, 528, 44, 23));
    parallelBox_->setRange(1, kMostParallelRequests);
    parallelBox_->setAlignment(Qt::AlignCenter);
    parallelBox_->setToolTip(
        u"同时转换的网址数。1：逐个转换，每个之后按生成间隔暂停；"
        u"大于 1 时每一路各自暂停"_s);
    // The rest of the strip: the last batch's counts, until the next batch.
    summaryLabel_ = addControl<QLabel>(this, u"标签批量摘要"_s, QRect(336, 528, 416, 24));
    // Under the interface list, where nothing else stands.
    verifyBox_ = addControl<QCheckBox>(this, u"选择框验证短网址"_s, QRect(12, 528, 200, 24),
                                       u"验证短网址"_s);
    verifyBox_->setToolTip(
        u"生成后请求短网址（不带凭据），看它是否跳转到长网址；"
        u"指向别处或已失效的算作失败"_s);
}

void tieLabelsToFields(QWidget* parent) {
    const QString labelPrefix = u"标签"_s;
    for (QLabel* label : parent->findChildren<QLabel*>()) {
        if (!label->objectName().startsWith(labelPrefix)) continue;
        const QString what = label->objectName().mid(labelPrefix.size());
        for (const QString& kind : {u"编辑框"_s, u"组合框"_s})
            tieLabel(label, parent->findChild<QWidget*>(kind + what));
    }
}

void tieLabel(QLabel* label, QWidget* field) {
    if (!label || !field) return;
    label->setBuddy(field);
    QString name = label->text();
    name.remove(u'：').remove(u':');
    field->setAccessibleName(name.trimmed());
}

void setTabOrderOf(const QList<QWidget*>& controls) {
    QWidget* previous = nullptr;
    for (QWidget* control : controls) {
        if (!control) continue;
        if (previous) QWidget::setTabOrder(previous, control);
        previous = control;
    }
}

void setTabOrderOf(const QWidget* root, const QStringList& names) {
    QList<QWidget*> controls;
    for (const QString& name : names) controls.append(root->findChild<QWidget*>(name));
    setTabOrderOf(controls);
}

void fitCaption(QPushButton* button) {
    // Long runs make "停止生成(n:i)" wider than the button; a smaller face keeps both counts
    // readable.
    QFont font = uiFont(FontFace::Hei, 29, true);
    const int room = button->width() - 12;
    while (font.pixelSize() > 9 && QFontMetrics(font).horizontalAdvance(button->text()) > room)
        font.setPixelSize(font.pixelSize() - 1);
    button->setFont(font);
}

void MainWindow::buildTokenGroup() {
    tokenGroup_ =
        addControl<QGroupBox>(this, u"分组框3"_s, QRect(232, 104, 520, 416), u"设置百度Token"_s);
    tokenGroup_->setAutoFillBackground(true);
    const QString host = toQt(hosts_.baidu);
    auto* notice = addControl<QLabel>(
        tokenGroup_, u"标签2"_s, QRect(16, 24, 496, 64),
        u"百度短网址已经收费（不是软件另外收费），10元生成一万个网址，免费版只能用少量。\n\n"_s
        u"浏览器中输入 "_s +
            host +
            u" 进去，登录你的百度账号，右上角【充值中心】(输入身份证即可认证后即可充值)，"
            u"然后将【Token设置】里的Token复制到下面："_s);
    notice->setWordWrap(true);
    notice->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // The notice needs more than its 64 pixels with the fonts found here; the
    // token row moves down under it rather than cover its last lines.
    notice->resize(notice->width(), std::max(notice->height(), notice->heightForWidth(496)));
    const int row = std::max(88, notice->geometry().bottom() + 9);
    addControl<QLabel>(tokenGroup_, u"标签3"_s, QRect(16, row, 56, 24), u"Token:"_s);
    tokenEdit_ = addControl<QLineEdit>(tokenGroup_, u"编辑框百度Token"_s, QRect(72, row, 320, 24));
    // A token is a secret: shown only when asked, like the interface's.
    tokenEdit_->setEchoMode(QLineEdit::Password);
    tokenEdit_->setAccessibleName(u"百度Token"_s);
    showTokenBox_ = addControl<QCheckBox>(tokenGroup_, u"选择框显示百度Token"_s,
                                          QRect(400, row, 52, 24), u"显示"_s);
    connect(showTokenBox_, &QCheckBox::toggled, this, [this](bool shown) {
        tokenEdit_->setEchoMode(shown ? QLineEdit::Normal : QLineEdit::Password);
    });
    tokenPasteButton_ =
        addControl<QPushButton>(tokenGroup_, u"按钮1"_s, QRect(456, row, 48, 24), u"粘贴"_s);
    tokenGroup_->hide();
}

}  // namespace lianshuo
