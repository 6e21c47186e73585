#include "ui/historywindow.h"

#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <algorithm>

#include "history/conversionhistory.h"
#include "jobs/linkcheckjob.h"
#include "store/settings.h"
#include "ui/anchorlayout.h"
#include "ui/controls.h"
#include "ui/dialogs.h"
#include "ui/historymodel.h"
#include "ui/qrcodedialog.h"
#include "ui/qtext.h"
#include "ui/qtjobloop.h"
#include "ui/shell.h"
#include "ui/windowplace.h"

namespace lianshuo {

using namespace Qt::Literals::StringLiterals;

HistoryWindow::HistoryWindow(std::unique_ptr<ConversionHistory> history, QWidget* owner)
    : QWidget(owner, Qt::Window), history_(std::move(history)) {
    setWindowTitle(u"历史记录 - "_s + toQt(appTitle()));
    resize(760, 480);
    setFont(uiFont(FontFace::Song, 13));
    model_ = new HistoryTableModel(*history_, this);
    buildControls();
    connectEvents();
    layOut();
    keepWindowPlace(this, PlacedWindow::History, table_->horizontalHeader());
    model_->reload();
    showState();
}

void HistoryWindow::layOut() {
    auto* layout = new AnchorLayout(this);
    layout->follow(searchEdit_, kGrow, kStay, {120, 24});
    layout->follow(stateFilter_, kMove, kStay);
    layout->follow(stateLabel_, kMove, kStay);
    layout->follow(table_, kGrow, kGrow, {300, 100});
    layout->follow(exportButton_, kMove, kMove);
    for (QPushButton* button : {copyButton_, openButton_, deleteButton_, checkButton_})
        layout->follow(button, kStay, kMove);
    // The addresses and the service share the width; times and counts keep theirs.
    shareColumns(table_, table_->horizontalHeader(), 3);
    table_->setAccessibleName(u"历史记录"_s);
    tieLabelsToFields(this);
    setTabOrderOf({searchEdit_, stateFilter_, table_, copyButton_, openButton_, deleteButton_,
                   checkButton_, exportButton_});
}

// The check's threads go first: their findings are posted to the loop.
HistoryWindow::~HistoryWindow() {
    checkJob_.reset();
}

bool HistoryWindow::checking() const {
    return checkJob_ && checkJob_->running();
}

void HistoryWindow::buildControls() {
    addControl<QLabel>(this, u"标签搜索"_s, QRect(12, 12, 48, 24), u"搜索："_s);
    searchEdit_ = addControl<QLineEdit>(this, u"编辑框搜索"_s, QRect(60, 12, 300, 24));
    searchEdit_->setPlaceholderText(u"长网址或短网址中的文字"_s);
    searchEdit_->setClearButtonEnabled(true);
    // What the last check found: the states as the history stores them, "未检查" as -1.
    stateFilter_ = addControl<QComboBox>(this, u"组合框状态筛选"_s, QRect(368, 12, 116, 24));
    stateFilter_->setAccessibleName(u"按状态筛选"_s);
    stateFilter_->addItem(u"全部状态"_s, kAnyLinkState);
    for (const int state : {1, 2, 3, 0})
        stateFilter_->addItem(toQt(std::string(linkStateName(state))), state);
    stateFilter_->addItem(u"未检查"_s, -1);
    stateLabel_ = addControl<QLabel>(this, u"标签状态"_s, QRect(492, 12, 256, 24));
    stateLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    table_ = addControl<QTableView>(this, u"列表框历史"_s, QRect(12, 44, 736, 384));
    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setWordWrap(false);
    table_->setContextMenuPolicy(Qt::CustomContextMenu);
    table_->verticalHeader()->hide();
    // Fixed heights: the view never measures a million rows to lay them out.
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(22);
    const int widths[] = {190, 200, 128, 140, 140, 48, 72};
    for (int column = 0; column < 7; ++column) table_->setColumnWidth(column, widths[column]);
    // The state beside the address it is about, in view without scrolling.
    table_->horizontalHeader()->moveSection(HistoryTableModel::StateColumn, 1);
    // A header click sorts; a third click on it goes back to newest first.
    table_->horizontalHeader()->setSortIndicatorClearable(true);
    table_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    table_->setSortingEnabled(true);

    copyButton_ =
        addControl<QPushButton>(this, u"按钮复制"_s, QRect(12, 440, 120, 28), u"复制短网址"_s);
    openButton_ =
        addControl<QPushButton>(this, u"按钮打开"_s, QRect(140, 440, 120, 28), u"打开短网址"_s);
    deleteButton_ =
        addControl<QPushButton>(this, u"按钮删除"_s, QRect(268, 440, 120, 28), u"删除所选"_s);
    checkButton_ =
        addControl<QPushButton>(this, u"按钮检查"_s, QRect(396, 440, 120, 28), u"检查"_s);
    checkButton_->setToolTip(u"请求所选（未选时全部）短网址，看它们是否仍跳转到长网址"_s);
    exportButton_ =
        addControl<QPushButton>(this, u"按钮导出"_s, QRect(628, 440, 120, 28), u"导出CSV.."_s);
    searchDelay_.setSingleShot(true);
    searchDelay_.setInterval(200);
}

void HistoryWindow::connectEvents() {
    connect(searchEdit_, &QLineEdit::textChanged, &searchDelay_, qOverload<>(&QTimer::start));
    connect(&searchDelay_, &QTimer::timeout, this,
            [this] { model_->setSearch(searchEdit_->text().trimmed()); });
    connect(model_, &HistoryTableModel::walkPaused, this, &HistoryWindow::showState);
    connect(model_, &QAbstractItemModel::modelReset, this, &HistoryWindow::showState);
    connect(model_, &HistoryTableModel::failed, this,
            [this](const QString& reason) { MessageBox::warning(this, toQt(appTitle()), reason); });
    connect(table_, &QTableView::doubleClicked, this, &HistoryWindow::openCurrent);
    connect(table_, &QTableView::customContextMenuRequested, this, &HistoryWindow::showRowMenu);
    connect(copyButton_, &QPushButton::clicked, this, &HistoryWindow::copySelected);
    connect(openButton_, &QPushButton::clicked, this, &HistoryWindow::openCurrent);
    connect(deleteButton_, &QPushButton::clicked, this, &HistoryWindow::deleteSelected);
    connect(exportButton_, &QPushButton::clicked, this, &HistoryWindow::exportAll);
    connect(checkButton_, &QPushButton::clicked, this, &HistoryWindow::checkClicked);
    connect(stateFilter_, &QComboBox::currentIndexChanged, this,
            [this] { model_->setStateFilter(stateFilter_->currentData().toInt()); });
}

QList<int> HistoryWindow::selectedRows() const {
    QList<int> rows;
    for (const QModelIndex& index : table_->selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void HistoryWindow::copySelected() {
    QString text;
    for (const int row : selectedRows()) text += toQt(model_->entry(row).shortUrl) + u"\r\n"_s;
    if (!text.isEmpty()) QGuiApplication::clipboard()->setText(text);
}

void HistoryWindow::openCurrent() {
    const QModelIndex current = table_->currentIndex();
    if (current.isValid()) openWithShell(toQt(model_->entry(current.row()).shortUrl));
}

void HistoryWindow::deleteSelected() {
    const QList<int> rows = selectedRows();
    if (rows.isEmpty()) return;
    if (MessageBox::show(
            this, QMessageBox::Question, toQt(appTitle()),
            u"确定要删除所选的 %1 条历史吗？以后转换这些长网址时会重新生成短网址。"_s.arg(
                rows.size()),
            QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    if (const Status status = model_->removeEntries(rows); !status.ok())
        MessageBox::warning(this, toQt(appTitle()), toQt(status.reason()));
    showState();
}

void HistoryWindow::exportAll() {
    const QString file =
        FileDialog::getSaveFileName(this, u"导出全部历史"_s, u"CSV 文件 (*.csv)"_s, u"csv"_s);
    if (file.isEmpty()) return;
    std::int64_t written = 0;
    const Status status = history_->exportCsv(fromQt(file), {}, &written);
    if (!status.ok()) {
        MessageBox::warning(this, toQt(appTitle()), toQt(status.reason()));
        return;
    }
    MessageBox::information(this, toQt(appTitle()),
                            u"已导出 %1 条历史到：\r\n"_s.arg(written) + file);
}

void HistoryWindow::showRowMenu(const QPoint& position) {
    const QModelIndex index = table_->indexAt(position);
    if (!index.isValid()) return;
    auto* menu = new QMenu(this);
    menu->setObjectName(u"菜单历史"_s);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    addQrCodeAction(menu, toQt(model_->entry(index.row()).shortUrl), this);
    menu->popup(table_->viewport()->mapToGlobal(position));
}

void HistoryWindow::checkClicked() {
    if (checking()) {
        checkButton_->setText(u"正在停止.."_s);
        checkJob_->stop();
        return;
    }
    std::vector<StoredLink> links;
    for (const int row : selectedRows()) {
        const HistoryEntry& e = model_->entry(row);
        links.push_back({e.id, e.shortUrl, e.longUrl});
    }
    if (links.empty()) {
        const Status read = history_->forEach({}, [&links](const HistoryEntry& e) {
            links.push_back({e.id, e.shortUrl, e.longUrl});
            return true;
        });
        if (!read.ok()) {
            MessageBox::warning(this, toQt(appTitle()), toQt(read.reason()));
            return;
        }
    }
    if (!checkLoop_) checkLoop_ = std::make_unique<QtJobLoop>();
    checkJob_ = std::make_unique<LinkCheckJob>(*checkLoop_, history_.get());
    checkTotal_ = static_cast<int>(links.size());
    checkDone_ = 0;
    std::fill(std::begin(checkCounts_), std::end(checkCounts_), 0);
    LinkCheckJob::Events events;
    events.checked = [this](std::size_t, const StoredLink&, const LinkCheck& found) {
        ++checkCounts_[static_cast<int>(found.state)];
        ++checkDone_;
        showState();
    };
    events.done = [this] { checkEnded(); };
    checkButton_->setText(u"停止检查"_s);
    // As many at once as a batch may convert: the services see no more than from a batch.
    constexpr int kChecksAtOnce = 4;
    checkJob_->start(std::move(links), kChecksAtOnce, {}, std::move(events));
    showState();
}

void HistoryWindow::checkEnded() {
    checkButton_->setText(u"检查"_s);
    const bool stopped = checkJob_->stopped();
    model_->reload();
    QString text = (stopped ? u"检查已停止，已检查 %1 个：\r\n"_s : u"检查完毕，共 %1 个：\r\n"_s)
                       .arg(checkDone_);
    text += u"有效 %1，失效 %2，指向别处 %3，未能验证 %4"_s.arg(checkCounts_[1])
                .arg(checkCounts_[2])
                .arg(checkCounts_[3])
                .arg(checkCounts_[0]);
    if (!checkJob_->historyStatus().ok())
        text += u"\r\n\r\n"_s + toQt(checkJob_->historyStatus().reason());
    MessageBox::information(this, toQt(appTitle()), text);
}

void HistoryWindow::showState() {
    const int rows = model_->rowCount();
    if (checking())
        stateLabel_->setText(u"检查中 %1/%2"_s.arg(checkDone_).arg(checkTotal_));
    else if (model_->walking())
        stateLabel_->setText(u"已显示 %1 条，查找中.."_s.arg(rows));
    else if (model_->canFetchMore({}))
        stateLabel_->setText(u"已显示 %1 条，向下滚动显示更多"_s.arg(rows));
    else
        stateLabel_->setText(u"共 %1 条"_s.arg(rows));
}

void showHistoryWindow(QWidget* owner, const std::string& path) {
    // A closed window lingers hidden until its deletion comes round.
    for (HistoryWindow* open : owner->findChildren<HistoryWindow*>(Qt::FindDirectChildrenOnly)) {
        if (!open->isVisible()) continue;
        open->model().reload();
        open->raise();
        open->activateWindow();
        return;
    }
    auto history = std::make_unique<ConversionHistory>();
    const Status status = history->open(path);
    if (!history->openWarning().empty())
        MessageBox::warning(owner, toQt(appTitle()), toQt(history->openWarning()));
    if (!status.ok()) {
        MessageBox::warning(owner, toQt(appTitle()), toQt(status.reason()));
        return;
    }
    auto* window = new HistoryWindow(std::move(history), owner);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
}

}  // namespace lianshuo
