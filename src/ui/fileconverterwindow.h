#pragma once
// The file converter's window: the source folder and file pattern, the URL
// white and black lists, and the start button whose click runs the engine.
// It uses the service and the interval chosen in the main window that owns it.

#include <QString>
#include <QStringList>
#include <QWidget>
#include <optional>

#include "jobs/fileconverter.h"
#include "ui/qtjobloop.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace lianshuo {

class MainWindow;
class RightClickButton;

class FileConverterWindow : public QWidget, public FileConverterView {
    Q_OBJECT
public:
    /// Builds the window as a top-level window owned by `owner` and restores its settings.
    explicit FileConverterWindow(MainWindow& owner);
    ~FileConverterWindow() override;

    void setStartCaption(std::string_view caption) override;
    FileConverterSettings settings() const override;
    std::string intervalText() const override;
    int parallelRequests() const override;
    std::string addedQuery() const override;
    void showMessage(std::string_view text) override;
    void showProgress(bool visible) override;
    void setProgress(int position, int count, std::string_view caption) override;
    void clearRows() override;
    void addRow(std::string_view text, std::string_view longUrl, ResultRowState state) override;
    void setRow(int row, std::string_view text, ResultRowState state) override;
    void showOutcome(int row, const ConversionOutcome& outcome) override;
    void fileFailed(std::string_view name, std::string_view reason) override;
    void addressFailed(int row, std::string_view file, const ConversionOutcome& outcome) override;
    void finished(const FileRunSummary& summary) override;

    /// True while a run started from this window is going on.
    bool running() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildFolderRow();
    void buildListAndButtons();
    void buildUrlLists();
    void buildFailureList();
    void layOut();
    void tieNamesAndKeys();
    void buildModeRow();
    void connectEvents();

    void showSettings(const FileConverterSettings& settings);
    void restoreSettings();
    void applyWhiteListRule();
    void applyBlackListRule();
    void chooseFolder();
    void startOrStop(bool bySearch);
    /// Adds a row to the run's failures: why, and the address or the file.
    void addFailure(const QString& reason, const QString& what, const QString& tip);
    void showFailuresOnly(bool only);
    void applyModeRule();

    MainWindow& owner_;
    // Made at the first start: the converter behind it starts the HTTP client,
    // which merely opening the window does not need.
    QtJobLoop jobLoop_;  // declared first: it outlives the engine
    std::optional<FileConverterEngine> engine_;
    // A close asked for during a run, carried out once the run has ended.
    bool closePending_ = false;
    // The files of the current run that could not be read or written, with why.
    QStringList failedFiles_;

    QLabel* folderLabel_ = nullptr;
    QLineEdit* folderEdit_ = nullptr;
    QLineEdit* patternEdit_ = nullptr;
    QPushButton* chooseButton_ = nullptr;
    QProgressBar* progressBar_ = nullptr;
    QLabel* progressLabel_ = nullptr;
    QTreeWidget* resultsView_ = nullptr;
    // Every failure of the run, kept after it ends; shown in the results' place on demand.
    QTreeWidget* failuresView_ = nullptr;
    QCheckBox* failuresOnlyBox_ = nullptr;
    RightClickButton* startButton_ = nullptr;
    QPushButton* helpButton_ = nullptr;
    QCheckBox* whiteBox_ = nullptr;
    QLineEdit* whiteEdit_ = nullptr;
    QComboBox* whiteMode_ = nullptr;
    QCheckBox* blackBox_ = nullptr;
    QLineEdit* blackEdit_ = nullptr;
    QComboBox* blackMode_ = nullptr;
    QLabel* modeLabel_ = nullptr;
    QComboBox* modeList_ = nullptr;  // shorten, expand or migrate, as RunKind counts them
    QLineEdit* hostsEdit_ = nullptr;
};

/// Opens the file converter window owned by `owner`, or raises the one already open.
void showFileConverterWindow(MainWindow& owner);

/// The file converter's help, with CR LF line breaks.
QString fileConverterHelpText();

}  // namespace lianshuo
