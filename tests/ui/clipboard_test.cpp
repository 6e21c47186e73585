// `convert --clipboard` and `--copy` through the desktop clipboard, run in
// this process as the command line runs them.

#include <QClipboard>
#include <QGuiApplication>
#include <QTest>
#include <sstream>

#include "base/paths.h"
#include "cli/commandline.h"
#include "services/interfacestore.h"
#include "store/controlstatestore.h"
#include "store/settings.h"
#include "support/tempdir.h"
#include "ui/desktopclipboard.h"
#include "ui/qtext.h"
#include "uitestkit.h"

using namespace Qt::Literals::StringLiterals;
using namespace lianshuo;

class ClipboardTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        ControlStateStore store;
        QVERIFY(store.bindFile(gbkPath(dir_ / "s.ini")));
        ShortUrlInterface d;
        d.address = fromQt(service_.interfaceAddress());
        QVERIFY(saveInterface(d, store));
        AppSettings app;
        app.service = 0;
        app.interfaceIndex = 0;
        QVERIFY(saveSettings(store, app));
        int argc = 0;
        installDesktopClipboard(argc, nullptr);
    }

    void addressesComeFromAndGoBackToTheClipboard() {
        QGuiApplication::clipboard()->setText(u"a.test/1\r\nhttp://a.test/bad\na.test/3"_s);
        std::istringstream in;
        std::ostringstream out, err;
        const int status = runCommandLine({"convert", "--settings", (dir_ / "s.ini").string(),
                                           "--no-save", "--clipboard", "--copy"},
                                          in, out, err);
        QVERIFY2(status == 1, qPrintable(QString::fromStdString(out.str() + err.str())));
        QCOMPARE(service_.requestCount(), 3);
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 u"https://s.example.test/r1\nhttps://s.example.test/r3"_s);
    }

private:
    test::TempDir dir_;
    test::FakeShortService service_;
};

QTEST_MAIN(ClipboardTest)
#include "clipboard_test.moc"
