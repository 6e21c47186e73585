// The main window on the desktop: the clipboard watch, the tray icon with its
// menu, and closing to the tray.

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QSystemTrayIcon>
#include <algorithm>

#include "jobs/clipboardshortener.h"
#include "services/shorturlconverter.h"
#include "store/settings.h"
#include "ui/controls.h"
#include "ui/desktopclipboard.h"
#include "ui/desktoptray.h"
#include "ui/fileconverterwindow.h"
#include "ui/icons.h"
#include "ui/mainwindow.h"
#include "ui/qtext.h"

namespace lianshuo {

using namespace Qt::Literals::StringLiterals;

void MainWindow::buildDesktopControls() {
    // Above "使用历史", in the banner's free column, so no control moves.
    auto* banner = findChild<QWidget*>(u"图片框1"_s);
    watchBox_ = addControl<QCheckBox>(banner, u"选择框监视剪贴板"_s, QRect(252, 14, 100, 24),
                                      u"监视剪贴板"_s);
    watchBox_->setFont(uiFont(FontFace::Song, 12));
    watchBox_->setToolTip(u"在任何程序中复制一个长网址，自动换成短网址"_s);
    trayBox_ = addControl<QCheckBox>(banner, u"选择框托盘"_s, QRect(252, 38, 136, 24),
                                     u"关闭时最小化到托盘"_s);
    trayBox_->setFont(uiFont(FontFace::Song, 12));

    const ClipboardSignals told = clipboardSignals(QGuiApplication::platformName());
    if (told == ClipboardSignals::Always) return;
    // Where copies elsewhere go unseen, the box says so, and what to do instead.
    const QString why = told == ClipboardSignals::WhileFocused
                            ? u"此桌面只在本窗口激活时通知剪贴板的变化"_s
                            : u"此桌面不通知其他程序的复制"_s;
    auto* note =
        addControl<QLabel>(banner, u"标签监视剪贴板受限"_s, QRect(352, 14, 40, 24), u"(受限)"_s);
    note->setFont(uiFont(FontFace::Song, 12));
    const QString tip = why + u"；请用托盘菜单的“从剪贴板缩短”"_s;
    note->setToolTip(tip);
    watchBox_->setToolTip(tip);
}

void MainWindow::buildTray() {
    if (!systemTrayAvailable()) {
        trayBox_->setEnabled(false);
        trayBox_->setToolTip(u"桌面没有系统托盘，关闭窗口即退出"_s);
        return;
    }
    trayBox_->setToolTip(u"关闭主窗口时隐藏到系统托盘，从托盘菜单“退出”"_s);
    tray_ = new QSystemTrayIcon(QIcon(QPixmap::fromImage(programIcon(64))), this);
    tray_->setObjectName(u"托盘图标"_s);
    tray_->setToolTip(toQt(appTitle()));
    trayMenu_ = new QMenu(this);
    trayMenu_->setObjectName(u"托盘菜单"_s);
    const auto add = [this](const QString& caption) {
        QAction* action = trayMenu_->addAction(caption);
        action->setObjectName(caption);
        return action;
    };
    connect(add(u"显示主窗口"_s), &QAction::triggered, this, &MainWindow::showMainWindow);
    QAction* watch = add(u"监视剪贴板"_s);
    watch->setCheckable(true);
    watch->setChecked(watchBox_->isChecked());
    connect(watch, &QAction::toggled, watchBox_, &QCheckBox::setChecked);
    connect(watchBox_, &QCheckBox::toggled, watch, &QAction::setChecked);
    connect(add(u"从剪贴板缩短"_s), &QAction::triggered, this, &MainWindow::shortenClipboard);
    trayMenu_->addSeparator();
    connect(add(u"文件短网址转换器"_s), &QAction::triggered, this, &MainWindow::openFileConverter);
    connect(add(u"历史记录"_s), &QAction::triggered, this, &MainWindow::openHistoryWindow);
    trayMenu_->addSeparator();
    connect(add(u"退出"_s), &QAction::triggered, this, &MainWindow::quitFromTray);
    tray_->setContextMenu(trayMenu_);
    connect(tray_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason why) {
                if (why == QSystemTrayIcon::Trigger) showMainWindow();
            });
    tray_->show();
}

void MainWindow::connectDesktop() {
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this,
            &MainWindow::clipboardChanged);
}

bool MainWindow::hidesToTray() const {
    return tray_ != nullptr && trayBox_->isChecked() && !quitting_;
}

void MainWindow::showMainWindow() {
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

void MainWindow::quitFromTray() {
    quitting_ = true;
    // Other windows close with this one; the icon goes with the application.
    if (close()) QCoreApplication::quit();
    quitting_ = false;
}

ClipboardShortener& MainWindow::clipboardJob() {
    if (!clipboardJob_) {
        ShortUrlConverter& converter = this->converter();
        clipboardJob_ = std::make_unique<ClipboardShortener>(
            converter, jobLoop_, desktopClipboard(),
            ClipboardWatch::knownShortHosts(converter.hosts()),
            [this](const std::string& message) { notify(toQt(message)); },
            [this] {
                const auto files = findChildren<FileConverterWindow*>(Qt::FindDirectChildrenOnly);
                return batchRunning() || std::any_of(files.begin(), files.end(),
                                                     [](auto* w) { return w->running(); });
            });
    }
    return *clipboardJob_;
}

void MainWindow::clipboardChanged() {
    if (watchBox_->isChecked()) clipboardJob().clipboardChanged();
}

void MainWindow::shortenClipboard() {
    clipboardJob().shortenClipboard();
}

void MainWindow::copyToClipboard(const QString& text) {
    // The program's own copy is a result, not a long address to convert.
    if (clipboardJob_ || watchBox_->isChecked()) clipboardJob().ownCopy(fromQt(text));
    QGuiApplication::clipboard()->setText(text);
}

void MainWindow::notify(const QString& text) {
    if (tray_ && tray_->isVisible())
        tray_->showMessage(toQt(appTitle()), text, QSystemTrayIcon::Information, 5000);
    else
        summaryLabel_->setText(text);
}

}  // namespace lianshuo
