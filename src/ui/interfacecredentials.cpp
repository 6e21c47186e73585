#include "ui/interfacecredentials.h"

#include "ui/anchorlayout.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "base/gbk.h"
#include "services/tokenrequest.h"
#include "ui/controls.h"
#include "ui/qtext.h"

namespace lianshuo {

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int kLabelX = 12, kFieldX = 104, kFieldWidth = 348;

void addLabel(QWidget* group, const QString& what, int x, int y, int width,
              const QString& caption) {
    addControl<QLabel>(group, u"标签"_s + what, QRect(x, y, width, 24), caption)
        ->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

QLineEdit* addTextRow(QWidget* group, const QString& what, int y, const QString& caption,
                      const QString& value, const QString& placeholder = {},
                      int width = kFieldWidth) {
    addLabel(group, what, kLabelX, y, kFieldX - kLabelX, caption);
    auto* edit =
        addControl<QLineEdit>(group, u"编辑框"_s + what, QRect(kFieldX, y, width, 24), value);
    edit->setPlaceholderText(placeholder);
    return edit;
}

QComboBox* addChoices(QWidget* group, const QString& what, const QRect& geometry,
                      const QStringList& items) {
    auto* box = addControl<QComboBox>(group, u"组合框"_s + what, geometry);
    box->addItems(items);
    return box;
}

long lifetimeOf(const QString& text) {
    if (text.trimmed().isEmpty()) return 0;
    bool ok = false;
    const long value = text.trimmed().toLong(&ok);
    return ok && value >= 0 && value <= kLongestTokenLifetime ? value : -1;
}

}  // namespace

CredentialGroups::CredentialGroups(QWidget* dialog, QPoint origin,
                                   const ShortUrlInterface& current) {
    auto* credentials =
        addControl<QGroupBox>(dialog, u"分组凭据"_s, QRect(origin, QSize(kWidth, 96)), u"凭据"_s);
    username_ = addTextRow(credentials, u"用户名"_s, 24, u"用户名："_s, toQt(current.username),
                           u"填入 #用户名#"_s);
    password_ = addTextRow(credentials, u"密码"_s, 56, u"密码："_s, toQt(current.password),
                           u"填入 #密码#"_s, kFieldWidth - 72);
    showSecrets_ = addControl<QCheckBox>(credentials, u"选择框显示密码"_s,
                                         QRect(kFieldX + kFieldWidth - 64, 56, 64, 24), u"显示"_s);
    for (QLineEdit* secret : {username_, password_}) secret->setEchoMode(QLineEdit::Password);
    if (current.secretsInKeyring && current.password.empty())
        password_->setPlaceholderText(u"钥匙串不可用，或其中没有该接口的密码"_s);
    QObject::connect(showSecrets_, &QCheckBox::toggled, username_, [this](bool shown) {
        for (QLineEdit* secret : {username_, password_})
            secret->setEchoMode(shown ? QLineEdit::Normal : QLineEdit::Password);
    });

    auto* request =
        addControl<QGroupBox>(dialog, u"分组令牌请求"_s,
                              QRect(origin + QPoint(0, 104), QSize(kWidth, 240)), u"令牌请求"_s);
    tokenUrl_ = addTextRow(request, u"令牌地址"_s, 24, u"令牌地址："_s, toQt(current.tokenUrl),
                           u"设置后先请求令牌，再填入 #令牌#"_s);
    addLabel(request, u"令牌请求方法"_s, kLabelX, 56, kFieldX - kLabelX, u"方法："_s);
    tokenMethod_ =
        addChoices(request, u"令牌请求方法"_s, QRect(kFieldX, 56, 120, 24), {u"POST"_s, u"GET"_s});
    tokenMethod_->setCurrentText(current.tokenMethod.empty() ? u"POST"_s
                                                             : toQt(current.tokenMethod));
    addLabel(request, u"令牌请求格式"_s, 240, 56, 64, u"格式："_s);
    tokenFormat_ =
        addChoices(request, u"令牌请求格式"_s, QRect(304, 56, 148, 24), {u"表单"_s, u"JSON"_s});
    tokenFormat_->setCurrentIndex(static_cast<int>(current.tokenBodyFormat));
    addLabel(request, u"令牌请求头"_s, kLabelX, 88, kFieldX - kLabelX, u"请求头："_s);
    tokenHeaders_ = addControl<QPlainTextEdit>(request, u"编辑框令牌请求头"_s,
                                               QRect(kFieldX, 88, kFieldWidth, 48));
    tokenHeaders_->setPlainText(withWidgetBreaks(toQt(current.tokenHeaders)));
    tokenHeaders_->setTabChangesFocus(true);
    tokenHeaders_->setPlaceholderText(u"如 Authorization: Basic #base64(#用户名#:#密码#)#"_s);
    tokenBody_ = addTextRow(request, u"令牌请求正文"_s, 144, u"正文："_s, toQt(current.tokenBody),
                            u"如 {\"email\":\"#用户名#\",\"password\":\"#密码#\"}"_s);
    tokenPath_ = addTextRow(request, u"令牌提取"_s, 176, u"令牌提取："_s, toQt(current.tokenPath),
                            u"回复中令牌的 JSON 路径，如 access_token"_s);
    tokenLifetime_ =
        addTextRow(request, u"令牌有效秒"_s, 208, u"有效秒："_s,
                   current.tokenLifetimeSeconds != 0 ? QString::number(current.tokenLifetimeSeconds)
                                                     : QString(),
                   u"0：整个运行"_s, 120);

    // Narrower or wider with the dialog, the fields give or take the width.
    auto* inCredentials = new AnchorLayout(credentials);
    inCredentials->follow(username_, kGrow, kStay, {80, 24});
    inCredentials->follow(password_, kGrow, kStay, {80, 24});
    inCredentials->follow(showSecrets_, kMove, kStay);
    auto* inRequest = new AnchorLayout(request);
    for (QWidget* field :
         std::initializer_list<QWidget*>{tokenUrl_, tokenHeaders_, tokenBody_, tokenPath_})
        inRequest->follow(field, kGrow, kStay, {80, 24});
}

void CredentialGroups::applyTo(ShortUrlInterface& d) const {
    d.username = fromQt(username_->text());
    d.password = fromQt(password_->text());
    d.tokenUrl = trimSpaces(fromQt(tokenUrl_->text()));
    d.tokenMethod = tokenMethod_->currentText() == u"GET"_s ? "GET" : "";
    d.tokenBodyFormat = static_cast<BodyFormat>(tokenFormat_->currentIndex());
    d.tokenHeaders = fromQt(tokenHeaders_->toPlainText().replace(u"\n"_s, u"\r\n"_s));
    d.tokenBody = fromQt(tokenBody_->text());
    d.tokenPath = trimSpaces(fromQt(tokenPath_->text()));
    d.tokenLifetimeSeconds = lifetimeOf(tokenLifetime_->text());
}

}  // namespace lianshuo
