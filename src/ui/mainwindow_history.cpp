// The main window's side of the conversion history: the converter's history,
// the setting "使用历史" and the banner's history window.

#include <QCheckBox>

#include "history/conversionhistory.h"
#include "services/shorturlconverter.h"
#include "store/controlstatestore.h"
#include "store/settings.h"
#include "ui/dialogs.h"
#include "ui/historywindow.h"
#include "ui/mainwindow.h"
#include "ui/qtext.h"

namespace lianshuo {

using namespace Qt::Literals::StringLiterals;

std::string MainWindow::historyPath() const {
    const std::string& settings = settingsStore().path();
    return settings.empty() ? historyFilePath() : historyFilePath(settings);
}

void MainWindow::attachHistory() {
    auto history = std::make_unique<ConversionHistory>();
    const Status status = history->open(historyPath());
    if (!history->openWarning().empty())
        MessageBox::warning(this, toQt(appTitle()), toQt(history->openWarning()));
    if (!status.ok()) {
        // Said once, when the first run needs it; the window converts without it.
        MessageBox::warning(this, toQt(appTitle()),
                            u"历史不可用，转换不使用历史："_s + toQt(status.reason()));
        return;
    }
    history_ = std::move(history);
    converter_->setHistoryWarning([this](std::string_view message) {
        MessageBox::warning(this, toQt(appTitle()), toQt(message));
    });
    applyHistoryChoice();
}

void MainWindow::applyHistoryChoice() {
    // Conversions are kept either way; the box decides only whether they are reused.
    if (converter_ && history_) converter_->setHistory(history_.get(), useHistoryBox_->isChecked());
}

void MainWindow::openHistoryWindow() {
    showHistoryWindow(this, historyPath());
}

}  // namespace lianshuo
