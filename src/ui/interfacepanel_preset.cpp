// What the panel says about the preset it was filled from, and the token row:
// a preset names what it still needs, and an interface that sends "#令牌#"
// shows its token on the panel itself rather than only behind "高级…".

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>

#include "base/helpers.h"
#include "services/interfacepresets.h"
#include "services/interfacerequest.h"
#include "ui/controls.h"
#include "ui/interfacepanel.h"
#include "ui/qtext.h"

namespace lianshuo {

using namespace Qt::Literals::StringLiterals;

namespace {

// The panel's height without and with the token row under its buttons.
constexpr int kPanelHeight = 432;
constexpr int kPanelHeightWithToken = 464;

}  // namespace

void InterfacePanel::buildPresetRows() {
    // Under the send group's fields, in the room its frame leaves below them.
    auto* sendGroup = findChild<QGroupBox*>(u"分组框1"_s);
    presetHint_ = addControl<QLabel>(sendGroup, u"标签预设说明"_s, QRect(96, 145, 408, 14));
    presetHint_->setFont(uiFont(FontFace::Song, 12));
    presetHint_->hide();

    tokenLabel_ = addControl<QLabel>(this, u"标签面板令牌"_s, QRect(8, 428, 56, 24), u"令牌："_s);
    token_ = addControl<QLineEdit>(this, u"编辑框面板令牌"_s, QRect(64, 428, 328, 24));
    token_->setEchoMode(QLineEdit::Password);
    token_->setAccessibleName(u"令牌"_s);
    tokenLabel_->setBuddy(token_);
    showToken_ =
        addControl<QCheckBox>(this, u"选择框显示面板令牌"_s, QRect(400, 428, 64, 24), u"显示"_s);
    connect(showToken_, &QCheckBox::toggled, this, [this](bool shown) {
        token_->setEchoMode(shown ? QLineEdit::Normal : QLineEdit::Password);
    });
    // What the hint says is needed, and whether the token is sent at all, follow the fields.
    connect(token_, &QLineEdit::textChanged, this, &InterfacePanel::showPresetHint);
    connect(address_, &QLineEdit::textChanged, this, &InterfacePanel::applyTokenRow);
    connect(postData_, &QPlainTextEdit::textChanged, this, &InterfacePanel::applyTokenRow);
    for (QRadioButton* mode : {get_, post_})
        connect(mode, &QRadioButton::toggled, this, &InterfacePanel::applyTokenRow);
}

void InterfacePanel::markPreset(int index) {
    presetIndex_ = index;
    if (index >= 0) fillPresets();
    presets_->setCurrentIndex(index);
    showPresetHint();
}

void InterfacePanel::showPresetHint() {
    if (presetIndex_ < 0 || static_cast<std::size_t>(presetIndex_) >= interfacePresets().size()) {
        presetHint_->hide();
        return;
    }
    const InterfacePreset& preset = interfacePresets()[static_cast<std::size_t>(presetIndex_)];
    QStringList needs;
    if (hostOfUrl(fromQt(address_->text())).empty() || address_->text().contains(u"#主机#"_s))
        needs << u"需要主机"_s;
    if (!preset.tokenLabel.empty() && token_->text().isEmpty())
        needs << u"需要令牌："_s + toQt(preset.tokenLabel);
    // A service that logs in first takes its credentials in the 高级… dialog.
    if (!preset.usernameLabel.empty() || !preset.passwordLabel.empty()) {
        const ShortUrlInterface definition = readInterface();
        if (!preset.usernameLabel.empty() && definition.username.empty())
            needs << u"需要用户名："_s + toQt(preset.usernameLabel);
        if (!preset.passwordLabel.empty() && definition.password.empty())
            needs << u"需要密码："_s + toQt(preset.passwordLabel);
    }
    presetHint_->setText(u"已载入预设 "_s + toQt(preset.name) + u"："_s +
                         (needs.isEmpty() ? u"可以测试或保存"_s : needs.join(u"，"_s)));
    presetHint_->setToolTip(toQt(preset.description));
    presetHint_->show();
}

void InterfacePanel::showStatus(const QString& text) {
    presetHint_->setText(text);
    presetHint_->setToolTip(QString());
    presetHint_->show();
}

void InterfacePanel::applyTokenRow() {
    const bool used = interfaceUsesToken(readInterface());
    for (QWidget* control : {static_cast<QWidget*>(tokenLabel_), static_cast<QWidget*>(token_),
                             static_cast<QWidget*>(showToken_)})
        control->setVisible(used);
    resize(width(), used ? kPanelHeightWithToken : kPanelHeight);
    showPresetHint();
}

}  // namespace lianshuo
