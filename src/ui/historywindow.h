#pragma once
// The history window: the kept conversions in a table that a search box
// filters by long or short address, with copy, open, delete and export, and
// a row's QR code from its context menu.
// It reads the history through a connection of its own, so a batch in the
// main window and a command-line run can write while it is open. Its 检查
// button asks the selected short addresses (or all of them) where they lead,
// as a job of the window that a second click stops.

#include <QList>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <string>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace lianshuo {

class ConversionHistory;
class HistoryTableModel;
class LinkCheckJob;
class QtJobLoop;

class HistoryWindow : public QWidget {
    Q_OBJECT
public:
    /// A top-level window owned by `owner` over an open history, which it keeps.
    HistoryWindow(std::unique_ptr<ConversionHistory> history, QWidget* owner);
    ~HistoryWindow() override;

    HistoryTableModel& model() const { return *model_; }
    /// Whether a check runs.
    bool checking() const;

private:
    void buildControls();
    void layOut();
    void connectEvents();
    QList<int> selectedRows() const;
    void copySelected();
    void openCurrent();
    void deleteSelected();
    void exportAll();
    void showRowMenu(const QPoint& position);
    void showState();
    void checkClicked();
    void checkEnded();

    std::unique_ptr<ConversionHistory> history_;
    HistoryTableModel* model_ = nullptr;
    QLineEdit* searchEdit_ = nullptr;
    QLabel* stateLabel_ = nullptr;
    QTableView* table_ = nullptr;
    QPushButton* copyButton_ = nullptr;
    QPushButton* openButton_ = nullptr;
    QPushButton* deleteButton_ = nullptr;
    QPushButton* exportButton_ = nullptr;
    QPushButton* checkButton_ = nullptr;
    QComboBox* stateFilter_ = nullptr;
    std::unique_ptr<QtJobLoop> checkLoop_;
    std::unique_ptr<LinkCheckJob> checkJob_;
    int checkTotal_ = 0, checkDone_ = 0;
    int checkCounts_[4] = {};
    // Typing waits for a pause before the walk starts again.
    QTimer searchDelay_;
};

/// Shows the history window of `owner` over the history at the GBK `path`,
/// or raises the one already open; a history that cannot be opened is a
/// warning box with the reason.
void showHistoryWindow(QWidget* owner, const std::string& path);

}  // namespace lianshuo
