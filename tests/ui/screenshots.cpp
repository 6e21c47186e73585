// Renders the windows to PNG files offscreen: `ui_screenshots <folder>`.

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTreeWidget>
#include <cstdio>
#include <string_view>

#include "history/conversionhistory.h"
#include "ui/appearance.h"
#include "ui/desktoptray.h"
#include "ui/dialogs.h"
#include "ui/fileconverterwindow.h"
#include "ui/historymodel.h"
#include "ui/historywindow.h"
#include "ui/infobox.h"
#include "ui/interfaceadvanced.h"
#include "ui/mainwindow.h"
#include "ui/qrcodedialog.h"
#include "ui/qtext.h"
#include "uitestkit.h"

using namespace Qt::Literals::StringLiterals;
using namespace lianshuo;
using test::control;

namespace {

bool save(QWidget& widget, const QDir& folder, const QString& name) {
    QApplication::processEvents();
    const QString path = folder.filePath(name);
    const bool saved = widget.grab().save(path);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
    return saved;
}

void fillResults(MainWindow& window) {
    const QStringList urls = {u"http://www.example.test/products/2024/spring-sale.html?from=list"_s,
                              u"https://news.example.test/article/88231"_s,
                              u"http://shop.example.test/item?id=5531&spm=a1z10"_s,
                              u"https://blog.example.test/2023/11/notes-on-links"_s,
                              u"http://docs.example.test/manual/chapter-7"_s};
    for (const QString& url : urls) window.addWaitingRow(url);
    window.setRow(0, "https://s.example.test/a1B2", ResultRowState::Done);
    window.setRow(1, "https://s.example.test/c3D4", ResultRowState::Done);
    window.setRow(2, fromQt(u"生成错误"_s), ResultRowState::Error);
    window.setRow(3, fromQt(u"正在转换.."_s), ResultRowState::Converting);
}

// The file converter halfway through a run: the progress bar over the folder row.
void showRun(FileConverterWindow& converter) {
    converter.showProgress(true);
    converter.setProgress(3, 12, fromQt(u"(12:3)index"_s));
    converter.addRow("https://s.example.test/e5F6", "http://s.click.taobao.com/t?e=m%3D2%26s%3Dab",
                     ResultRowState::Done);
    converter.addRow(fromQt(u"正在转换.."_s), "http://s.click.taobao.com/t?e=m%3D2%26s%3Dcd",
                     ResultRowState::Converting);
    converter.addRow(fromQt(u"队列中.."_s), "http://s.click.taobao.com/t?e=m%3D2%26s%3Def",
                     ResultRowState::Waiting);
    converter.setStartCaption(fromQt(u"停止转换"_s));
}

// The run ended with failures: the list shows every failed address and file with why.
void endRunWithFailures(FileConverterWindow& converter) {
    const ConversionOutcome refused =
        ConversionOutcome::failed(FailureKind::HttpStatus, fromQt(u"请求过于频繁"_s), 429);
    converter.showOutcome(1, refused);
    converter.addressFailed(1, "index.htm", refused);
    converter.addRow(fromQt(u"生成错误"_s), "http://s.click.taobao.com/t?e=m%3D2%26s%3Dgh",
                     ResultRowState::Error);
    converter.addressFailed(
        3, "list.htm",
        ConversionOutcome::failed(FailureKind::NothingExtracted,
                                  fromQt(u"回复中找不到短网址（左边字符“\"tinyurl\":\"”）"_s)));
    converter.fileFailed("old.htm", fromQt(u"无法读取：Permission denied"_s));
    converter.showProgress(false);
    converter.clearRows();
    converter.setStartCaption(FileConverterEngine::idleCaption());
    MessageBox::setNextAnswer(QMessageBox::No);
    converter.finished({.outputFolder = "/tmp/pages/",
                        .filesWritten = 11,
                        .filesUnchanged = 2,
                        .filesFailed = 1,
                        .converted = 37,
                        .failed = 2,
                        .leftOut = 5});
}

// A few kept conversions, for the history window.
void fillHistory(const std::string& path) {
    ConversionHistory history;
    if (!history.open(path).ok()) return;
    for (int i = 1; i <= 30; ++i) {
        const std::string n = std::to_string(i);
        const char* service = i % 3 == 0   ? "baidu:dwz.cn"
                              : i % 5 == 0 ? "tinyurl:tinyurl.com"
                                           : "custom:s.example.test:5f1c9a0e27d4b3a8";
        if (!history
                 .record(service, "http://shop.example.test/item?id=" + n + "&spm=a1z10",
                         "https://s.example.test/h" + n)
                 .ok())
            return;
    }
    // The newest ones checked, so the state column shows each state.
    std::vector<HistoryEntry> rows;
    if (!history.list({}, rows).ok()) return;
    std::vector<LinkCheckRecord> checks;
    for (std::size_t i = rows.size() - 4; i < rows.size(); ++i)
        checks.push_back({rows[i].id, rows[i].shortUrl, static_cast<int>(i % 4),
                          i % 4 == 3 ? "http://parked.example.test/" : "", 1700000000});
    (void)history.recordChecks(checks);
}

}  // namespace

// On a small screen at a large scale (the script's second run): the windows as they open.
int renderScaled(const QDir& folder) {
    MainWindow window;
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) return 1;
    fillResults(window);
    bool ok = save(window, folder, u"main-window-scale2.png"_s);
    FileConverterWindow converter(window);
    converter.show();
    if (!QTest::qWaitForWindowExposed(&converter)) return 1;
    ok &= save(converter, folder, u"file-converter-scale2.png"_s);
    return ok ? 0 : 1;
}

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: ui_screenshots <folder> [scaled]\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.mkpath(u"."_s)) return 1;
    test::SettingsSandbox sandbox;
    if (argc > 2 && std::string_view(argv[2]) == "scaled") return renderScaled(folder);
    // Drawn as on a desktop with a tray, so the tray's option and menu show.
    overrideSystemTrayAvailable(true);
    MainWindow window;
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) return 1;
    bool ok = true;

    // A first start: the empty list says how addresses get in.
    ok &= save(window, folder, u"main-window-empty.png"_s);
    fillResults(window);
    control<QLineEdit>(&window, u"编辑框保存目录"_s)->setText(u"/home/user/生成目录"_s);
    control<QLineEdit>(&window, u"编辑框追加参数"_s)->setText(u"utm_source=news"_s);
    ok &= save(window, folder, u"main-window.png"_s);
    if (QMenu* menu = window.trayMenu()) {
        menu->adjustSize();
        ok &= save(*menu, folder, u"tray-menu.png"_s);
    }

    // The context menu of a converted row; the right click also copies the row.
    auto* results = control<QTreeWidget>(&window, u"列表框转换"_s);
    const QPoint row = results->visualItemRect(results->topLevelItem(0)).center();
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, row,
                                 results->viewport()->mapToGlobal(row));
    QApplication::sendEvent(results->viewport(), &rightClick);
    if (auto* menu = window.findChild<QMenu*>(u"菜单结果"_s)) {
        ok &= save(*menu, folder, u"results-menu.png"_s);
        menu->close();
    }

    QTest::mouseClick(control<QPushButton>(&window, u"按钮设置Token"_s), Qt::LeftButton);
    // A token typed in: masked until "显示" is ticked.
    control<QLineEdit>(&window, u"编辑框百度Token"_s)->setText(u"24.abcdef0123456789"_s);
    ok &= save(window, folder, u"token-group.png"_s);
    control<QLineEdit>(&window, u"编辑框百度Token"_s)->clear();

    control<QComboBox>(&window, u"组合框短网址"_s)->setCurrentIndex(0);
    QTest::mouseClick(control<QPushButton>(&window, u"按钮添加"_s), Qt::LeftButton);
    ok &= save(window, folder, u"interface-panel.png"_s);
    // A preset picked: the line under it says what it still needs, and the token row shows.
    auto* presets = control<QComboBox>(&window, u"组合框预设"_s);
    emit presets->activated(presets->findText(u"bitly"_s));
    ok &= save(window, folder, u"interface-panel-preset.png"_s);
    // One that logs in first asks for its user name and password, and shows no token row.
    emit presets->activated(presets->findText(u"bl.ink"_s));
    ok &= save(window, folder, u"interface-panel-preset-login.png"_s);

    ShortUrlInterface bitly;
    bitly.address = "https://api-ssl.bitly.com/v4/shorten";
    bitly.headers = fromQt(u"Authorization: Bearer #令牌#"_s);
    bitly.token = "0123abcd";
    bitly.extractKind = ExtractKind::Json;
    bitly.extractExpression = "link";
    bitly.fallbacks = "kutt|is.gd";
    InterfaceAdvancedDialog advanced(bitly, &window);
    advanced.show();
    if (!QTest::qWaitForWindowExposed(&advanced)) return 1;
    ok &= save(advanced, folder, u"interface-advanced.png"_s);
    advanced.close();

    // A service that logs in first: the credentials masked, the token request beside them.
    ShortUrlInterface blink = bitly;
    blink.address = "https://api.bl.ink/v4/1/links";
    blink.token.clear();
    blink.username = "ann@example.test";
    blink.password = "pa55word";
    blink.tokenUrl = "https://api.bl.ink/v4/access_token";
    blink.tokenBody = fromQt(uR"({"email":"#用户名#","password":"#密码#"})"_s);
    blink.tokenPath = "access_token";
    blink.tokenLifetimeSeconds = 86400;
    InterfaceAdvancedDialog loggingIn(blink, &window);
    loggingIn.show();
    if (!QTest::qWaitForWindowExposed(&loggingIn)) return 1;
    ok &= save(loggingIn, folder, u"interface-advanced-token.png"_s);
    loggingIn.close();

    InputBoxWindow box(&window);
    box.showText(introductionText(), u"疑点说明"_s);
    box.show();
    if (!QTest::qWaitForWindowExposed(&box)) return 1;
    ok &= save(box, folder, u"information-box.png"_s);
    box.close();

    FileConverterWindow converter(window);
    converter.show();
    if (!QTest::qWaitForWindowExposed(&converter)) return 1;
    showRun(converter);
    ok &= save(converter, folder, u"file-converter.png"_s);
    endRunWithFailures(converter);
    ok &= save(converter, folder, u"file-converter-failures.png"_s);
    // Idle again, set to move a retired service's short addresses.
    converter.showProgress(false);
    converter.clearRows();
    converter.setStartCaption(FileConverterEngine::idleCaption());
    control<QComboBox>(&converter, u"组合框模式"_s)->setCurrentIndex(2);
    control<QLineEdit>(&converter, u"编辑框短网址主机"_s)->setText(u"old.example.test"_s);
    ok &= save(converter, folder, u"file-converter-migrate.png"_s);

    fillHistory(window.historyPath());
    showHistoryWindow(&window, window.historyPath());
    auto* history = window.findChild<HistoryWindow*>();
    if (!history || !QTest::qWaitForWindowExposed(history)) return 1;
    for (int i = 0; i < 100 && history->model().walking(); ++i) QTest::qWait(10);
    ok &= save(*history, folder, u"history-window.png"_s);
    auto* historyTable = control<QTableView>(history, u"列表框历史"_s);
    historyTable->sortByColumn(HistoryTableModel::ServiceColumn, Qt::AscendingOrder);
    ok &= save(*history, folder, u"history-window-sorted.png"_s);
    historyTable->sortByColumn(-1, Qt::AscendingOrder);

    showQrCode(&window, u"https://s.example.test/a1B2"_s);
    auto* code = window.findChild<QrCodeDialog*>();
    if (!code || !QTest::qWaitForWindowExposed(code)) return 1;
    ok &= save(*code, folder, u"qr-code.png"_s);

    // The same windows in the dark appearance, the main window with its results again.
    applyAppearance(Appearance::Dark);
    control<QComboBox>(&window, u"组合框短网址"_s)->setCurrentIndex(1);
    ok &= save(window, folder, u"main-window-dark.png"_s);
    control<QComboBox>(&converter, u"组合框模式"_s)->setCurrentIndex(0);
    showRun(converter);
    ok &= save(converter, folder, u"file-converter-dark.png"_s);
    ok &= save(*history, folder, u"history-window-dark.png"_s);
    return ok ? 0 : 1;
}
