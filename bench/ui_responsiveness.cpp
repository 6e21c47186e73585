// How long the window goes without handling events while a batch runs: 200
// addresses against a local service that answers each after 50 ms, with a
// 5 ms timer whose longest gap between two ticks is the measure. The same
// timer in an idle event loop, measured in the same run, is the reference.
// Each scheme runs twice: one conversion at a time, and 并发数 8 with a modal
// box open from the start click until the batch has ended (it must end).
// Usage: ui_responsiveness [http|https ...]  (both when none is named)

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "gapmeter.h"
#include "support/test_server.h"
#include "ui/mainwindow.h"
#include "uitestkit.h"

using namespace Qt::Literals::StringLiterals;
using namespace lianshuo;

namespace {

constexpr int kAddresses = 200;

using bench::longestGap;

qint64 idleReference() {
    return longestGap([] { QTest::qWait(2000); });
}

struct BatchMeasure {
    qint64 gap = -1;
    bool endedUnderTheBox = false;
};

BatchMeasure batchGap(test::TestServer::Scheme scheme, int parallel) {
    test::TestServer server(scheme);
    server.setKeepAlive(true);
    server.route("/short", [](test::Exchange& exchange) {
        if (exchange.pause(std::chrono::milliseconds(50)))
            exchange.answer(200, "https://s.example.test/x", {"Content-Type: text/plain"});
    });
    if (!server.certificateFile().empty())
        setenv("SSL_CERT_FILE", server.certificateFile().c_str(), 1);
    MainWindow window;
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) return {};
    test::useCustomInterface(window,
                             QString::fromStdString(server.url("/short?u=")) + u"#长网址#"_s);
    test::control<QCheckBox>(&window, u"选择框自动保存到目录"_s)->setChecked(false);
    test::control<QSpinBox>(&window, u"编辑框并发数"_s)->setValue(parallel);
    QStringList urls;
    for (int i = 0; i < kAddresses; ++i)
        urls.append(u"http://long.example.test/item?id=%1"_s.arg(i));
    test::pasteUrls(window, urls);
    auto* start = test::control<QPushButton>(&window, u"按钮生成"_s);
    BatchMeasure measure;
    const bool withBox = parallel > 1;
    bool ended = false;
    measure.gap = longestGap([&] {
        if (withBox) {
            QTimer::singleShot(0, &window, [&] {
                QMessageBox box(QMessageBox::Information, u"蓝棠"_s, u"疑点说明"_s, QMessageBox::Ok,
                                &window);
                QTimer poll;
                QElapsedTimer open;
                open.start();
                QObject::connect(&poll, &QTimer::timeout, &box, [&] {
                    if (!window.batchRunning() || open.elapsed() > 120000) box.accept();
                });
                poll.start(20);
                box.exec();
                measure.endedUnderTheBox = !window.batchRunning();
            });
        }
        QTest::mouseClick(start, Qt::LeftButton);
        ended = QTest::qWaitFor([&window] { return !window.batchRunning(); }, 120000);
    });
    if (!ended) measure.gap = -1;
    unsetenv("SSL_CERT_FILE");
    return measure;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    test::SettingsSandbox sandbox;
    QStringList schemes;
    for (int i = 1; i < argc; ++i) schemes.append(QString::fromLocal8Bit(argv[i]));
    if (schemes.isEmpty()) schemes = {u"http"_s, u"https"_s};

    const qint64 reference = idleReference();
    std::printf("idle event loop: longest gap %lld ms\n", static_cast<long long>(reference));
    for (const QString& scheme : schemes) {
        const auto kind =
            scheme == u"https"_s ? test::TestServer::Scheme::Https : test::TestServer::Scheme::Http;
        for (const int parallel : {1, 8}) {
            const BatchMeasure m = batchGap(kind, parallel);
            std::printf(
                "batch of %d (%s, 50 ms replies, 并发数 %d%s): longest gap %lld ms "
                "(goal <= 50 ms: %s); ratio to idle %.2f\n",
                kAddresses, qPrintable(scheme), parallel,
                parallel > 1 ? ", modal box open throughout" : "", static_cast<long long>(m.gap),
                m.gap >= 0 && m.gap <= 50 ? "met" : "MISSED",
                reference > 0 ? double(m.gap) / double(reference) : 0.0);
            if (parallel > 1)
                std::printf("batch of %d (%s, 并发数 %d) ends while a modal box is open: %s\n",
                            kAddresses, qPrintable(scheme), parallel,
                            m.endedUnderTheBox ? "yes (goal: yes: met)" : "no (goal: yes: MISSED)");
        }
    }
    return 0;
}
