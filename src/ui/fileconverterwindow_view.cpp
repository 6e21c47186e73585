// What the engine reads from and shows in the file converter window while it runs.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include "base/gbk.h"
#include "jobs/fileconvertersettings.h"
#include "store/settings.h"
#include "ui/clickables.h"
#include "ui/dialogs.h"
#include "ui/fileconverterwindow.h"
#include "ui/icons.h"
#include "ui/mainwindow.h"
#include "ui/qtext.h"
#include "ui/resultslist.h"
#include "ui/shell.h"

namespace lianshuo {

using namespace Qt::Literals::StringLiterals;

void FileConverterWindow::setStartCaption(std::string_view caption) {
    startButton_->setText(toQt(caption));
}

FileConverterSettings FileConverterWindow::settings() const {
    FileConverterSettings s;
    s.folder = fromQt(folderEdit_->text());
    s.pattern = fromQt(patternEdit_->text());
    s.whiteListOn = whiteBox_->isChecked();
    s.whiteList = fromQt(whiteEdit_->text());
    s.whiteListMode = static_cast<ListMode>(whiteMode_->currentIndex());
    s.blackListOn = blackBox_->isChecked();
    s.blackList = fromQt(blackEdit_->text());
    s.blackListMode = static_cast<ListMode>(blackMode_->currentIndex());
    s.rules = owner_.shortAddressRules();
    s.rules.kind = static_cast<RunKind>(modeList_->currentIndex());
    if (s.rules.kind != RunKind::Shorten && !trimSpaces(fromQt(hostsEdit_->text())).empty()) {
        // Checked when the run was started.
        Result<std::vector<std::string>> hosts = parseHostList(fromQt(hostsEdit_->text()));
        if (hosts)
            (s.rules.kind == RunKind::Migrate ? s.rules.migrateFrom : s.rules.hosts) =
                std::move(*hosts);
    }
    return s;
}

void FileConverterWindow::showSettings(const FileConverterSettings& s) {
    folderEdit_->setText(toQt(s.folder));
    patternEdit_->setText(toQt(s.pattern));
    whiteBox_->setChecked(s.whiteListOn);
    whiteEdit_->setText(toQt(s.whiteList));
    whiteMode_->setCurrentIndex(static_cast<int>(s.whiteListMode));
    blackBox_->setChecked(s.blackListOn);
    blackEdit_->setText(toQt(s.blackList));
    blackMode_->setCurrentIndex(static_cast<int>(s.blackListMode));
}

std::string FileConverterWindow::intervalText() const {
    return owner_.intervalText();
}

int FileConverterWindow::parallelRequests() const {
    return owner_.parallelRequests();
}

std::string FileConverterWindow::addedQuery() const {
    return owner_.addedQuery();
}

void FileConverterWindow::showMessage(std::string_view text) {
    MessageBox::information(this, toQt(appTitle()), toQt(text));
}

void FileConverterWindow::showProgress(bool visible) {
    // The bar covers the folder row; hiding the row also keeps it from being
    // edited while a run reads from it.
    for (QWidget* control : std::initializer_list<QWidget*>{
             folderLabel_, folderEdit_, patternEdit_, chooseButton_,
             findChild<QLabel*>(u"标签过滤"_s, Qt::FindDirectChildrenOnly)})
        control->setVisible(!visible);
    progressBar_->setVisible(visible);
    progressLabel_->setVisible(visible);
    // The mode is read when a run starts: it stays as it is until the run ends.
    modeList_->setEnabled(!visible);
    if (visible)
        hostsEdit_->setEnabled(false);
    else
        applyModeRule();
}

void FileConverterWindow::setProgress(int position, int count, std::string_view caption) {
    progressBar_->setRange(0, count);
    progressBar_->setValue(position);
    progressLabel_->setText(toQt(caption));
    // "(4:1)" reads as files in all and the one under way.
    progressLabel_->setToolTip(u"共 %1 个文件，正在处理第 %2 个"_s.arg(count).arg(position));
}

void FileConverterWindow::clearRows() {
    resultsView_->clear();
}

void FileConverterWindow::addRow(std::string_view text, std::string_view longUrl,
                                 ResultRowState state) {
    auto* item = new QTreeWidgetItem(resultsView_);
    item->setText(1, toQt(longUrl));
    showResultRow(item, toQt(text), state);
}

void FileConverterWindow::setRow(int row, std::string_view text, ResultRowState state) {
    QTreeWidgetItem* item = resultsView_->topLevelItem(row);
    if (!item) return;
    resultsView_->scrollToItem(item);
    showResultRow(item, toQt(text), state);
}

void FileConverterWindow::showOutcome(int row, const ConversionOutcome& outcome) {
    if (QTreeWidgetItem* item = resultsView_->topLevelItem(row)) showOutcomeRow(item, outcome);
}

void FileConverterWindow::fileFailed(std::string_view name, std::string_view reason) {
    failedFiles_.append(toQt(name) + u"："_s + toQt(reason));
    addFailure(toQt(reason), toQt(name), u"文件："_s + toQt(name));
}

void FileConverterWindow::addressFailed(int row, std::string_view file,
                                        const ConversionOutcome& outcome) {
    const QTreeWidgetItem* item = resultsView_->topLevelItem(row);
    if (!item) return;
    addFailure(toQt(outcome.reason()), item->text(1), u"文件："_s + toQt(file));
}

void FileConverterWindow::addFailure(const QString& reason, const QString& what,
                                     const QString& tip) {
    auto* item = new QTreeWidgetItem(failuresView_);
    item->setText(1, what);
    showResultRow(item, reason, ResultRowState::Error);
    item->setData(0, kRowReasonRole, reason);
    item->setToolTip(0, tip + u"\n"_s + reason);
}

void FileConverterWindow::showFailuresOnly(bool only) {
    failuresView_->setVisible(only);
    resultsView_->setVisible(!only);
}

namespace {

// The run's counts, and a plain word when the lists left nothing to convert.
QString runCounts(const FileRunSummary& summary) {
    QString text =
        u"写入 %1 个文件（其中 %2 个没有网址被替换，与原文件相同）"_s.arg(summary.filesWritten)
            .arg(summary.filesUnchanged);
    if (summary.filesFailed > 0) text += u"，%1 个文件处理失败"_s.arg(summary.filesFailed);
    text += u"。\r\n转换 %1 个网址，失败 %2 个，被网址白名单或黑名单排除 %3 个。"_s
                .arg(summary.converted)
                .arg(summary.failed)
                .arg(summary.leftOut);
    if (summary.converted + summary.failed == 0 && summary.leftOut > 0 && !summary.stopped)
        text +=
            u"\r\n\r\n找到的网址全部被网址白名单或黑名单排除，没有网址被转换。"
            u"请检查名单的规则（默认的白名单只转换 "_s +
            toQt(defaultFileConverterSettings().whiteList) + u" 的网址）。"_s;
    else if (summary.converted + summary.failed + summary.leftOut == 0 && !summary.stopped)
        text += u"\r\n\r\n这些文件中没有找到网址。"_s;
    return text;
}

}  // namespace

void FileConverterWindow::finished(const FileRunSummary& summary) {
    const QString folder = toQt(summary.outputFolder);
    QString question = u"处理完成。处理的结果保存在这个目录："_s + folder;
    question += u"\r\n\r\n"_s + runCounts(summary);
    if (summary.failed > 0)
        question +=
            u"\r\n\r\n有 %1 个网址转换失败，这些网址保持原样。"
            u"勾选“只看失败”可查看每个网址失败的原因。"_s.arg(summary.failed);
    if (summary.filesFailed > 0) {
        // A few names tell the user where to look; the rest would only make the box tall.
        const QStringList shown = failedFiles_.mid(0, 5);
        question += u"\r\n\r\n有 %1 个文件处理失败：\r\n"_s.arg(summary.filesFailed) +
                    shown.join(u"\r\n"_s);
        if (failedFiles_.size() > shown.size()) question += u"\r\n……"_s;
    }
    failedFiles_.clear();
    // The failures stay in sight after the run's rows have gone.
    if (failuresView_->topLevelItemCount() > 0) failuresOnlyBox_->setChecked(true);
    question += u"\r\n\r\n请问是否打开它？"_s;
    if (MessageBox::show(this, QMessageBox::Question, toQt(appTitle()), question,
                         QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes)
        openInExplorer(folder, false);
    // A close asked for during the run waited for it to end.
    if (closePending_) {
        closePending_ = false;
        QTimer::singleShot(0, this, &QWidget::close);
    }
}

}  // namespace lianshuo
