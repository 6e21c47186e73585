// What the main window's controls do: the rules between them, the clipboard,
// the folder, the results list and the banner.

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QTreeWidget>

#include "base/makerlinks.h"
#include "jobs/pastedaddresses.h"
#include "services/shorturlconverter.h"
#include "store/settings.h"
#include "ui/clickables.h"
#include "ui/dialogs.h"
#include "ui/infobox.h"
#include "ui/interfacepanel.h"
#include "ui/mainwindow.h"
#include "ui/qtext.h"
#include "ui/resultslist.h"
#include "ui/shell.h"

namespace lianshuo {

using namespace Qt::Literals::StringLiterals;

void MainWindow::connectEvents() {
    connect(serviceCombo_, &QComboBox::currentIndexChanged, this, &MainWindow::applyServiceChoice);
    connect(tokenButton_, &QPushButton::clicked, this, &MainWindow::toggleTokenGroup);
    connect(tokenPasteButton_, &QPushButton::clicked, this, &MainWindow::pasteToken);
    connect(addButton_, &QPushButton::clicked, this, &MainWindow::addClicked);
    connect(deleteButton_, &QPushButton::clicked, this, &MainWindow::deleteSelectedInterface);
    connect(clearButton_, &QPushButton::clicked, this, &MainWindow::clearAllInterfaces);
    connect(interfaceList_, &QListWidget::currentRowChanged, this,
            &MainWindow::loadSelectedInterface);
    connect(autoSaveBox_, &QCheckBox::clicked, this, &MainWindow::applySaveFolderRule);
    connect(saveFolderButton_, &RightClickButton::clicked, this, &MainWindow::chooseSaveFolder);
    connect(saveFolderButton_, &RightClickButton::rightPressed, this, &MainWindow::showSaveFolder);
    connect(pasteButton_, &QPushButton::clicked, this, &MainWindow::pasteLongUrls);
    connect(copyButton_, &QPushButton::clicked, this, &MainWindow::copyShortUrls);
    // The batch is a job on the window's loop: a click while it runs only
    // asks it to stop.
    connect(generateButton_, &QPushButton::clicked, this, [this] {
        if (!batchRunning())
            if (const Status usable = checkedAddedQuery(); !usable) {
                MessageBox::warning(this, toQt(appTitle()), toQt(usable.reason()));
                return;
            }
        batch().generateClicked();
    });
    connect(resultsView_, &QTreeWidget::itemDoubleClicked, this, &MainWindow::openRow);
    connect(resultsView_, &QTreeWidget::customContextMenuRequested, this, &MainWindow::copyRowAt);
    connect(panel_, &InterfacePanel::testRequested, this, &MainWindow::testInterface);
    connect(panel_, &InterfacePanel::closeRequested, this, &MainWindow::closePanel);
    connectBanner();
}

void MainWindow::connectBanner() {
    const auto image = [this](const QString& name) { return findChild<ClickableImage*>(name); };
    const auto link = [this](const QString& name) { return findChild<LinkLabel*>(name); };
    const auto openHomePage = [] { openWithShell(QString::fromLatin1(maker::kHomePage)); };
    connect(image(u"图片蓝棠软件"_s), &ClickableImage::clicked, this,
            [] { openWithShell(QString::fromLatin1(maker::kWebSite)); });
    connect(image(u"图片疑点说明"_s), &ClickableImage::clicked, this, &MainWindow::showQuestions);
    connect(link(u"链接疑点说明"_s), &LinkLabel::pressed, this, &MainWindow::showQuestions);
    connect(image(u"图片软件主页"_s), &ClickableImage::clicked, this, openHomePage);
    connect(link(u"链接软件主页"_s), &LinkLabel::pressed, this, openHomePage);
    connect(image(u"图片框文件短网址转换器"_s), &ClickableImage::clicked, this,
            &MainWindow::openFileConverter);
    connect(link(u"超级链接框文件短网址转换器"_s), &LinkLabel::pressed, this,
            &MainWindow::openFileConverter);
    connect(image(u"图片历史记录"_s), &ClickableImage::clicked, this,
            &MainWindow::openHistoryWindow);
    connect(link(u"链接历史记录"_s), &LinkLabel::pressed, this, &MainWindow::openHistoryWindow);
    connect(useHistoryBox_, &QCheckBox::toggled, this, &MainWindow::applyHistoryChoice);
    // Read by each conversion as it is taken: a batch under way follows the box from then on.
    connect(verifyBox_, &QCheckBox::toggled, this, [this](bool on) {
        if (converter_) converter_->setVerify(on);
    });
}

void MainWindow::applyServiceChoice() {
    const int service = serviceCombo_->currentIndex();
    // The interface list can only be edited while the custom interface is chosen.
    const bool builtin = service != kCustomService;
    for (QWidget* control :
         std::initializer_list<QWidget*>{clearButton_, deleteButton_, addButton_, interfaceList_})
        control->setEnabled(!builtin);
    if (builtin) closePanel();
    tokenButton_->setVisible(service == kBaiduService);
    tokenGroup_->hide();
}

void MainWindow::toggleTokenGroup() {
    const bool show = tokenGroup_->isHidden();
    tokenGroup_->setVisible(show);
    if (show) tokenGroup_->raise();
    tokenButton_->setText(show ? u"关闭百度Token.."_s : u"设置百度Token.."_s);
}

void MainWindow::pasteToken() {
    tokenEdit_->setText(QGuiApplication::clipboard()->text());
}

void MainWindow::applySaveFolderRule() {
    saveFolderEdit_->setEnabled(autoSaveBox_->isChecked());
    saveFolderButton_->setEnabled(autoSaveBox_->isChecked());
}

void MainWindow::chooseSaveFolder() {
    const QString folder = browseForFolder(this, saveFolderEdit_->text());
    if (!folder.isEmpty()) saveFolderEdit_->setText(folder);
}

void MainWindow::showSaveFolder() {
    const QString written = toQt(resultFilePath_);
    if (!written.isEmpty() && QFileInfo(written).isFile())
        openInExplorer(written, true);
    else
        openInExplorer(saveFolderEdit_->text(), false);
}

void MainWindow::pasteLongUrls() {
    resultsView_->clear();
    addRowsOf(pastedLines(fromQt(QGuiApplication::clipboard()->text())));
}

void MainWindow::copyShortUrls() {
    QString text;
    int converted = 0;
    for (int row = 0; row < resultsView_->topLevelItemCount(); ++row) {
        const QTreeWidgetItem* item = resultsView_->topLevelItem(row);
        text += item->text(0) + u"\r\n"_s;
        converted += item->data(0, kRowStateRole).toInt() == static_cast<int>(ResultRowState::Done);
    }
    copyToClipboard(text);
    flashSummary(u"已复制 %1 个短网址"_s.arg(converted));
}

void MainWindow::openRow(QTreeWidgetItem* item) {
    if (!item) return;
    // A failed row has nothing to open; what it can offer is why it failed.
    const QString reason = item->data(0, kRowReasonRole).toString();
    if (!reason.isEmpty()) {
        MessageBox::information(this, toQt(appTitle()), item->text(1) + u"\r\n\r\n"_s + reason);
        return;
    }
    openWithShell(item->text(0));
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    // The start button is the window's default button; widgets that use Return
    // themselves (lists, multi-line text) keep it, and only then does it arrive here.
    // Ctrl+V reaches the window only when no text field took it.
    if (event->matches(QKeySequence::Paste) && pasteFromKeyboard()) return;
    const bool isReturn = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    QWidget* focus = QApplication::focusWidget();
    const bool ownUse = qobject_cast<QAbstractItemView*>(focus) != nullptr ||
                        qobject_cast<QTextEdit*>(focus) != nullptr ||
                        qobject_cast<QPlainTextEdit*>(focus) != nullptr;
    if (isReturn && !ownUse && generateButton_->isVisible() && generateButton_->isEnabled()) {
        generateButton_->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void MainWindow::copyRowAt(const QPoint& position) {
    // Off the rows the menu still offers what the list can take in.
    QTreeWidgetItem* item = resultsView_->itemAt(position);
    if (item) {
        // A right click inside a selection keeps it, for the menu's copies.
        if (!item->isSelected()) resultsView_->setCurrentItem(item);
        copyToClipboard(item->text(0));
    }
    resultsMenu(item)->popup(resultsView_->viewport()->mapToGlobal(position));
}

void MainWindow::showQuestions() {
    showInformation(introductionText(), u"疑点说明"_s, this);
}

void MainWindow::openFileConverter() {
    if (fileConverterOpener_) fileConverterOpener_();
}

}  // namespace lianshuo
