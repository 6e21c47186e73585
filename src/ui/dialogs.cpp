#include "ui/dialogs.h"

#include <QFileDialog>
#include <QInputDialog>
#include <deque>

#include "ui/qtext.h"

namespace lianshuo {
namespace {

struct Answers {
    std::deque<MessageBox::Button> messages;  // one per box to come, in order
    QString messageTitle, messageText;
    std::optional<std::optional<QString>> input;
    QString inputPrompt, inputOffered;
    std::optional<QString> fileName;
    QString fileCaption;
};

Answers& answers() {
    static Answers instance;
    return instance;
}

template <typename T>
std::optional<T> takeAnswer(std::optional<T>& slot) {
    std::optional<T> answer = std::move(slot);
    slot.reset();
    return answer;
}

QString runFileDialog(QFileDialog& dialog) {
    if (const auto answer = takeAnswer(answers().fileName)) return *answer;
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().constFirst();
}

}  // namespace

MessageBox::Button MessageBox::show(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                    const QString& text, QMessageBox::StandardButtons buttons) {
    answers().messageTitle = title;
    answers().messageText = text;
    if (!answers().messages.empty()) {
        const Button answer = answers().messages.front();
        answers().messages.pop_front();
        return answer;
    }
    QMessageBox box(icon, title, withWidgetBreaks(text), buttons, parent);
    box.setTextFormat(Qt::PlainText);
    return static_cast<Button>(box.exec());
}

void MessageBox::information(QWidget* parent, const QString& title, const QString& text) {
    show(parent, QMessageBox::Information, title, text, QMessageBox::Ok);
}

void MessageBox::warning(QWidget* parent, const QString& title, const QString& text) {
    show(parent, QMessageBox::Warning, title, text, QMessageBox::Ok);
}

void MessageBox::setNextAnswer(Button answer) {
    answers().messages.push_back(answer);
}
QString MessageBox::lastTitle() {
    return answers().messageTitle;
}
QString MessageBox::lastText() {
    return answers().messageText;
}

std::optional<QString> InputDialog::getText(QWidget* parent, const QString& title,
                                            const QString& prompt, const QString& text) {
    answers().inputPrompt = prompt;
    answers().inputOffered = text;
    if (const auto answer = takeAnswer(answers().input)) return *answer;
    bool ok = false;
    const QString entered =
        QInputDialog::getText(parent, title, prompt, QLineEdit::Normal, text, &ok);
    if (!ok) return std::nullopt;
    return entered;
}

void InputDialog::setNextText(std::optional<QString> text) {
    answers().input = std::move(text);
}
QString InputDialog::lastPrompt() {
    return answers().inputPrompt;
}
QString InputDialog::lastOffered() {
    return answers().inputOffered;
}

QString FileDialog::getOpenFileName(QWidget* parent, const QString& caption,
                                    const QString& filter) {
    answers().fileCaption = caption;
    QFileDialog dialog(parent, caption, QString(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    return runFileDialog(dialog);
}

QString FileDialog::getSaveFileName(QWidget* parent, const QString& caption, const QString& filter,
                                    const QString& defaultSuffix) {
    answers().fileCaption = caption;
    QFileDialog dialog(parent, caption, QString(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(defaultSuffix);
    return runFileDialog(dialog);
}

QString FileDialog::getExistingDirectory(QWidget* parent, const QString& caption,
                                         const QString& start) {
    answers().fileCaption = caption;
    QFileDialog dialog(parent, caption, start);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    return runFileDialog(dialog);
}

void FileDialog::setNextFileName(const QString& name) {
    answers().fileName = name;
}
QString FileDialog::lastCaption() {
    return answers().fileCaption;
}

}  // namespace lianshuo
