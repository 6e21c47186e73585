#pragma once
// A small modal box that shows a long text, read-only, with one button that
// closes it: the help texts of the windows.

#include <QDialog>

class QFrame;
class QPlainTextEdit;
class QPushButton;

namespace lianshuo {

class InputBoxWindow : public QDialog {
    Q_OBJECT
public:
    explicit InputBoxWindow(QWidget* owner = nullptr);

    /// Information mode: `text` read-only under `prompt`, the title "信息：" when
    /// `title` is empty, only the close button; `margin` below 1 counts as 5.
    void showText(const QString& text, const QString& title, const QString& prompt = {},
                  int margin = 5);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void layoutControls();
    void centreOnScreen();

    QPlainTextEdit* prompt_;
    QPlainTextEdit* text_;
    QPushButton* cancel_;
    QPushButton* ok_;
    QFrame* shapeFrame_;
    int margin_ = 5;
};

/// Shows `text` in a modal InputBoxWindow owned by `owner` and returns when it
/// is closed; does nothing while such a box is already open.
void showInformation(const QString& text, const QString& title, QWidget* owner);

/// The introduction and questions text of the main window's help, with CR LF line breaks.
QString introductionText();

}  // namespace lianshuo
