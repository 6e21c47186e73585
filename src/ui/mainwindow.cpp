#include "ui/mainwindow.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTreeWidget>

#include "base/gbk.h"
#include "history/conversionhistory.h"
#include "jobs/clipboardshortener.h"
#include "jobs/interval.h"
#include "services/addedquery.h"
#include "services/interfacestore.h"
#include "services/panelinterface.h"
#include "services/shorturlconverter.h"
#include "store/controlstatestore.h"
#include "store/settings.h"
#include "ui/appearance.h"
#include "ui/clickables.h"
#include "ui/controls.h"
#include "ui/dialogs.h"
#include "ui/fileconverterwindow.h"
#include "ui/icons.h"
#include "ui/interfacepanel.h"
#include "ui/numberfield.h"
#include "ui/qtext.h"
#include "ui/resultslist.h"
#include "ui/settingssaves.h"
#include "ui/windowplace.h"
#include "version.h"

namespace lianshuo {

using namespace Qt::Literals::StringLiterals;

namespace {

// "生成间隔秒": seconds, to the millisecond, up to a day.
constexpr NumberRangeOfField kIntervalField{0, kLongestIntervalSeconds, 3, false};

}  // namespace

MainWindow::MainWindow(QWidget* parent)
    : QWidget(parent), hosts_(readBuiltinHosts(settingsStore())) {
    setWindowTitle(u"蓝棠·链梭 v"_s + QLatin1StringView(kWindowVersion) +
                   u" - 内置主流短网址，支持自定义短网址接口"_s);
    // The default size; the layout keeps every control in its place at it.
    // The Parts' 565 rows, and a strip below them for the campaign parameters.
    resize(770, 597);
    setFont(uiFont(FontFace::Song, 15));
    buildBanner();
    buildDesktopControls();
    buildServiceColumn();
    buildResultsColumn();
    buildTokenGroup();
    panel_ = new InterfacePanel(initialPanelInterface(hosts_), this);
    saveFolderButton_->raise();
    layOut();
    connectEvents();
    buildInput();
    startUp();
    buildTray();
    connectDesktop();
    tieNamesAndKeys();
    keepWindowPlace(this, PlacedWindow::Main, resultsView_->header());
}

MainWindow::~MainWindow() {
    // A file converter window still open runs its conversions with this window's
    // converter: it goes while the converter is still there.
    qDeleteAll(findChildren<FileConverterWindow*>(Qt::FindDirectChildrenOnly));
}

void MainWindow::startUp() {
    fillInterfaceList();
    // The controls' current values are the defaults of missing keys.
    AppSettings settings = settingsInControls();
    // The file decides, not a choice made earlier in this process.
    settings.appearance = AppSettings{}.appearance;
    loadSettings(settingsStore(), settings);
    if (const Status fetched = fetchBaiduToken(settingsStore(), settings); !fetched) {
        baiduTokenFailure_ = fetched.reason();
        tokenEdit_->setPlaceholderText(toQt(baiduTokenFailure_));
    }
    baiduTokenStorage_ = settings.tokenStorage;
    retries_ = settings.retries;
    shortenShort_ = settings.shortenShort;
    applyAppearance(static_cast<Appearance>(settings.appearance));
    {
        // The rules run once below, in their order, not once per restored control.
        const QSignalBlocker blockCombo(serviceCombo_);
        const QSignalBlocker blockList(interfaceList_);
        serviceCombo_->setCurrentIndex(settings.service);
        interfaceList_->setCurrentRow(settings.interfaceIndex);
    }
    // A stored interval that is no number in range reads as the nearest one, or 0.
    acceptNumbersOnly(intervalEdit_, kIntervalField);
    intervalEdit_->setText(numberInRange(toQt(settings.interval), kIntervalField));
    tokenEdit_->setText(toQt(settings.baiduToken));
    autoSaveBox_->setChecked(settings.autoSave);
    useHistoryBox_->setChecked(settings.useHistory);
    verifyBox_->setChecked(settings.verify);
    parallelBox_->setValue(settings.parallel);
    addedQueryEdit_->setText(toQt(settings.addedQuery));
    watchBox_->setChecked(settings.watchClipboard);
    trayBox_->setChecked(settings.tray);
    saveFolderEdit_->setText(toQt(settings.saveDir));
    loadSelectedInterface();
    applyServiceChoice();
    applySaveFolderRule();
}

AppSettings MainWindow::settingsInControls() const {
    AppSettings settings;
    settings.service = serviceCombo_->currentIndex();
    settings.interfaceIndex = interfaceList_->currentRow();
    settings.interval = fromQt(numberInRange(intervalEdit_->text(), kIntervalField));
    settings.autoSave = autoSaveBox_->isChecked();
    settings.useHistory = useHistoryBox_->isChecked();
    settings.verify = verifyBox_->isChecked();
    settings.parallel = parallelBox_->value();
    settings.addedQuery = addedQuery();
    settings.watchClipboard = watchBox_->isChecked();
    settings.tray = trayBox_->isChecked();
    settings.saveDir = fromQt(saveFolderEdit_->text());
    settings.baiduToken = fromQt(tokenEdit_->text());
    settings.appearance = static_cast<int>(currentAppearance());
    if (settings.baiduToken.empty()) settings.tokenStorage = baiduTokenStorage_;
    return settings;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (hidesToTray()) {
        // Kept for a session that ends while the window is away.
        reportSettingsSave(this, saveSettings(settingsStore(), settingsInControls()));
        hide();
        event->ignore();
        return;
    }
    // A batch still running underneath would go on converting for a closed window.
    if (batch_ && batch_->running()) batch_->requestStop();
    std::string keyringNotice;
    if (reportSettingsSave(this,
                           saveSettings(settingsStore(), settingsInControls(), &keyringNotice)))
        reportKeyringNotice(this, keyringNotice);
    event->accept();
}

ShortUrlConverter& MainWindow::converter() {
    if (!converter_) {
        converter_ = std::make_unique<ShortUrlConverter>(*this, hosts_);
        converter_->setRetryPolicy({.retries = retries_});
        converter_->setVerify(verifyBox_->isChecked());
        attachHistory();
    }
    return *converter_;
}

BatchJob& MainWindow::batch() {
    if (!batch_) batch_ = std::make_unique<BatchJob>(*this, converter(), &jobLoop_);
    return *batch_;
}

void MainWindow::setFileConverterOpener(std::function<void()> opener) {
    fileConverterOpener_ = std::move(opener);
}

int MainWindow::selectedService() const {
    return serviceCombo_->currentIndex();
}

std::string MainWindow::baiduToken() const {
    return fromQt(tokenEdit_->text());
}

std::string MainWindow::baiduTokenFailure() const {
    // A token typed in since stands in for the one the keyring kept.
    return tokenEdit_->text().isEmpty() ? baiduTokenFailure_ : std::string();
}

ShortUrlInterface MainWindow::readInterfaceFromPanel() const {
    return panel_->readInterface();
}

Result<ShortUrlInterface> MainWindow::savedInterface(std::string_view name) const {
    return loadSavedInterface(name, settingsStore());
}

int MainWindow::rowCount() const {
    return resultsView_->topLevelItemCount();
}

std::string MainWindow::longUrl(int row) const {
    const QTreeWidgetItem* item = resultsView_->topLevelItem(row);
    return item ? fromQt(item->text(1)) : std::string();
}

void MainWindow::setRow(int row, std::string_view text, ResultRowState state) {
    QTreeWidgetItem* item = resultsView_->topLevelItem(row);
    if (!item) return;
    showResultRow(item, toQt(text), state);
    if (state == ResultRowState::Converting) resultsView_->scrollToItem(item);
}

void MainWindow::showOutcome(int row, const ConversionOutcome& outcome) {
    if (QTreeWidgetItem* item = resultsView_->topLevelItem(row)) showOutcomeRow(item, outcome);
}

void MainWindow::batchFinished(const BatchSummary& summary) {
    summaryLabel_->setText(toQt(summaryLine(summary)));
    generateButton_->setToolTip(generateTip_);
    if (!summary.resultsFileError.empty())
        MessageBox::warning(this, toQt(appTitle()), toQt(summary.resultsFileError));
}

void MainWindow::addWaitingRow(const QString& url) {
    auto* item = new QTreeWidgetItem(resultsView_);
    item->setText(1, url);
    showResultRow(item, u"等待转换"_s, ResultRowState::Waiting);
}

void MainWindow::setGenerateCaption(std::string_view caption) {
    generateButton_->setText(toQt(caption));
    fitCaption(generateButton_);
}

void MainWindow::setPasteCopyEnabled(bool enabled) {
    pasteButton_->setEnabled(enabled);
    copyButton_->setEnabled(enabled);
}

std::string MainWindow::intervalText() const {
    return fromQt(intervalEdit_->text());
}

int MainWindow::parallelRequests() const {
    return parallelBox_->value();
}

std::string MainWindow::addedQuery() const {
    return trimSpaces(fromQt(addedQueryEdit_->text()));
}

Status MainWindow::checkedAddedQuery() const {
    return checkAddedQuery(addedQuery());
}

void MainWindow::setSentAddress(int row, std::string_view address) {
    if (QTreeWidgetItem* item = resultsView_->topLevelItem(row)) item->setText(1, toQt(address));
}

ShortAddressRules MainWindow::shortAddressRules() const {
    ShortAddressRules rules;
    rules.shortenShort = shortenShort_;
    return rules;
}

bool MainWindow::autoSave() const {
    return autoSaveBox_->isChecked();
}

std::string MainWindow::saveFolder() const {
    return fromQt(saveFolderEdit_->text());
}

void MainWindow::setResultFilePath(std::string_view path) {
    resultFilePath_ = path;
}

}  // namespace lianshuo
