#include "uitestkit.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>

#include "base/paths.h"
#include "store/controlstatestore.h"
#include "store/settings.h"
#include "ui/icons.h"
#include "ui/mainwindow.h"
#include "ui/qtext.h"
#include "ui/resultslist.h"

using namespace Qt::Literals::StringLiterals;

namespace lianshuo::test {

SettingsSandbox::SettingsSandbox() {
    rebind();
}

void SettingsSandbox::rebind() {
    QVERIFY(settingsStore().bindFile(gbkPath(file())));
}

bool waitForBatch(const MainWindow& window, int timeoutMs) {
    return QTest::qWaitFor([&window] { return !window.batchRunning(); }, timeoutMs);
}

QList<Row> rowsOf(const MainWindow& window) {
    return rowsOf(control<QTreeWidget>(&window, u"列表框转换"_s));
}

QList<Row> rowsOf(const QTreeWidget* view) {
    QList<Row> rows;
    for (int i = 0; i < view->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = view->topLevelItem(i);
        const int state = item->data(0, kRowStateRole).toInt();
        const bool iconMatches =
            item->icon(0).cacheKey() == rowStateIcon(static_cast<ResultRowState>(state)).cacheKey();
        rows.append({item->text(0), item->text(1), iconMatches ? state : -1});
    }
    return rows;
}

FakeShortService::FakeShortService() {
    server_.route("/short", [this](Exchange& exchange) {
        std::size_t number = 0;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            arrivals_.push_back(std::chrono::steady_clock::now());
            number = arrivals_.size();
        }
        const bool failing = exchange.request().target.find("bad") != std::string::npos;
        exchange.answer(200, failing ? "" : "https://s.example.test/r" + std::to_string(number),
                        {"Content-Type: text/plain"});
    });
}

QString FakeShortService::interfaceAddress() const {
    return QString::fromStdString(server_.url("/short?u=")) + u"#长网址#"_s;
}

int FakeShortService::requestCount() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(arrivals_.size());
}

std::vector<std::chrono::steady_clock::time_point> FakeShortService::arrivals() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return arrivals_;
}

WindowSession::WindowSession() : window_(std::make_unique<MainWindow>()) {
    setShellInterceptor([this](const ShellRequest& request) { opened_.append(request); });
    window_->show();
    if (!QTest::qWaitForWindowExposed(window_.get())) window_.reset();
}

WindowSession::~WindowSession() {
    setShellInterceptor({});
}

ServedSession::ServedSession() {
    if (isOpen()) useCustomInterface(window(), service().interfaceAddress());
}

void useCustomInterface(MainWindow& window, const QString& address) {
    control<QComboBox>(&window, u"组合框短网址"_s)->setCurrentIndex(0);
    control<QLineEdit>(&window, u"编辑框接口地址"_s)->setText(address);
    control<QRadioButton>(&window, u"单选框GET"_s)->setChecked(true);
    for (const QString& name : {u"选择框截取"_s, u"选择框替换"_s, u"选择框插入"_s})
        control<QCheckBox>(&window, name)->setChecked(false);
}

void pasteUrls(MainWindow& window, const QStringList& urls) {
    QApplication::clipboard()->setText(urls.join(u"\r\n"_s));
    QTest::mouseClick(control<QPushButton>(&window, u"按钮粘贴"_s), Qt::LeftButton);
}

}  // namespace lianshuo::test
