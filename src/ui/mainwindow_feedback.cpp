// What the summary line and the start button say while a batch runs, and the
// short notes the summary line shows for a moment (what a copy took).

#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "ui/mainwindow.h"

namespace lianshuo {

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int kFlashMs = 4000;

}  // namespace

void MainWindow::batchProgress(int finished, int total) {
    if (finished == 0) {
        // The last batch's counts would read as this one's.
        generateTip_ = generateButton_->toolTip();
        batchRows_ = total;
    }
    summaryLabel_->setText(u"正在转换 %1/%2…"_s.arg(finished).arg(batchRows_));
    // The caption "停止生成(N:I)" gives the total and the row under way; the tooltip says so.
    generateButton_->setToolTip(u"共 %1 个，已完成 %2 个"_s.arg(batchRows_).arg(finished));
}

void MainWindow::flashSummary(const QString& text) {
    if (!summaryFlash_) {
        summaryFlash_ = new QTimer(this);
        summaryFlash_->setSingleShot(true);
        connect(summaryFlash_, &QTimer::timeout, this, [this] {
            // Whatever replaced the note since (a batch's counts) stays.
            if (summaryLabel_->text() == summaryLabel_->property("flash").toString())
                summaryLabel_->setText(summaryKept_);
        });
    }
    if (!summaryFlash_->isActive()) summaryKept_ = summaryLabel_->text();
    summaryLabel_->setProperty("flash", text);
    summaryLabel_->setText(text);
    summaryFlash_->start(kFlashMs);
}

}  // namespace lianshuo
