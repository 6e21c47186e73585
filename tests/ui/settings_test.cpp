// The basic settings across runs: the first start without a settings file,
// the exact bytes the closing window writes, and what the next start restores.

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "base/paths.h"
#include "services/panelinterface.h"
#include "store/settings.h"
#include "ui/interfaceadvanced.h"
#include "ui/mainwindow.h"
#include "ui/qtext.h"
#include "uitestkit.h"

using namespace Qt::Literals::StringLiterals;
using namespace lianshuo;
using test::control;

namespace {

// The section "基本配置" of the settings file, as text.
QString basicSection(const std::filesystem::path& file) {
    const QString content = toQt(test::readFile(file));
    const qsizetype start = content.indexOf(u"[基本配置]"_s);
    if (start < 0) return {};
    const qsizetype next = content.indexOf(u"\r\n["_s, start);
    return content.mid(start, next < 0 ? -1 : next - start);
}

}  // namespace

class SettingsTest : public QObject {
    Q_OBJECT

private slots:
    void firstRunShowsTheInitialControlsAndWritesTheSixKeys() {
        test::SettingsSandbox sandbox;
        MainWindow window;
        const QString programFolder = toQt(programDirectory());
        QCOMPARE(control<QComboBox>(&window, u"组合框短网址"_s)->currentIndex(), 1);
        QCOMPARE(control<QListWidget>(&window, u"列表框"_s)->currentRow(), -1);
        QCOMPARE(control<QLineEdit>(&window, u"编辑框生成间隔秒"_s)->text(), u"0"_s);
        QVERIFY(control<QCheckBox>(&window, u"选择框自动保存到目录"_s)->isChecked());
        QCOMPARE(control<QLineEdit>(&window, u"编辑框保存目录"_s)->text(),
                 programFolder + u"/生成目录"_s);
        QCOMPARE(control<QLineEdit>(&window, u"编辑框接口地址"_s)->text(),
                 u"http://dwz.cn/create.php"_s);
        QVERIFY(window.readInterfaceFromPanel() == initialPanelInterface(defaultBuiltinHosts()));

        window.close();
        QCOMPARE(basicSection(sandbox.file()),
                 u"[基本配置]\r\n百度Token=\r\n编辑框保存目录="_s + programFolder +
                     u"/生成目录\r\n选择框自动保存到目录=真\r\n生成间隔秒=0\r\n"
                     u"自定义接口短网址索引=-1\r\n短网址索引=1"_s);
    }

    void closingWritesTheControlsAndTheNextStartRestoresThem() {
        test::SettingsSandbox sandbox;
        {
            MainWindow window;
            control<QComboBox>(&window, u"组合框短网址"_s)->setCurrentIndex(0);
            QTest::mouseClick(control<QPushButton>(&window, u"按钮添加"_s), Qt::LeftButton);
            auto* address = control<QLineEdit>(&window, u"编辑框接口地址"_s);
            for (const QString& host : {u"a"_s, u"b"_s}) {
                address->setText(u"http://"_s + host + u".example.test/x"_s);
                QTest::mouseClick(control<QPushButton>(&window, u"按钮添加"_s), Qt::LeftButton);
            }
            control<QListWidget>(&window, u"列表框"_s)->setCurrentRow(0);
            control<QLineEdit>(&window, u"编辑框生成间隔秒"_s)->setText(u"2.5"_s);
            control<QLineEdit>(&window, u"编辑框百度Token"_s)->setText(u"令牌 tok"_s);
            QTest::mouseClick(control<QCheckBox>(&window, u"选择框自动保存到目录"_s),
                              Qt::LeftButton);
            control<QLineEdit>(&window, u"编辑框保存目录"_s)->setText(u"/tmp/结果"_s);
            window.close();
        }
        QCOMPARE(
            basicSection(sandbox.file()),
            u"[基本配置]\r\n百度Token=令牌 tok\r\n编辑框保存目录=/tmp/结果\r\n"
            u"选择框自动保存到目录=假\r\n生成间隔秒=2.5\r\n自定义接口短网址索引=0\r\n短网址索引=0"_s);

        sandbox.rebind();
        MainWindow again;
        QCOMPARE(control<QComboBox>(&again, u"组合框短网址"_s)->currentIndex(), 0);
        auto* list = control<QListWidget>(&again, u"列表框"_s);
        QCOMPARE(list->count(), 2);
        QCOMPARE(list->currentRow(), 0);
        QCOMPARE(control<QLineEdit>(&again, u"编辑框接口地址"_s)->text(),
                 u"http://a.example.test/x"_s);
        QCOMPARE(control<QLineEdit>(&again, u"编辑框生成间隔秒"_s)->text(), u"2.5"_s);
        QCOMPARE(again.baiduToken(), fromQt(u"令牌 tok"_s));
        QVERIFY(!control<QCheckBox>(&again, u"选择框自动保存到目录"_s)->isChecked());
        auto* folder = control<QLineEdit>(&again, u"编辑框保存目录"_s);
        QCOMPARE(folder->text(), u"/tmp/结果"_s);
        QVERIFY(!folder->isEnabled());
        QVERIFY(list->isEnabled());
    }

    void numberFieldsTakeOnlyNumbersInTheirRangeAndAStoredOneIsBroughtIntoIt() {
        for (const auto& [stored, shown] :
             {std::pair{u"abc"_s, u"0"_s}, {u"100000"_s, u"86400"_s}, {u"3 秒"_s, u"3"_s}}) {
            test::SettingsSandbox sandbox;
            test::writeFile(sandbox.file(), fromQt(u"[基本配置]\r\n生成间隔秒="_s + stored));
            sandbox.rebind();
            MainWindow window;
            QCOMPARE(control<QLineEdit>(&window, u"编辑框生成间隔秒"_s)->text(), shown);
        }
        test::SettingsSandbox sandbox;
        MainWindow window;
        auto* interval = control<QLineEdit>(&window, u"编辑框生成间隔秒"_s);
        interval->clear();
        QTest::keyClicks(interval, u"abc9x9.5y999"_s);
        QCOMPARE(interval->text(), u"99.599"_s);  // letters and a fourth decimal refused
        interval->clear();
        QTest::keyClicks(interval, u"999999"_s);
        QCOMPARE(interval->text(), u"9999"_s);  // 99999 would be more than a day
        interval->clear();
        window.close();  // left empty: saved as 0
        QVERIFY(basicSection(sandbox.file()).contains(u"生成间隔秒=0\r\n"_s));

        InterfaceAdvancedDialog dialog(ShortUrlInterface{}, &window);
        auto* pause = control<QLineEdit>(&dialog, u"编辑框间隔毫秒"_s);
        QTest::keyClicks(pause, u"5a0-0000"_s);
        QCOMPARE(pause->text(), u"500000"_s);
        auto* statuses = control<QLineEdit>(&dialog, u"编辑框成功状态码"_s);
        QTest::keyClicks(statuses, u"200-299,x304"_s);
        QCOMPARE(statuses->text(), u"200-299,304"_s);
    }
};

QTEST_MAIN(SettingsTest)
#include "settings_test.moc"
