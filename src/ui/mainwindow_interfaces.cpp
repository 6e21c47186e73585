// The list of saved custom interfaces beside the panel: add or modify, load,
// delete, clear, and the test of the panel's definition.

#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>

#include "base/makerlinks.h"
#include "services/interfacestore.h"
#include "services/shorturlconverter.h"
#include "store/controlstatestore.h"
#include "store/settings.h"
#include "ui/dialogs.h"
#include "ui/interfacepanel.h"
#include "ui/mainwindow.h"
#include "ui/qtext.h"
#include "ui/settingssaves.h"
#include "ui/shell.h"

namespace lianshuo {

using namespace Qt::Literals::StringLiterals;

void MainWindow::fillInterfaceList() {
    const QSignalBlocker block(interfaceList_);
    interfaceList_->clear();
    for (const std::string& name : listInterfaceNames(settingsStore())) {
        interfaceList_->addItem(toQt(name));
    }
}

void MainWindow::addClicked() {
    if (!panel_->isHidden()) {
        addOrModifyInterface();
        return;
    }
    addButton_->setText(u"添加/修改"_s);
    panel_->show();
    panel_->raise();
}

void MainWindow::closePanel() {
    panel_->hide();
    addButton_->setText(u"打开接口面板"_s);
}

void MainWindow::addOrModifyInterface() {
    const ShortUrlInterface definition = panel_->readInterface();
    if (const Status savable = checkSavable(definition); !savable) {
        MessageBox::warning(this, toQt(appTitle()), toQt(savable.reason()));
        return;
    }
    // The name is the host (with a port other than the scheme's) unless one is given, so a
    // second address on the same host and port replaces the first.
    const std::string named = nameForSaving(definition, settingsStore());
    const QString name = toQt(named);
    int row = 0;
    while (row < interfaceList_->count() && interfaceList_->item(row)->text() != name) ++row;
    if (row == interfaceList_->count()) {
        const QSignalBlocker block(interfaceList_);
        interfaceList_->addItem(name);
    }
    std::string keyringNotice;
    const bool saved =
        reportSettingsSave(this, saveInterface(definition, settingsStore(), &keyringNotice, named));
    if (saved) reportKeyringNotice(this, keyringNotice);
    selectInterface(row);
    if (saved) panel_->showStatus(u"已保存接口 "_s + name);
}

void MainWindow::selectInterface(int row) {
    {
        const QSignalBlocker block(interfaceList_);
        interfaceList_->setCurrentRow(row);
        if (row < 0) interfaceList_->clearSelection();
    }
    loadSelectedInterface();
}

void MainWindow::loadSelectedInterface() {
    QListWidgetItem* item = interfaceList_->currentItem();
    if (!item) return;
    item->setSelected(true);
    const std::string name = fromQt(item->text());
    ShortUrlInterface definition = loadInterface(name, settingsStore());
    // A token the keyring does not give stays there; the advanced dialog and a
    // conversion say so.
    (void)fetchInterfaceSecrets(name, definition, settingsStore());
    panel_->writeInterface(definition);
}

void MainWindow::deleteSelectedInterface() {
    const int row = interfaceList_->currentRow();
    if (row < 0) return;
    // After a deletion that failed, the list shows what the file holds.
    std::string keyringNotice;
    const bool deleted =
        reportSettingsSave(this, deleteInterface(fromQt(interfaceList_->item(row)->text()),
                                                 settingsStore(), &keyringNotice));
    reportKeyringNotice(this, keyringNotice);
    fillInterfaceList();
    selectInterface(deleted && row == interfaceList_->count() ? row - 1 : row);
}

void MainWindow::clearAllInterfaces() {
    if (MessageBox::show(this, QMessageBox::Question, toQt(appTitle()),
                         u"确定要删除全部的短网址接口吗？"_s,
                         QMessageBox::Ok | QMessageBox::Cancel) != QMessageBox::Ok)
        return;
    std::string keyringNotice;
    if (reportSettingsSave(this, deleteAllInterfaces(settingsStore(), &keyringNotice)))
        reportKeyringNotice(this, keyringNotice);
    fillInterfaceList();
}

void MainWindow::testInterface() {
    // One test at a time: a second click while one runs does nothing.
    if (interfaceTest_.busy()) return;
    const std::optional<QString> longUrl = InputDialog::getText(
        this, toQt(appTitle()), u"请输入一个长网址，根据当前接口测试是否能正确转换短网址："_s,
        QString::fromLatin1(maker::kSampleLongUrl));
    if (!longUrl || interfaceTest_.busy()) return;
    // The panel as it is now; the converter's own snapshot stays the running batch's.
    ShortUrlConverter::Task task = converter().prepare(fromQt(*longUrl));
    if (task.service == kCustomService) {
        task.definition = std::make_shared<const ShortUrlInterface>(readInterfaceFromPanel());
        task.fallbacks = nullptr;  // the test is of this interface alone
    }
    const ShortUrlConverter& converter = this->converter();
    interfaceTest_.start([this, &converter, task = std::move(task),
                          shown = *longUrl](const std::atomic<bool>& stop) {
        const ConversionOutcome outcome = converter.perform(task, &stop);
        return std::function<void()>([this, outcome, shown] { showTestOutcome(shown, outcome); });
    });
}

void MainWindow::showTestOutcome(const QString& longUrl, const ConversionOutcome& outcome) {
    if (!outcome.ok()) {
        MessageBox::warning(this, u"转换结果"_s,
                            longUrl + u"\r\n\r\n生成错误："_s + toQt(outcome.reason()));
        return;
    }
    const QString result = toQt(outcome.shortUrl);
    const QString message = longUrl + u"\r\n\r\n转为如下短网址：\r\n\r\n"_s + result +
                            u"\r\n\r\n点击确定将在浏览器打开短网址！"_s;
    if (MessageBox::show(this, QMessageBox::Information, u"转换结果"_s, message,
                         QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok)
        openWithShell(result);
}

}  // namespace lianshuo
