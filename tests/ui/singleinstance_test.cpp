// One window per settings file: the built program started again hands over to
// the window already open, unless told to open another.

#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include "base/paths.h"
#include "support/tempdir.h"
#include "ui/singleinstance.h"

using namespace Qt::Literals::StringLiterals;
using namespace lianshuo;

namespace {

// Starts the program's window on `settings`; its exit code, -1 when it did not
// end in time. A window of its own ends as soon as it shows, without closing
// its socket, as a crashed one would.
int startWindow(const std::filesystem::path& settings, const QStringList& args = {}) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"LIANSHUO_SETTINGS"_s, QString::fromStdString(settings.string()));
    environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    environment.insert(u"LIANSHUO_QUIT_WHEN_SHOWN"_s, u"1"_s);
    process.setProcessEnvironment(environment);
    process.start(QString::fromLocal8Bit(LIANSHUO_PROGRAM), args);
    // The event loop turns meanwhile: the window of this test answers the request.
    if (!QTest::qWaitFor([&process] { return process.state() == QProcess::NotRunning; }, 20000)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

QString socketNameOf(const std::filesystem::path& settings) {
    return instanceSocketName(gbkPath(settings));
}

}  // namespace

class SingleInstanceTest : public QObject {
    Q_OBJECT

private slots:
    void aSecondStartBringsTheOpenWindowToTheFront() {
        test::TempDir dir;
        const auto settings = dir / "settings.ini";
        QWidget window;
        window.setWindowState(Qt::WindowMinimized);
        SingleInstance instance(window);
        QSignalSpy requests(&instance, &SingleInstance::showRequested);
        QVERIFY(instance.listen(socketNameOf(settings)));

        QCOMPARE(startWindow(settings), 0);
        QCOMPARE(requests.count(), 1);
        QVERIFY(window.isVisible());
        QVERIFY(!window.isMinimized());

        // Another window anyway, which leaves the socket to the first.
        QCOMPARE(startWindow(settings, {u"--new-instance"_s}), 0);
        QCOMPARE(requests.count(), 1);
        QCOMPARE(startWindow(settings), 0);
        QCOMPARE(requests.count(), 2);

        // Another settings file is another window, and so is the same file of another user.
        QVERIFY(socketNameOf(dir / "other.ini") != socketNameOf(settings));
        QCOMPARE(startWindow(dir / "other.ini"), 0);
        QCOMPARE(requests.count(), 2);
        QVERIFY(socketNameOf(dir / "sub/../settings.ini") == socketNameOf(settings));
        std::filesystem::remove(instanceSocketPath(socketNameOf(dir / "other.ini")));
    }

    void aCrashedWindowsSocketDoesNotBlockTheNextStart() {
        test::TempDir dir;
        const auto settings = dir / "settings.ini";
        // It listened, and ended without closing its socket.
        QCOMPARE(startWindow(settings), 0);
        QVERIFY(std::filesystem::exists(instanceSocketPath(socketNameOf(settings))));

        QWidget window;
        SingleInstance instance(window);
        QSignalSpy requests(&instance, &SingleInstance::showRequested);
        QVERIFY(instance.listen(socketNameOf(settings)));
        QCOMPARE(startWindow(settings), 0);
        QCOMPARE(requests.count(), 1);

        // A window that answers keeps its socket from a second listener.
        QWidget other;
        SingleInstance second(other);
        QVERIFY(!second.listen(socketNameOf(settings)));
        QCOMPARE(startWindow(settings), 0);
        QCOMPARE(requests.count(), 2);
    }
};

QTEST_MAIN(SingleInstanceTest)
#include "singleinstance_test.moc"
