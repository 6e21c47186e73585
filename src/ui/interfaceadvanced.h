#pragma once
// The keys of an interface beyond the panel's own controls: name, method,
// headers, body format, token, extraction, error expression, success
// statuses and pause, and beside them the credentials and the token request.
// Opened by the panel's "高级…" button.

#include <QDialog>
#include <optional>

#include "services/shorturlinterface.h"
#include "ui/interfacecredentials.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;

namespace lianshuo {

class InterfaceAdvancedDialog : public QDialog {
    Q_OBJECT
public:
    /// The dialog showing the keys of `current`.
    InterfaceAdvancedDialog(const ShortUrlInterface& current, QWidget* parent);

    /// `base` with the dialog's keys put in (GET and POST into postMode).
    ShortUrlInterface applyTo(ShortUrlInterface base) const;

    /// Closes with the keys only when they could be sent; else says why and stays.
    void accept() override;

private:
    ShortUrlInterface current_;
    QLineEdit* name_;
    QComboBox* method_;
    QComboBox* format_;
    QPlainTextEdit* headers_;
    QLineEdit* token_;
    QCheckBox* showToken_;
    QComboBox* extract_;
    QLineEdit* expression_;
    QLineEdit* error_;
    QLineEdit* success_;
    QLineEdit* successRule_;
    QLineEdit* throttleRule_;
    QLineEdit* pause_;
    QLineEdit* resultTemplate_;
    QLineEdit* fallbacks_;
    // Made after the keys beside them, so that the tab key reaches them after those.
    std::optional<CredentialGroups> credentials_;
};

}  // namespace lianshuo
