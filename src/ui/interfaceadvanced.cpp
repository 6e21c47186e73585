#include "ui/interfaceadvanced.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScrollArea>

#include "base/gbk.h"
#include "services/interfacerules.h"
#include "services/interfacestore.h"
#include "store/settings.h"
#include "ui/anchorlayout.h"
#include "ui/controls.h"
#include "ui/dialogs.h"
#include "ui/numberfield.h"
#include "ui/qtext.h"
#include "ui/windowplace.h"

namespace lianshuo {

using namespace Qt::Literals::StringLiterals;

namespace {

void addLabel(QWidget* parent, const QString& name, int x, int y, int width, const QString& text) {
    addControl<QLabel>(parent, name, QRect(x, y, width, 24), text)
        ->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

// A label and its one-line field across the dialog's width, at `y`; `left` less in a group
// box that starts that far into the dialog, so that every field lines up.
QLineEdit* addTextRow(QWidget* parent, const QString& what, int y, const QString& caption,
                      const QString& value, const QString& placeholder = {}, int left = 0) {
    addLabel(parent, u"标签"_s + what, 16 - left, y, 104, caption);
    auto* edit =
        addControl<QLineEdit>(parent, u"编辑框"_s + what, QRect(120 - left, y, 344, 24), value);
    edit->setPlaceholderText(placeholder);
    return edit;
}

QComboBox* addChoices(QWidget* parent, const QString& name, const QRect& geometry,
                      const QStringList& items) {
    auto* box = addControl<QComboBox>(parent, name, geometry);
    box->addItems(items);
    return box;
}

// 0 for an empty box; -1, which the rules refuse, for anything but 0 to 600000.
long pauseOf(const QString& text) {
    if (text.trimmed().isEmpty()) return 0;
    bool ok = false;
    const long value = text.trimmed().toLong(&ok);
    return ok && value >= 0 && value <= kLongestPauseMs ? value : -1;
}

}  // namespace

InterfaceAdvancedDialog::InterfaceAdvancedDialog(const ShortUrlInterface& current, QWidget* parent)
    : QDialog(parent), current_(current) {
    setObjectName(u"对话框高级"_s);
    setWindowTitle(u"高级设置"_s);
    setFont(uiFont(FontFace::Song, 15));
    resize(480 + CredentialGroups::kWidth + 16, 576);

    // More keys than a small screen holds: they scroll, and the buttons stay in view.
    auto* page = new QWidget;
    page->setObjectName(u"页面高级"_s);
    page->resize(width(), 520);

    addLabel(page, u"标签接口名称"_s, 16, 16, 104, u"接口名称："_s);
    name_ = addControl<QLineEdit>(page, u"编辑框接口名称"_s, QRect(120, 16, 344, 24),
                                  toQt(current.name));
    name_->setPlaceholderText(u"留空则用接口地址的主机名"_s);
    addLabel(page, u"标签请求方法"_s, 16, 48, 104, u"请求方法："_s);
    method_ = addChoices(page, u"组合框请求方法"_s, QRect(120, 48, 120, 24),
                         {u"GET"_s, u"POST"_s, u"PUT"_s, u"PATCH"_s});
    method_->setCurrentText(toQt(requestMethod(current)));
    addLabel(page, u"标签请求格式"_s, 256, 48, 88, u"请求格式："_s);
    format_ = addChoices(page, u"组合框请求格式"_s, QRect(344, 48, 120, 24),
                         {u"表单"_s, u"JSON"_s, u"multipart"_s, u"原始文本"_s});
    format_->setCurrentIndex(static_cast<int>(current.bodyFormat));
    addLabel(page, u"标签请求头"_s, 16, 80, 104, u"请求头："_s);
    headers_ = addControl<QPlainTextEdit>(page, u"编辑框请求头"_s, QRect(120, 80, 344, 72));
    headers_->setPlainText(withWidgetBreaks(toQt(current.headers)));
    headers_->setTabChangesFocus(true);
    headers_->setPlaceholderText(u"每行一个“名称: 值”，如 Authorization: Bearer #令牌#"_s);
    addLabel(page, u"标签令牌"_s, 16, 160, 104, u"令牌："_s);
    token_ =
        addControl<QLineEdit>(page, u"编辑框令牌"_s, QRect(120, 160, 272, 24), toQt(current.token));
    token_->setEchoMode(QLineEdit::Password);
    if (current.secretsInKeyring && current.token.empty())
        token_->setPlaceholderText(u"钥匙串不可用，或其中没有该接口的令牌"_s);
    showToken_ =
        addControl<QCheckBox>(page, u"选择框显示令牌"_s, QRect(400, 160, 64, 24), u"显示"_s);
    connect(showToken_, &QCheckBox::toggled, this, [this](bool shown) {
        token_->setEchoMode(shown ? QLineEdit::Normal : QLineEdit::Password);
    });
    addLabel(page, u"标签提取方式"_s, 16, 192, 104, u"提取方式："_s);
    extract_ = addChoices(page, u"组合框提取方式"_s, QRect(120, 192, 160, 24),
                          {u"截取（左右字符）"_s, u"JSON 路径"_s, u"正则表达式"_s, u"回复头"_s});
    extract_->setCurrentIndex(static_cast<int>(current.extractKind));
    expression_ =
        addTextRow(page, u"提取表达式"_s, 224, u"提取表达式："_s, toQt(current.extractExpression),
                   u"如 data.tiny_url、(https://\\S+)、Location"_s);
    error_ =
        addTextRow(page, u"错误表达式"_s, 256, u"错误表达式："_s, toQt(current.errorExpression));
    successRule_ =
        addTextRow(page, u"成功表达式"_s, 288, u"成功表达式："_s, toQt(current.successRule),
                   u"回复须满足的条件，如 status=ok 或 ^https?://"_s);
    throttleRule_ =
        addTextRow(page, u"限流表达式"_s, 320, u"限流表达式："_s, toQt(current.throttleRule),
                   u"成立时按 429 稍后重试，如 error.error_code=6"_s);
    addLabel(page, u"标签成功状态码"_s, 16, 352, 104, u"成功状态码："_s);
    success_ = addControl<QLineEdit>(page, u"编辑框成功状态码"_s, QRect(120, 352, 120, 24),
                                     toQt(current.successStatuses));
    success_->setPlaceholderText(u"200-299"_s);
    // Codes and ranges of them, as "200,201" or "200-299".
    success_->setValidator(
        new QRegularExpressionValidator(QRegularExpression(u"^[0-9, -]*$"_s), success_));
    addLabel(page, u"标签间隔毫秒"_s, 256, 352, 88, u"间隔毫秒："_s);
    pause_ =
        addControl<QLineEdit>(page, u"编辑框间隔毫秒"_s, QRect(344, 352, 120, 24),
                              current.pauseMs > 0 ? QString::number(current.pauseMs) : QString());
    acceptNumbersOnly(pause_, {0, kLongestPauseMs, 0, true});

    auto* result = addControl<QGroupBox>(page, u"分组结果"_s, QRect(8, 384, 464, 60), u"结果"_s);
    resultTemplate_ =
        addTextRow(result, u"结果模板"_s, 24, u"结果模板："_s, toQt(current.resultTemplate),
                   u"由回复拼成短网址，如 https://#值(domain)#/#值(id)#"_s, 8);
    auto* fallback =
        addControl<QGroupBox>(page, u"分组备用接口"_s, QRect(8, 452, 464, 60), u"备用接口"_s);
    fallbacks_ = addTextRow(fallback, u"备用接口"_s, 24, u"备用接口："_s, toQt(current.fallbacks),
                            u"本接口不可用、5xx 或限流时依次使用，如 备用一|备用二"_s, 8);

    credentials_.emplace(page, QPoint(480, 16), current);

    auto* area = addControl<QScrollArea>(this, u"滚动框高级"_s, QRect(0, 0, width(), 520));
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    // Tab goes through the keys themselves; the area only scrolls to the one with focus.
    area->setFocusPolicy(Qt::NoFocus);
    area->setAccessibleName(u"高级设置的各项"_s);
    auto* ok = addControl<QPushButton>(this, u"按钮确定"_s, QRect(752, 528, 88, 32), u"确定"_s);
    auto* cancel = addControl<QPushButton>(this, u"按钮取消"_s, QRect(856, 528, 88, 32), u"取消"_s);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &InterfaceAdvancedDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &InterfaceAdvancedDialog::reject);

    // The left column keeps its width; the right one's fields take any room beyond the
    // default. Taller, the headers take the room.
    auto* layout = new AnchorLayout(page);
    for (QWidget* field :
         std::initializer_list<QWidget*>{token_, expression_, error_, successRule_, throttleRule_})
        layout->follow(field, kStay, kMove);
    layout->follow(headers_, kStay, kGrow, {344, 36});
    layout->follow(showToken_, kStay, kMove);
    for (const QString& label :
         {u"标签令牌"_s, u"标签提取方式"_s, u"标签提取表达式"_s, u"标签错误表达式"_s,
          u"标签成功表达式"_s, u"标签限流表达式"_s, u"标签成功状态码"_s, u"标签间隔毫秒"_s})
        layout->follow(label, kStay, kMove);
    for (QWidget* field :
         std::initializer_list<QWidget*>{extract_, success_, pause_, result, fallback})
        layout->follow(field, kStay, kMove);
    // Narrower than its method and format side by side, the page scrolls instead.
    layout->follow(u"分组凭据"_s, kGrow, kStay, {CredentialGroups::kWidth - 8, 96});
    layout->follow(u"分组令牌请求"_s, kGrow, kStay, {CredentialGroups::kWidth - 8, 240});
    area->setWidget(page);
    tieLabelsToFields(this);
    auto* outer = new AnchorLayout(this);
    outer->follow(area, kGrow, kGrow, {600, 340});
    outer->follow(ok, kMove, kMove);
    outer->follow(cancel, kMove, kMove);
    keepWindowPlace(this, PlacedWindow::Advanced);
}

ShortUrlInterface InterfaceAdvancedDialog::applyTo(ShortUrlInterface d) const {
    d.name = trimSpaces(fromQt(name_->text()));
    setRequestMethod(d, fromQt(method_->currentText()));
    d.bodyFormat = static_cast<BodyFormat>(format_->currentIndex());
    d.headers = fromQt(headers_->toPlainText().replace(u"\n"_s, u"\r\n"_s));
    d.token = fromQt(token_->text());
    d.extractKind = static_cast<ExtractKind>(extract_->currentIndex());
    d.extractExpression = fromQt(expression_->text());
    d.errorExpression = fromQt(error_->text());
    d.successStatuses = trimSpaces(fromQt(success_->text()));
    d.successRule = fromQt(successRule_->text());
    d.throttleRule = fromQt(throttleRule_->text());
    d.pauseMs = pauseOf(pause_->text());
    credentials_->applyTo(d);
    d.resultTemplate = fromQt(resultTemplate_->text());
    d.fallbacks = trimSpaces(fromQt(fallbacks_->text()));
    return d;
}

void InterfaceAdvancedDialog::accept() {
    if (const Status savable = checkInterface(applyTo(current_)); !savable) {
        MessageBox::warning(this, toQt(appTitle()), toQt(savable.reason()));
        return;
    }
    QDialog::accept();
}

}  // namespace lianshuo
