#pragma once
// The credentials and the token request of an interface: two groups of the
// "高级…" dialog, the secrets masked until "显示" is ticked.

#include <QPoint>

#include "services/shorturlinterface.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QWidget;

namespace lianshuo {

class CredentialGroups {
public:
    /// The groups "凭据" and "令牌请求" on `dialog`, from `origin` down, showing `current`.
    CredentialGroups(QWidget* dialog, QPoint origin, const ShortUrlInterface& current);

    /// Puts the groups' keys into `d`; a lifetime that is no number becomes -1, which the
    /// rules refuse.
    void applyTo(ShortUrlInterface& d) const;

    /// The room both groups take.
    static constexpr int kWidth = 464;
    static constexpr int kHeight = 344;

private:
    QLineEdit* username_;
    QLineEdit* password_;
    QCheckBox* showSecrets_;
    QLineEdit* tokenUrl_;
    QComboBox* tokenMethod_;
    QComboBox* tokenFormat_;
    QPlainTextEdit* tokenHeaders_;
    QLineEdit* tokenBody_;
    QLineEdit* tokenPath_;
    QLineEdit* tokenLifetime_;
};

}  // namespace lianshuo
