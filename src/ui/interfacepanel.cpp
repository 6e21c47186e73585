#include "ui/interfacepanel.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>

#include "services/interfacepresets.h"
#include "services/interfacerules.h"
#include "services/interfacestore.h"
#include "store/settings.h"
#include "ui/anchorlayout.h"
#include "ui/controls.h"
#include "ui/dialogs.h"
#include "ui/interfaceadvanced.h"
#include "ui/qtext.h"

namespace lianshuo {

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kFileFilter = u"ini文件 (*.ini);;sxcu文件 (*.sxcu);;全部文件 (*)"_s;

QLabel* addLabel(QWidget* parent, const QString& name, const QRect& geometry,
                 const QString& caption) {
    auto* label = addControl<QLabel>(parent, name, geometry, caption);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return label;
}

// The multi-line edit box holds "\n" breaks; definitions keep the "\r\n" they were typed with.
std::string fromEditBox(const QString& text) {
    return fromQt(QString(text).replace(u"\n"_s, u"\r\n"_s));
}

QString toEditBox(const std::string& text) {
    return withWidgetBreaks(toQt(text));
}

}  // namespace

InterfacePanel::InterfacePanel(const ShortUrlInterface& initial, QWidget* parent) : QFrame(parent) {
    setObjectName(u"图片框面板"_s);
    setGeometry(224, 96, 544, 432);
    setFont(uiFont(FontFace::Song, 15));
    setAutoFillBackground(true);
    buildSendGroup();
    buildReplyGroup();
    buildButtons();
    buildPresetRows();
    layOut();
    writeInterface(initial);
    hide();
}

void InterfacePanel::layOut() {
    auto* send = findChild<QGroupBox*>(u"分组框1"_s);
    auto* sendLayout = new AnchorLayout(send);
    sendLayout->follow(address_, kGrow, kStay);
    sendLayout->follow(postData_, kGrow, kGrow, {200, 24});
    auto* reply = findChild<QGroupBox*>(u"分组框2"_s);
    auto* replyLayout = new AnchorLayout(reply);
    replyLayout->follow(left_, kGrow, kStay);
    replyLayout->follow(right_, kGrow, kStay);
    replyLayout->follow(find_, {0, 0.5F}, kStay);
    replyLayout->follow(u"标签24"_s, {0.5F, 0}, kStay);
    replyLayout->follow(replaceWith_, {0.5F, 0.5F}, kStay);
    replyLayout->follow(prefix_, {0, 0.5F}, kStay);
    replyLayout->follow(suffix_, {0.5F, 0.5F}, kStay);
    replyLayout->follow(u"按钮高级"_s, kMove, kStay);
    // Taller, the POST data takes the room; narrower, the panel scrolls.
    auto* layout = new AnchorLayout(this);
    layout->follow(send, kGrow, kGrow, send->size());
    layout->follow(reply, kGrow, kMove, reply->size());
    for (const QString& name : {u"按钮导出接口"_s, u"按钮导入接口"_s, u"按钮测试接口"_s})
        layout->follow(name, kStay, kMove);
    layout->follow(u"按钮关闭面板"_s, kMove, kMove);

    const auto named = [this](const QString& name, const QString& label) {
        if (auto* field = findChild<QWidget*>(name)) field->setAccessibleName(label);
    };
    tieLabel(findChild<QLabel*>(u"标签16"_s), address_);
    tieLabel(findChild<QLabel*>(u"标签22"_s), postData_);
    tieLabel(findChild<QLabel*>(u"标签19"_s), left_);
    tieLabel(findChild<QLabel*>(u"标签20"_s), right_);
    tieLabel(findChild<QLabel*>(u"标签24"_s), replaceWith_);
    named(u"编辑框欲替换"_s, u"欲替换"_s);
    named(u"编辑框前缀"_s, u"前缀"_s);
    named(u"编辑框后缀"_s, u"后缀"_s);
    named(u"组合框预设"_s, u"预设"_s);
    named(u"按钮高级"_s, u"高级设置"_s);
}

QScrollArea* InterfacePanel::wrapInScrollArea() {
    const QRect place = geometry();
    const bool shown = !isHidden();
    area_ = new QScrollArea(parentWidget());
    area_->setObjectName(u"滚动框面板"_s);
    area_->setFrameShape(QFrame::NoFrame);
    area_->setGeometry(place);
    area_->setWidgetResizable(true);
    area_->setWidget(this);
    area_->setFocusPolicy(Qt::NoFocus);
    setVisible(shown);
    return area_;
}

void InterfacePanel::showEvent(QShowEvent* event) {
    fillPresets();
    QFrame::showEvent(event);
}

void InterfacePanel::setVisible(bool visible) {
    if (area_) {
        area_->setVisible(visible);
        if (visible) area_->raise();
    }
    QFrame::setVisible(visible);
}

void InterfacePanel::fillPresets() {
    // Read when the panel first shows, not while the window opens: most starts never show it.
    if (presets_->count() > 0) return;
    for (const InterfacePreset& preset : interfacePresets()) {
        presets_->addItem(toQt(preset.name));
        presets_->setItemData(presets_->count() - 1, toQt(preset.description), Qt::ToolTipRole);
    }
    presets_->setCurrentIndex(presetIndex_);
}

void InterfacePanel::buildSendGroup() {
    auto* group =
        addControl<QGroupBox>(this, u"分组框1"_s, QRect(8, 8, 520, 160),
                              u"发送包 - 在接口地址或POST数据中插入 #长网址# 代表欲转换的长网址"_s);
    addLabel(group, u"标签21"_s, QRect(16, 24, 80, 24), u"调用模式："_s);
    auto* modes = addControl<QWidget>(group, u"图片框4"_s, QRect(97, 24, 151, 26));
    get_ = addControl<QRadioButton>(modes, u"单选框GET"_s, QRect(0, 0, 56, 24), u"GET"_s);
    post_ = addControl<QRadioButton>(modes, u"单选框POST"_s, QRect(56, 0, 71, 24), u"POST"_s);
    addLabel(group, u"标签23"_s, QRect(312, 24, 73, 24), u"URL编码："_s);
    auto* encodings = addControl<QWidget>(group, u"图片框2"_s, QRect(377, 24, 127, 26));
    gbk_ = addControl<QRadioButton>(encodings, u"单选框GBK"_s, QRect(8, 0, 56, 24), u"GBK"_s);
    utf8_ = addControl<QRadioButton>(encodings, u"单选框UTF8"_s, QRect(64, 0, 71, 24), u"UTF-8"_s);
    addLabel(group, u"标签16"_s, QRect(16, 60, 80, 24), u"接口地址:"_s);
    address_ = addControl<QLineEdit>(group, u"编辑框接口地址"_s, QRect(96, 60, 408, 24));
    addLabel(group, u"标签22"_s, QRect(16, 96, 80, 48), u"POST数据:"_s);
    postData_ = addControl<QPlainTextEdit>(group, u"编辑框POST数据"_s, QRect(96, 96, 408, 48));
    // Tab moves on, as in every other field; a tab character is never part of POST data.
    postData_->setTabChangesFocus(true);
    // In the gap of the first row: the catalogue, its name shown until one is chosen.
    presets_ = addControl<QComboBox>(group, u"组合框预设"_s, QRect(250, 24, 60, 24));
    presets_->setPlaceholderText(u"预设"_s);
    presets_->view()->setMinimumWidth(160);
    connect(presets_, &QComboBox::activated, this, &InterfacePanel::choosePreset);
    connect(get_, &QRadioButton::clicked, this, &InterfacePanel::applyEnableRule);
    connect(post_, &QRadioButton::clicked, this, &InterfacePanel::applyEnableRule);
}

void InterfacePanel::buildReplyGroup() {
    auto* group = addControl<QGroupBox>(this, u"分组框2"_s, QRect(8, 181, 520, 192),
                                        u"处理返回结果 - 如果返回结果直接是短网址可以忽视本选项"_s);
    cut_ = addControl<QCheckBox>(group, u"选择框截取"_s, QRect(16, 24, 120, 24), u"截取返回结果"_s);
    reverseCut_ = addControl<QCheckBox>(group, u"选择框逆向截取"_s, QRect(137, 24, 327, 24),
                                        u"逆向截取(先定位右边字符再定位左边字符)"_s);
    addLabel(group, u"标签19"_s, QRect(16, 52, 80, 24), u"左边字符:"_s);
    left_ = addControl<QLineEdit>(group, u"编辑框左边字符"_s, QRect(96, 52, 408, 24));
    addLabel(group, u"标签20"_s, QRect(16, 80, 80, 24), u"右边字符:"_s);
    right_ = addControl<QLineEdit>(group, u"编辑框右边字符"_s, QRect(96, 80, 408, 24));
    replace_ =
        addControl<QCheckBox>(group, u"选择框替换"_s, QRect(16, 114, 120, 24), u"替换返回结果"_s);
    find_ = addControl<QLineEdit>(group, u"编辑框欲替换"_s, QRect(136, 114, 152, 24));
    addControl<QLabel>(group, u"标签24"_s, QRect(288, 114, 63, 24), u"替换为"_s)
        ->setAlignment(Qt::AlignCenter);
    replaceWith_ = addControl<QLineEdit>(group, u"编辑框替换为"_s, QRect(352, 114, 152, 24));
    insert_ =
        addControl<QCheckBox>(group, u"选择框插入"_s, QRect(16, 148, 120, 24), u"插入前缀后缀"_s);
    prefix_ = addControl<QLineEdit>(group, u"编辑框前缀"_s, QRect(136, 148, 152, 24));
    suffix_ = addControl<QLineEdit>(group, u"编辑框后缀"_s, QRect(296, 148, 208, 24));
    for (QCheckBox* box : {cut_, replace_, insert_})
        connect(box, &QCheckBox::clicked, this, &InterfacePanel::applyEnableRule);
    // At the end of the first row, beside the switches of the reply.
    auto* advanced =
        addControl<QPushButton>(group, u"按钮高级"_s, QRect(464, 22, 50, 26), u"高级…"_s);
    connect(advanced, &QPushButton::clicked, this, &InterfacePanel::openAdvanced);
}

void InterfacePanel::buildButtons() {
    auto* exportButton =
        addControl<QPushButton>(this, u"按钮导出接口"_s, QRect(8, 385, 104, 32), u"导出接口"_s);
    auto* importButton =
        addControl<QPushButton>(this, u"按钮导入接口"_s, QRect(112, 385, 104, 32), u"导入接口"_s);
    auto* testButton =
        addControl<QPushButton>(this, u"按钮测试接口"_s, QRect(216, 385, 176, 32), u"测试接口"_s);
    auto* closeButton =
        addControl<QPushButton>(this, u"按钮关闭面板"_s, QRect(432, 385, 96, 32), u"关闭面板"_s);
    connect(exportButton, &QPushButton::clicked, this, &InterfacePanel::exportToFile);
    connect(importButton, &QPushButton::clicked, this, &InterfacePanel::importFromFile);
    connect(testButton, &QPushButton::clicked, this, &InterfacePanel::testRequested);
    connect(closeButton, &QPushButton::clicked, this, &InterfacePanel::closeRequested);
}

ShortUrlInterface InterfacePanel::readInterface() const {
    ShortUrlInterface d = advanced_;
    d.postMode = !get_->isChecked();
    // PUT and PATCH are kinds of POST on the panel; GET drops them.
    if (!d.postMode) d.method.clear();
    d.utf8Encoding = !gbk_->isChecked();
    d.address = fromQt(address_->text());
    d.postTemplate = fromEditBox(postData_->toPlainText());
    d.cutEnabled = cut_->isChecked();
    d.leftMarker = fromQt(left_->text());
    d.rightMarker = fromQt(right_->text());
    d.reverseCut = reverseCut_->isChecked();
    d.replaceEnabled = replace_->isChecked();
    d.findList = fromQt(find_->text());
    d.replaceList = fromQt(replaceWith_->text());
    d.insertEnabled = insert_->isChecked();
    d.prefix = fromQt(prefix_->text());
    d.suffix = fromQt(suffix_->text());
    d.token = fromQt(token_->text());
    return d;
}

void InterfacePanel::writeInterface(const ShortUrlInterface& d) {
    advanced_ = d;
    (methodSendsBody(requestMethod(d)) ? post_ : get_)->setChecked(true);
    (d.utf8Encoding ? utf8_ : gbk_)->setChecked(true);
    address_->setText(toQt(d.address));
    postData_->setPlainText(toEditBox(d.postTemplate));
    cut_->setChecked(d.cutEnabled);
    left_->setText(toQt(d.leftMarker));
    right_->setText(toQt(d.rightMarker));
    reverseCut_->setChecked(d.reverseCut);
    replace_->setChecked(d.replaceEnabled);
    find_->setText(toQt(d.findList));
    replaceWith_->setText(toQt(d.replaceList));
    insert_->setChecked(d.insertEnabled);
    prefix_->setText(toQt(d.prefix));
    suffix_->setText(toQt(d.suffix));
    token_->setText(toQt(d.token));
    token_->setPlaceholderText(d.secretsInKeyring && d.token.empty()
                                   ? u"钥匙串不可用，或其中没有该接口的令牌"_s
                                   : QString());
    applyEnableRule();
    // Another definition: the preset it came from, if any, is no longer what the panel holds.
    markPreset(-1);
    applyTokenRow();
}

void InterfacePanel::applyEnableRule() {
    postData_->setEnabled(!get_->isChecked());
    for (QWidget* control : {static_cast<QWidget*>(reverseCut_), static_cast<QWidget*>(left_),
                             static_cast<QWidget*>(right_)})
        control->setEnabled(cut_->isChecked());
    find_->setEnabled(replace_->isChecked());
    replaceWith_->setEnabled(replace_->isChecked());
    prefix_->setEnabled(insert_->isChecked());
    suffix_->setEnabled(insert_->isChecked());
}

void InterfacePanel::exportToFile() {
    const QString path =
        FileDialog::getSaveFileName(window(), u"导出接口"_s, kFileFilter, u"ini"_s);
    if (path.isEmpty()) return;
    const ShortUrlInterface definition = readInterface();
    // Secrets go into a file only when the user says so.
    const bool credentials = !definition.username.empty() || !definition.password.empty();
    const bool withToken =
        (!definition.token.empty() || credentials) &&
        MessageBox::show(window(), QMessageBox::Question, toQt(appTitle()),
                         credentials
                             ? u"接口含有令牌、用户名或密码。导出时是否连同它们一起写入文件？"_s
                             : u"接口含有令牌。导出时是否连同令牌一起写入文件？"_s,
                         QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    if (const Status written = exportInterface(definition, fromQt(path), withToken); !written) {
        MessageBox::warning(window(), toQt(appTitle()),
                            u"接口未能导出到 "_s + path + u"\n"_s + toQt(written.reason()));
        return;
    }
    MessageBox::information(window(), toQt(appTitle()), u"接口已导出！"_s);
}

void InterfacePanel::importFromFile() {
    const QString path = FileDialog::getOpenFileName(window(), u"导入接口"_s, kFileFilter);
    if (path.isEmpty()) return;
    const Result<ShortUrlInterface> imported = importInterface(fromQt(path));
    if (!imported) {
        MessageBox::warning(window(), toQt(appTitle()),
                            u"未能从 "_s + path + u" 导入接口\n"_s + toQt(imported.reason()));
        return;
    }
    writeInterface(*imported);
    MessageBox::information(window(), toQt(appTitle()), u"接口已导入！"_s);
}

void InterfacePanel::openAdvanced() {
    InterfaceAdvancedDialog dialog(readInterface(), window());
    if (dialog.exec() != QDialog::Accepted) return;
    const int preset = presetIndex_;
    writeInterface(dialog.applyTo(readInterface()));
    markPreset(preset);
}

void InterfacePanel::choosePreset(int index) {
    // The drop-down shows the preset loaded, not one whose loading was cancelled.
    presets_->setCurrentIndex(presetIndex_);
    if (index < 0 || static_cast<std::size_t>(index) >= interfacePresets().size()) return;
    const InterfacePreset& preset = interfacePresets()[static_cast<std::size_t>(index)];
    QString host;
    if (preset.host.empty()) {
        const std::optional<QString> given = InputDialog::getText(
            window(), toQt(appTitle()),
            u"“"_s + toQt(preset.name) +
                u"”是自建的服务，请输入它的地址（如 https://s.example.com）："_s,
            u"https://"_s);
        if (!given) return;
        host = *given;
    }
    const Result<ShortUrlInterface> made = instantiatePreset(preset, fromQt(host), "");
    if (!made) {
        MessageBox::warning(window(), toQt(appTitle()), toQt(made.reason()));
        return;
    }
    writeInterface(*made);
    markPreset(index);
}

}  // namespace lianshuo
