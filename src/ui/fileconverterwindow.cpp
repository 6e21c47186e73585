#include "ui/fileconverterwindow.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QTreeWidget>

#include "base/gbk.h"
#include "jobs/fileconvertersettings.h"
#include "store/settings.h"
#include "ui/clickables.h"
#include "ui/dialogs.h"
#include "ui/infobox.h"
#include "ui/mainwindow.h"
#include "ui/qtext.h"
#include "ui/settingssaves.h"
#include "ui/shell.h"
#include "ui/windowplace.h"

namespace lianshuo {

using namespace Qt::Literals::StringLiterals;

FileConverterWindow::FileConverterWindow(MainWindow& owner)
    : QWidget(&owner, Qt::Window), owner_(owner) {
    setWindowTitle(u"文件短网址转换器 - 使用当前短网址设定，转换文本文件中的长网址为短网址"_s);
    // The default size; the layout keeps every control in its place at it.
    resize(716, 506);
    setFont(uiFont(FontFace::Song, 15));
    buildFolderRow();
    buildListAndButtons();
    buildUrlLists();
    buildFailureList();
    buildModeRow();
    layOut();
    tieNamesAndKeys();
    connectEvents();
    restoreSettings();
    keepWindowPlace(this, PlacedWindow::FileConverter, resultsView_->header());
    // Closing the main window closes this one too, so its settings are saved.
    owner.installEventFilter(this);
}

FileConverterWindow::~FileConverterWindow() = default;

void FileConverterWindow::connectEvents() {
    connect(chooseButton_, &QPushButton::clicked, this, &FileConverterWindow::chooseFolder);
    connect(whiteBox_, &QCheckBox::toggled, this, &FileConverterWindow::applyWhiteListRule);
    connect(blackBox_, &QCheckBox::toggled, this, &FileConverterWindow::applyBlackListRule);
    // The run is a job on the window's loop: a press while it runs only asks
    // it to stop.
    connect(startButton_, &RightClickButton::clicked, this, [this] { startOrStop(false); });
    connect(startButton_, &RightClickButton::rightPressed, this, [this] { startOrStop(true); });
    connect(modeList_, &QComboBox::currentIndexChanged, this, &FileConverterWindow::applyModeRule);
    connect(helpButton_, &QPushButton::clicked, this,
            [] { showInformation(fileConverterHelpText(), u"信息："_s, nullptr); });
    connect(failuresOnlyBox_, &QCheckBox::toggled, this, &FileConverterWindow::showFailuresOnly);
}

void FileConverterWindow::restoreSettings() {
    FileConverterSettings s = defaultFileConverterSettings();
    loadFileConverterSettings(settingsStore(), s);
    showSettings(s);
    applyWhiteListRule();
    applyBlackListRule();
    applyModeRule();
}

void FileConverterWindow::applyModeRule() {
    const auto kind = static_cast<RunKind>(modeList_->currentIndex());
    hostsEdit_->setEnabled(kind != RunKind::Shorten);
    hostsEdit_->setPlaceholderText(
        kind == RunKind::Migrate ? u"要迁出的短网址主机，用逗号隔开（主机 或 主机:端口）"_s
        : kind == RunKind::Expand ? u"另外的短网址主机，用逗号隔开（可不填）"_s
                                  : QString());
    // What a left click does in this mode; the right click's search stays the same.
    const QString left = kind == RunKind::Expand ? u"左击：把文件中的短网址换回长网址"_s
                         : kind == RunKind::Migrate
                             ? u"左击：把旧服务的短网址换成当前服务的短网址"_s
                             : u"左击：转换目录中符合文件类型的文件"_s;
    startButton_->setToolTip(
        left + u"（Alt+K）\n右击：按操作系统的文件搜索列出文件，“|”隔开的每组类型依次搜索"_s);
}

void FileConverterWindow::applyWhiteListRule() {
    whiteEdit_->setEnabled(whiteBox_->isChecked());
    whiteMode_->setEnabled(whiteBox_->isChecked());
}

void FileConverterWindow::applyBlackListRule() {
    blackEdit_->setEnabled(blackBox_->isChecked());
    blackMode_->setEnabled(blackBox_->isChecked());
}

void FileConverterWindow::chooseFolder() {
    const QString folder = browseForFolder(this, folderEdit_->text());
    if (!folder.isEmpty()) folderEdit_->setText(folder);
}

bool FileConverterWindow::running() const {
    return engine_ && engine_->running();
}

void FileConverterWindow::startOrStop(bool bySearch) {
    // The hosts are checked before a run starts; a run under way only hears the stop.
    const auto kind = static_cast<RunKind>(modeList_->currentIndex());
    if (!running() && kind != RunKind::Shorten) {
        const Result<std::vector<std::string>> hosts = parseHostList(fromQt(hostsEdit_->text()));
        const bool empty = trimSpaces(fromQt(hostsEdit_->text())).empty();
        if (kind == RunKind::Migrate && empty) {
            showMessage(fromQt(u"迁移短网址须填写要迁出的短网址主机"_s));
            return;
        }
        if (!empty && !hosts) {
            showMessage(hosts.reason());
            return;
        }
    }
    if (!running())
        if (const Status usable = owner_.checkedAddedQuery(); !usable) {
            MessageBox::warning(this, toQt(appTitle()), toQt(usable.reason()));
            return;
        }
    if (!engine_) engine_.emplace(*this, owner_.converter(), &jobLoop_);
    if (!engine_->running()) {
        // A new run: the last one's failures go, and the run's own rows show.
        failuresView_->clear();
        failuresOnlyBox_->setChecked(false);
    }
    engine_->startOrStopConversion(bySearch);
}

void FileConverterWindow::closeEvent(QCloseEvent* event) {
    if (running()) {
        // The run reads and fills this window until it ends; it stops at once
        // and the window closes when it has.
        closePending_ = true;
        engine_->requestStop();
        startButton_->setText(u"正在停止中.."_s);
        event->ignore();
        return;
    }
    reportSettingsSave(this, saveFileConverterSettings(settingsStore(), settings()));
    event->accept();
}

bool FileConverterWindow::eventFilter(QObject* watched, QEvent* event) {
    // Hidden to the tray, the owner stays: so do this window and its run.
    if (watched == &owner_ && event->type() == QEvent::Close && isVisible() &&
        !owner_.hidesToTray())
        close();
    return QWidget::eventFilter(watched, event);
}

void showFileConverterWindow(MainWindow& owner) {
    // A closed window lingers hidden until its deletion comes round.
    for (FileConverterWindow* open :
         owner.findChildren<FileConverterWindow*>(Qt::FindDirectChildrenOnly)) {
        if (!open->isVisible()) continue;
        open->raise();
        open->activateWindow();
        return;
    }
    auto* window = new FileConverterWindow(owner);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
}

QString fileConverterHelpText() {
    const QString host = toQt(defaultFileConverterSettings().whiteList);
    const QStringList lines = {
        u"使用本工具，你可以给你的淘宝客单页里的淘宝客链接或其他任何需要转换短网址的页面里的长网址批量转换短网址，程序转换后会自动将短网址替换到原来的长网址位置处。"_s,
        u""_s,
        u"只需选择要转换短网址的文件所在目录，然后设定文件类型（可以使用通配符如“*.txt”代表读取txt文件，“*.htm”读取htm文件，等等），再设置下白名单黑名单就可以开始转换了"_s,
        u""_s,
        QString(40, u'-'),
        u""_s,
        u"网址白名单：当启用时，只有符合白名单规则的长网址才被转换为短网址，比如转换淘宝客单页里的淘宝客链接，就需要输入“"_s +
            host +
            u"”这样的规则来限制只转换淘宝客链接。可以使用“|”来隔开多组规则，匹配时符合其一即可。"_s,
        u""_s,
        u"网址黑名单：与白名单相反，只要符合黑名单规则的网址都不转换。"_s,
        u""_s,
        u"白名单和黑名单可以选择通配或正则模式来匹配。通配符就是 * 代表任意个任意字符"_s,
        u""_s,
        QString(40, u'-'),
        u""_s,
        u"右击“开始转换”按钮：按操作系统的文件搜索列出文件，文件类型中用“|”隔开的每一组依次搜索（同时符合两组的文件会处理两次）；左击则按文件类型筛选目录中的文件。"_s,
        u""_s,
        u"处理完成后会说明写入、未改动和失败的文件数，以及转换、失败和被白名单或黑名单排除的网址数。勾选窗口底部的“只看失败”可以查看本次每个转换失败的网址及原因。"_s,
        u""_s,
        u"主窗口中“..”按钮：左击选择保存目录，右击打开保存目录（生成过结果文件时选中该文件）。"_s,
        u""_s,
        u"快捷键：Alt+K 开始或停止转换，F1 打开本说明。"_s,
    };
    return lines.join(u"\r\n"_s);
}

}  // namespace lianshuo
