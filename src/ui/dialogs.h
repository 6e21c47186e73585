#pragma once
// Message boxes, the input dialog and the file dialogs, behind seams so that
// tests answer them in advance and no dialog is shown without a display.

#include <QMessageBox>
#include <QString>
#include <optional>

class QWidget;

namespace lianshuo {

class MessageBox {
public:
    using Button = QMessageBox::StandardButton;

    /// Shows a modal box and returns the button pressed (or the answer set in advance).
    static Button show(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                       const QString& text, QMessageBox::StandardButtons buttons);
    /// A box with the information icon and OK only.
    static void information(QWidget* parent, const QString& title, const QString& text);
    /// A box with the warning icon and OK only.
    static void warning(QWidget* parent, const QString& title, const QString& text);

    /// Answers the next box not answered yet with `answer`, without showing it.
    static void setNextAnswer(Button answer);
    /// Title and text of the last box asked for (shown or answered in advance).
    static QString lastTitle();
    static QString lastText();
};

class InputDialog {
public:
    /// A prompt with one edit line pre-filled with `text`; nullopt when cancelled.
    static std::optional<QString> getText(QWidget* parent, const QString& title,
                                          const QString& prompt, const QString& text);

    /// Answers the next dialog with `text`, or cancels it with nullopt.
    static void setNextText(std::optional<QString> text);
    /// The prompt and the pre-filled text of the last dialog asked for.
    static QString lastPrompt();
    static QString lastOffered();
};

class FileDialog {
public:
    /// The chosen file to open; empty when cancelled.
    static QString getOpenFileName(QWidget* parent, const QString& caption, const QString& filter);
    /// The chosen file to save to, `defaultSuffix` added when typed without one; empty when
    /// cancelled.
    static QString getSaveFileName(QWidget* parent, const QString& caption, const QString& filter,
                                   const QString& defaultSuffix);
    /// The chosen folder, starting at `start`; empty when cancelled.
    static QString getExistingDirectory(QWidget* parent, const QString& caption,
                                        const QString& start);

    /// Answers the next file or folder dialog with `name` (empty: cancelled).
    static void setNextFileName(const QString& name);
    /// The caption of the last file or folder dialog asked for.
    static QString lastCaption();
};

}  // namespace lianshuo
