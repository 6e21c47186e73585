#pragma once
// The start-up window: the service choice, the list of custom interfaces, the
// results list and its batch, the Baidu token and the result folder. The
// batch and the services read it through the two interfaces it implements.

#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "jobs/batchjob.h"
#include "services/builtinhosts.h"
#include "services/conversionsource.h"
#include "store/settings.h"
#include "ui/qtjobloop.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QMimeData;
class QPushButton;
class QSpinBox;
class QSystemTrayIcon;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

namespace lianshuo {

class ClipboardShortener;
class ConversionHistory;
class InterfacePanel;
class RightClickButton;
struct PastedLine;
class ShortUrlConverter;

class MainWindow : public QWidget, public ConversionSource, public BatchView {
    Q_OBJECT
public:
    /// Builds the window and runs the start-up sequence against settingsStore().
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    int selectedService() const override;
    std::string baiduToken() const override;
    std::string baiduTokenFailure() const override;
    ShortUrlInterface readInterfaceFromPanel() const override;
    Result<ShortUrlInterface> savedInterface(std::string_view name) const override;

    int rowCount() const override;
    std::string longUrl(int row) const override;
    void setRow(int row, std::string_view text, ResultRowState state) override;
    void showOutcome(int row, const ConversionOutcome& outcome) override;
    void batchFinished(const BatchSummary& summary) override;
    void setGenerateCaption(std::string_view caption) override;
    void setPasteCopyEnabled(bool enabled) override;
    std::string intervalText() const override;
    int parallelRequests() const override;
    std::string addedQuery() const override;
    void setSentAddress(int row, std::string_view address) override;
    /// Fails, saying why, when the "追加参数" field cannot be used.
    Status checkedAddedQuery() const;
    ShortAddressRules shortAddressRules() const override;
    /// Whether a batch is under way (it runs on in the event loop after the start click).
    bool batchRunning() const { return batch_ && batch_->running(); }
    bool autoSave() const override;
    std::string saveFolder() const override;
    void setResultFilePath(std::string_view path) override;
    AddressSource addressSource() override;
    void batchProgress(int finished, int total) override;

    /// Adds a results row for `url` waiting to be converted.
    void addWaitingRow(const QString& url);
    /// Adds the rows of what was dropped on the results list: text, links, files.
    void addDroppedData(const QMimeData* dropped);
    /// Adds the rows of the file at `path`: its lines when it is a list of
    /// addresses (always with `asList`), else the addresses found in its text.
    void addFileRows(const QString& path, bool asList);
    /// The results file the last batch wrote to, or empty.
    const std::string& resultFilePath() const { return resultFilePath_; }
    /// The converter every run of this window goes through, made at its first use.
    ShortUrlConverter& converter();
    /// Installs what the banner's file converter image and link open.
    void setFileConverterOpener(std::function<void()> opener);
    /// The history file: beside the settings file, unless LIANSHUO_HISTORY names another.
    std::string historyPath() const;
    /// The tray icon and its menu, made when the desktop has a tray; null without.
    QSystemTrayIcon* trayIcon() const { return tray_; }
    QMenu* trayMenu() const { return trayMenu_; }
    /// Whether closing the window now hides it to the tray ("托盘" on, a tray there).
    bool hidesToTray() const;
    /// Shows the window again, restored and in front, as the tray's "显示主窗口" does.
    void showMainWindow();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildBanner();
    void buildServiceColumn();
    void buildResultsColumn();
    void buildTokenGroup();
    void layOut();
    void tieNamesAndKeys();

    void connectEvents();
    void connectBanner();
    void applyServiceChoice();
    void toggleTokenGroup();
    void pasteToken();
    void applySaveFolderRule();
    void chooseSaveFolder();
    void showSaveFolder();
    void pasteLongUrls();
    void copyShortUrls();
    void openRow(QTreeWidgetItem* item);
    void copyRowAt(const QPoint& position);
    /// The context menu of the results row `item` (null off the rows), one entry per thing
    /// to do with it; it deletes itself once closed.
    QMenu* resultsMenu(QTreeWidgetItem* item);

    // The ways into the results list beside the paste button, and copying a selection.
    void buildInput();
    void addRowsOf(const std::vector<PastedLine>& lines);
    void addInputActions(QMenu* menu);
    void openListFile();
    void copySelectedRows(bool withLongUrls);
    bool pasteFromKeyboard();
    // Says `text` in the summary line for a few seconds, then shows what was there again.
    void flashSummary(const QString& text);
    void showQuestions();
    void openFileConverter();
    void openHistoryWindow();
    void attachHistory();
    void applyHistoryChoice();

    void fillInterfaceList();
    void addClicked();
    void addOrModifyInterface();
    void selectInterface(int row);
    void loadSelectedInterface();
    void deleteSelectedInterface();
    void clearAllInterfaces();
    void testInterface();
    void showTestOutcome(const QString& longUrl, const ConversionOutcome& outcome);
    void closePanel();

    void buildDesktopControls();
    void buildTray();
    void connectDesktop();
    void applyTrayChoice();
    void clipboardChanged();
    void shortenClipboard();
    void copyToClipboard(const QString& text);
    void notify(const QString& text);
    void quitFromTray();
    ClipboardShortener& clipboardJob();

    BatchJob& batch();
    void startUp();
    AppSettings settingsInControls() const;

    QComboBox* serviceCombo_ = nullptr;
    QPushButton* tokenButton_ = nullptr;
    QPushButton* addButton_ = nullptr;
    QPushButton* deleteButton_ = nullptr;
    QPushButton* clearButton_ = nullptr;
    QListWidget* interfaceList_ = nullptr;
    QCheckBox* autoSaveBox_ = nullptr;
    QCheckBox* useHistoryBox_ = nullptr;
    QCheckBox* verifyBox_ = nullptr;
    QLineEdit* saveFolderEdit_ = nullptr;
    RightClickButton* saveFolderButton_ = nullptr;
    QTreeWidget* resultsView_ = nullptr;
    QLineEdit* intervalEdit_ = nullptr;
    QSpinBox* parallelBox_ = nullptr;
    QLineEdit* addedQueryEdit_ = nullptr;
    QPushButton* generateButton_ = nullptr;
    QPushButton* pasteButton_ = nullptr;
    QPushButton* copyButton_ = nullptr;
    QLabel* summaryLabel_ = nullptr;
    QLabel* emptyHint_ = nullptr;
    QTimer* summaryFlash_ = nullptr;
    QString summaryKept_;  // what the summary line said before a flash
    QString generateTip_;  // the start button's own tooltip, back once a batch ends
    int batchRows_ = 0;    // the rows of the running batch
    QGroupBox* tokenGroup_ = nullptr;
    QLineEdit* tokenEdit_ = nullptr;
    QCheckBox* showTokenBox_ = nullptr;
    QPushButton* tokenPasteButton_ = nullptr;
    // "令牌存储" of a Baidu token the keyring did not give at start-up: an
    // empty field then leaves it there rather than clearing it. (The window's
    // literals are not GBK, so it carries the stored value, never spells it.)
    std::string baiduTokenStorage_;
    std::string baiduTokenFailure_;  // why the keyring did not give it
    InterfacePanel* panel_ = nullptr;
    QCheckBox* watchBox_ = nullptr;
    QCheckBox* trayBox_ = nullptr;
    QSystemTrayIcon* tray_ = nullptr;
    QMenu* trayMenu_ = nullptr;
    bool quitting_ = false;  // the tray's "退出": this close really closes

    BuiltinHosts hosts_;
    // Outlives the jobs whose steps it runs.
    QtJobLoop jobLoop_;
    // Opened with the converter, which points at it, and so declared before it.
    std::unique_ptr<ConversionHistory> history_;
    // Both wait for their first use: the converter starts the HTTP client,
    // which showing the window does not need.
    std::unique_ptr<ShortUrlConverter> converter_;
    std::unique_ptr<BatchJob> batch_;
    // The interface test; declared after the converter, so it ends (and stops) first.
    OneOffJob interfaceTest_{jobLoop_};
    // The clipboard's conversions, made at the first copy watched; ends before the converter.
    std::unique_ptr<ClipboardShortener> clipboardJob_;
    std::string resultFilePath_;
    int retries_ = AppSettings{}.retries;  // "重试次数", read at start-up
    bool shortenShort_ = false;            // "转换短网址", read at start-up
    std::function<void()> fileConverterOpener_;
};

}  // namespace lianshuo
