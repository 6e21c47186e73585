// The ways into the results list beside the paste button: Ctrl+V, what is
// dropped on the list (text, links, list files and pages), the list's own
// menu, and the hint an empty list shows. A line that cannot be a web address
// becomes a failed row at once and is never sent.

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QTreeWidget>
#include <QUrl>
#include <functional>
#include <memory>

#include "base/charset.h"
#include "base/paths.h"
#include "base/platform.h"
#include "jobs/addressscanner.h"
#include "jobs/pastedaddresses.h"
#include "store/settings.h"
#include "ui/dialogs.h"
#include "ui/interfacepanel.h"
#include "ui/mainwindow.h"
#include "ui/qtext.h"
#include "ui/resultslist.h"

namespace lianshuo {

using namespace Qt::Literals::StringLiterals;

namespace {

// A list file larger than this is read as a page: only the addresses found in it count.
constexpr std::uintmax_t kLargestListFile = std::uintmax_t{16} << 20;

// The window's narrow literals are UTF-8, so the reason is spelt as a Qt string.
QString notAnAddress() {
    return u"不是网址"_s;
}

// Hands the events of the list's viewport to the window before the list sees them.
class ViewportEvents : public QObject {
public:
    ViewportEvents(QObject* parent, std::function<bool(QEvent*)> handle)
        : QObject(parent), handle_(std::move(handle)) {}
    bool eventFilter(QObject*, QEvent* event) override { return handle_(event); }

private:
    std::function<bool(QEvent*)> handle_;
};

}  // namespace

void MainWindow::buildInput() {
    resultsView_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    resultsView_->setAcceptDrops(true);
    resultsView_->viewport()->setAcceptDrops(true);
    emptyHint_ = new QLabel(u"粘贴（Ctrl+V）或拖入网址、文本文件"_s, resultsView_->viewport());
    emptyHint_->setObjectName(u"标签空列表提示"_s);
    emptyHint_->setAlignment(Qt::AlignCenter);
    emptyHint_->setForegroundRole(QPalette::PlaceholderText);
    emptyHint_->setAttribute(Qt::WA_TransparentForMouseEvents);
    emptyHint_->setGeometry(resultsView_->viewport()->rect());
    QWidget* viewport = resultsView_->viewport();
    viewport->installEventFilter(new ViewportEvents(this, [this, viewport](QEvent* event) {
        switch (event->type()) {
            case QEvent::DragEnter:
            case QEvent::DragMove: {
                auto* drag = static_cast<QDragMoveEvent*>(event);
                const QMimeData* dragged = drag->mimeData();
                if (!batchRunning() && dragged && (dragged->hasUrls() || dragged->hasText()))
                    drag->acceptProposedAction();
                else
                    drag->ignore();
                return true;
            }
            case QEvent::Drop: {
                auto* drop = static_cast<QDropEvent*>(event);
                if (batchRunning() || !drop->mimeData()) return true;
                addDroppedData(drop->mimeData());
                drop->acceptProposedAction();
                return true;
            }
            case QEvent::Resize:
                emptyHint_->setGeometry(viewport->rect());
                return false;
            default:
                return false;
        }
    }));
    // Tied to the hint, which goes before the list's model when the window closes.
    QAbstractItemModel* rows = resultsView_->model();
    const auto showHint = [hint = emptyHint_, rows] { hint->setVisible(rows->rowCount() == 0); };
    for (const auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(rows, signal, emptyHint_, showHint);
    connect(rows, &QAbstractItemModel::modelReset, emptyHint_, showHint);
    showHint();
}

void MainWindow::addRowsOf(const std::vector<PastedLine>& lines) {
    for (const PastedLine& line : lines) {
        if (line.webAddress) {
            addWaitingRow(toQt(line.address));
            continue;
        }
        auto* item = new QTreeWidgetItem(resultsView_);
        item->setText(1, toQt(line.address));
        item->setData(0, kRowRefusalRole, notAnAddress());
        showOutcomeRow(item,
                       ConversionOutcome::failed(FailureKind::Refused, fromQt(notAnAddress())));
    }
}

bool MainWindow::pasteFromKeyboard() {
    // Only while the list is in view and the paste button could be pressed.
    if (!pasteButton_->isEnabled() || !panel_->isHidden() || tokenGroup_->isVisible()) return false;
    pasteLongUrls();
    return true;
}

void MainWindow::addDroppedData(const QMimeData* dropped) {
    if (dropped->hasUrls()) {
        for (const QUrl& url : dropped->urls()) {
            if (url.isLocalFile())
                addFileRows(url.toLocalFile(), false);
            else
                addRowsOf(pastedLines(fromQt(url.toString())));
        }
        return;
    }
    if (dropped->hasText()) addRowsOf(pastedLines(fromQt(dropped->text())));
}

void MainWindow::addFileRows(const QString& path, bool asList) {
    const std::filesystem::path file = nativePath(fromQt(path));
    const auto refuse = [this, &path](const std::string& reason) {
        MessageBox::warning(this, toQt(appTitle()), u"无法读取 "_s + path + u"："_s + toQt(reason));
    };
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(file, ec);
    if (!ec && size <= kLargestListFile) {
        const Result<platform::FileContent> read = platform::readWholeFile(file);
        if (!read) return refuse(read.reason());
        if (asList || readsAsAddressList(read->bytes)) return addRowsOf(listedLines(read->bytes));
    } else if (asList && !ec) {
        return refuse(fromQt(u"文件超过 16 MiB，不像是网址列表"_s));
    }
    // A page or any other text: the addresses the file converter would find in it.
    std::vector<PastedLine> found;
    bool utf8 = false;
    const Status scanned =
        scanFileOfEitherEncoding(file, utf8, [&](std::size_t, std::string_view bytes) {
            std::string address = utf8 ? fromUtf8(bytes) : std::string(bytes);
            const bool web = looksLikeWebAddress(address);
            found.push_back({std::move(address), web});
            return bytes;
        });
    if (!scanned) return refuse(scanned.reason());
    addRowsOf(found);
}

void MainWindow::openListFile() {
    const QString path = FileDialog::getOpenFileName(
        this, u"打开列表文件"_s, u"文本文件 (*.txt *.csv *.lst);;全部文件 (*)"_s);
    if (!path.isEmpty()) addFileRows(path, true);
}

void MainWindow::copySelectedRows(bool withLongUrls) {
    QString text;
    int copied = 0;
    for (int row = 0; row < resultsView_->topLevelItemCount(); ++row) {
        const QTreeWidgetItem* item = resultsView_->topLevelItem(row);
        if (!item->isSelected()) continue;
        const bool converted =
            item->data(0, kRowStateRole).toInt() == static_cast<int>(ResultRowState::Done);
        copied += converted ? 1 : 0;
        // Only short addresses alone; a whole row is copied as it stands, for what failed too.
        if (withLongUrls)
            text += item->text(0) + u"\t"_s + item->text(1) + u"\r\n"_s;
        else if (converted)
            text += item->text(0) + u"\r\n"_s;
    }
    if (!text.isEmpty()) copyToClipboard(text);
    flashSummary(u"已复制 %1 个短网址"_s.arg(copied));
}

void MainWindow::addInputActions(QMenu* menu) {
    menu->addSeparator();
    const bool idle = !batchRunning();
    const bool selected = !resultsView_->selectedItems().isEmpty() && copyButton_->isEnabled();
    menu->addAction(u"打开列表文件…"_s, this, &MainWindow::openListFile)->setEnabled(idle);
    menu->addAction(u"粘贴"_s, this, &MainWindow::pasteLongUrls)->setEnabled(idle);
    menu->addAction(u"复制所选短网址"_s, this, [this] { copySelectedRows(false); })
        ->setEnabled(selected);
    menu->addAction(u"复制所选行（短网址 + 长网址）"_s, this, [this] { copySelectedRows(true); })
        ->setEnabled(selected);
    menu->addAction(u"清除"_s, resultsView_, &QTreeWidget::clear)->setEnabled(idle);
}

AddressSource MainWindow::addressSource() {
    // The rows as they are when the batch starts; a line that is no address fails unsent.
    auto listed = std::make_shared<std::vector<ListedAddress>>();
    for (int row = 0; row < resultsView_->topLevelItemCount(); ++row) {
        const QTreeWidgetItem* item = resultsView_->topLevelItem(row);
        listed->push_back(
            {fromQt(item->text(1)), fromQt(item->data(0, kRowRefusalRole).toString())});
    }
    return [listed, next = std::size_t{0}]() mutable -> std::optional<ListedAddress> {
        if (next == listed->size()) return std::nullopt;
        return std::move((*listed)[next++]);
    };
}

}  // namespace lianshuo
