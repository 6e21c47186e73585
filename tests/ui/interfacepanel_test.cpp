// The interface panel with the list of saved interfaces: add or modify, delete,
// clear, export and import, the test dialog and the enable rule.

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <cerrno>
#include <memory>

#include "base/makerlinks.h"
#include "base/paths.h"
#include "base/platform.h"
#include "services/interfacestore.h"
#include "store/controlstatestore.h"
#include "store/settings.h"
#include "support/tempdir.h"
#include "ui/application.h"
#include "ui/dialogs.h"
#include "ui/interfacepanel.h"
#include "ui/mainwindow.h"
#include "ui/qtext.h"
#include "ui/shell.h"
#include "uitestkit.h"

using namespace Qt::Literals::StringLiterals;
using namespace lianshuo;
using test::control;

class InterfacePanelTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        session_ = std::make_unique<test::WindowSession>();
        QVERIFY(session_->isOpen());
        window_ = &session_->window();
        control<QComboBox>(window_, u"组合框短网址"_s)->setCurrentIndex(0);
        click(u"按钮添加"_s);
        list_ = control<QListWidget>(window_, u"列表框"_s);
        address_ = control<QLineEdit>(window_, u"编辑框接口地址"_s);
    }

    void cleanup() { session_.reset(); }

    void addOrModifyTwiceOnOneHostKeepsOneInterface() {
        QVERIFY(control<InterfacePanel>(window_, u"图片框面板"_s)->isVisible());
        addInterface(u"http://s.example.test/a?u=#长网址#"_s);
        QCOMPARE(itemTexts(), QStringList{u"s.example.test"_s});
        control<QPlainTextEdit>(window_, u"编辑框POST数据"_s)->setPlainText(u"a=1\nb=#长网址#"_s);
        addInterface(u"HTTPS://S.Example.test:443/b"_s);

        QCOMPARE(itemTexts(), QStringList{u"s.example.test"_s});
        QCOMPARE(list_->currentRow(), 0);
        QCOMPARE(settingsStore().listSections(interfaceSection("")).size(), std::size_t(1));
        const ShortUrlInterface saved = loadInterface("s.example.test", settingsStore());
        QCOMPARE(saved.address, std::string("HTTPS://S.Example.test:443/b"));
        QCOMPARE(toQt(saved.postTemplate), u"a=1\r\nb=#长网址#"_s);
        QCOMPARE(address_->text(), u"HTTPS://S.Example.test:443/b"_s);
    }

    void deleteSelectsTheNeighbourAndLoadsIt() {
        for (const QString& host : {u"a"_s, u"b"_s, u"c"_s})
            addInterface(u"http://"_s + host + u".example.test/x"_s);
        list_->setCurrentRow(2);
        QCOMPARE(address_->text(), u"http://c.example.test/x"_s);

        click(u"按钮删除"_s);
        QCOMPARE(itemTexts(), QStringList({u"a.example.test"_s, u"b.example.test"_s}));
        QCOMPARE(list_->currentRow(), 1);
        QCOMPARE(address_->text(), u"http://b.example.test/x"_s);
        QCOMPARE(settingsStore().listSections("c.example.test").size(), std::size_t(0));

        click(u"按钮删除"_s);
        click(u"按钮删除"_s);
        QCOMPARE(list_->count(), 0);
        QCOMPARE(list_->currentRow(), -1);
        QCOMPARE(address_->text(), u"http://a.example.test/x"_s);
        click(u"按钮删除"_s);  // nothing selected: nothing happens
        QCOMPARE(list_->count(), 0);
    }

    void clearAsksFirst() {
        for (const QString& host : {u"a"_s, u"b"_s, u"c"_s})
            addInterface(u"http://"_s + host + u".example.test/x"_s);
        MessageBox::setNextAnswer(QMessageBox::Cancel);
        click(u"按钮清空"_s);
        QCOMPARE(MessageBox::lastText(), u"确定要删除全部的短网址接口吗？"_s);
        QCOMPARE(list_->count(), 3);
        QCOMPARE(listInterfaceNames(settingsStore()).size(), std::size_t(3));

        MessageBox::setNextAnswer(QMessageBox::Ok);
        click(u"按钮清空"_s);
        QCOMPARE(list_->count(), 0);
        QVERIFY(listInterfaceNames(settingsStore()).empty());
    }

    void aDeleteOrClearThatFailsOnDiskLeavesTheListAsTheFileIs() {
        for (const QString& host : {u"a"_s, u"b"_s})
            addInterface(u"http://"_s + host + u".example.test/x"_s);
        list_->setCurrentRow(1);
        const auto onDisk = [this] {
            ControlStateStore fresh;
            if (!fresh.bindFile(gbkPath(session_->sandbox().file()))) return QStringList{u"?"_s};
            QStringList names;
            for (const std::string& name : listInterfaceNames(fresh)) names.append(toQt(name));
            return names;
        };
        const QStringList both{u"a.example.test"_s, u"b.example.test"_s};

        platform::faults::failNext(platform::faults::Call::Rename, EROFS);
        MessageBox::setNextAnswer(QMessageBox::Ok);
        click(u"按钮删除"_s);
        QCOMPARE(onDisk(), both);
        QCOMPARE(itemTexts(), both);
        QCOMPARE(listInterfaceNames(settingsStore()).size(), std::size_t(2));
        QVERIFY(MessageBox::lastText().contains(toQt(platform::errorText(EROFS))));

        platform::faults::failNext(platform::faults::Call::Rename, EROFS);
        MessageBox::setNextAnswer(QMessageBox::Ok);  // sure to delete them all
        MessageBox::setNextAnswer(QMessageBox::Ok);  // told why they are still there
        click(u"按钮清空"_s);
        QCOMPARE(onDisk(), both);
        QCOMPARE(itemTexts(), both);
        QVERIFY(MessageBox::lastText().contains(toQt(platform::errorText(EROFS))));

        list_->setCurrentRow(1);
        click(u"按钮删除"_s);  // the next save that succeeds deletes only what it was asked to
        QCOMPARE(onDisk(), QStringList{u"a.example.test"_s});
        QCOMPARE(itemTexts(), QStringList{u"a.example.test"_s});
    }

    void exportThenImportRestoresThePanel() {
        control<QRadioButton>(window_, u"单选框GET"_s)->click();
        control<QRadioButton>(window_, u"单选框GBK"_s)->click();
        auto* postData = control<QPlainTextEdit>(window_, u"编辑框POST数据"_s);
        QVERIFY(!postData->isEnabled());  // GET keeps the text but disables it
        postData->setPlainText(u"第一行\nsecond=\"#长网址#\""_s);
        address_->setText(u"http://e.example.test/x?u=#长网址#"_s);
        control<QCheckBox>(window_, u"选择框逆向截取"_s)->setChecked(true);
        control<QCheckBox>(window_, u"选择框插入"_s)->click();
        control<QLineEdit>(window_, u"编辑框后缀"_s)->setText(u"\\尾"_s);
        const ShortUrlInterface exported = window_->readInterfaceFromPanel();
        QCOMPARE(exported.leftMarker, std::string("{\"tinyurl\":\""));

        const QString file =
            QString::fromStdString((session_->sandbox().dir() / "export").string());
        FileDialog::setNextFileName(file);
        MessageBox::setNextAnswer(QMessageBox::Ok);
        click(u"按钮导出接口"_s);
        QCOMPARE(MessageBox::lastText(), u"接口已导出！"_s);

        address_->setText(u"http://other.example.test/"_s);
        control<QRadioButton>(window_, u"单选框POST"_s)->click();
        control<QCheckBox>(window_, u"选择框插入"_s)->click();
        postData->setPlainText(u"changed"_s);
        FileDialog::setNextFileName(QString());  // a cancelled dialog changes nothing
        click(u"按钮导入接口"_s);
        QCOMPARE(address_->text(), u"http://other.example.test/"_s);

        FileDialog::setNextFileName(file);
        MessageBox::setNextAnswer(QMessageBox::Ok);
        click(u"按钮导入接口"_s);
        QCOMPARE(MessageBox::lastText(), u"接口已导入！"_s);
        QVERIFY(window_->readInterfaceFromPanel() == exported);
        QVERIFY(!postData->isEnabled());
        QVERIFY(control<QLineEdit>(window_, u"编辑框前缀"_s)->isEnabled());
        QCOMPARE(list_->count(), 0);  // imported, not saved
    }

    void testDialogConvertsAndOpensOnlyWebAddresses() {
        test::FakeShortService service;
        test::useCustomInterface(*window_, service.interfaceAddress());
        InputDialog::setNextText(std::nullopt);
        click(u"按钮测试接口"_s);
        QCOMPARE(InputDialog::lastPrompt(),
                 u"请输入一个长网址，根据当前接口测试是否能正确转换短网址："_s);
        QCOMPARE(InputDialog::lastOffered(), QString::fromLatin1(maker::kSampleLongUrl));
        QVERIFY(InputDialog::lastOffered().endsWith(u"?abcdefghijklmnopqrstuvwxyz"_s));
        QCOMPARE(service.requestCount(), 0);

        // The outcome comes back on the window's loop: an empty box first tells it apart.
        const auto test = [this](const QString& longUrl, QMessageBox::StandardButton answer) {
            MessageBox::setNextAnswer(QMessageBox::Ok);
            MessageBox::information(nullptr, {}, {});
            InputDialog::setNextText(longUrl);
            MessageBox::setNextAnswer(answer);
            click(u"按钮测试接口"_s);
            return QTest::qWaitFor([] { return !MessageBox::lastText().isEmpty(); }, 15000);
        };
        QVERIFY(test(u"http://long.example.test/page"_s, QMessageBox::Ok));
        QCOMPARE(MessageBox::lastTitle(), u"转换结果"_s);
        QCOMPARE(MessageBox::lastText(),
                 u"http://long.example.test/page\r\n\r\n转为如下短网址：\r\n\r\n"
                 u"https://s.example.test/r1\r\n\r\n点击确定将在浏览器打开短网址！"_s);
        QCOMPARE(opened().size(), 1);
        QCOMPARE(opened()[0].target, u"https://s.example.test/r1"_s);

        // Cancel opens nothing, and neither does OK on an error text.
        QVERIFY(test(u"http://long.example.test/page"_s, QMessageBox::Cancel));
        QVERIFY(test(u"http://long.example.test/bad"_s, QMessageBox::Ok));
        QVERIFY(MessageBox::lastText().contains(u"生成错误"_s));
        QCOMPARE(opened().size(), 1);
        QCOMPARE(service.requestCount(), 3);
    }

    void enableRuleAndClosingThePanel() {
        const auto enabled = [this](const QString& name) {
            return control<QWidget>(window_, name)->isEnabled();
        };
        control<QCheckBox>(window_, u"选择框截取"_s)->click();
        QVERIFY(!enabled(u"编辑框左边字符"_s) && !enabled(u"编辑框右边字符"_s) &&
                !enabled(u"选择框逆向截取"_s));
        control<QCheckBox>(window_, u"选择框替换"_s)->click();
        QVERIFY(!enabled(u"编辑框欲替换"_s) && !enabled(u"编辑框替换为"_s));
        QVERIFY(!enabled(u"编辑框前缀"_s) && !enabled(u"编辑框后缀"_s));
        control<QCheckBox>(window_, u"选择框插入"_s)->click();
        QVERIFY(enabled(u"编辑框前缀"_s) && enabled(u"编辑框后缀"_s));

        click(u"按钮关闭面板"_s);
        QVERIFY(!control<InterfacePanel>(window_, u"图片框面板"_s)->isVisible());
        QCOMPARE(control<QPushButton>(window_, u"按钮添加"_s)->text(), u"打开接口面板"_s);
        QVERIFY(window_->readInterfaceFromPanel().insertEnabled);  // still the live definition
    }

    void aFailedExportOrImportSaysWhyAndChangesNothing() {
        address_->setText(u"http://e.example.test/x"_s);
        const QString missing =
            QString::fromStdString((session_->sandbox().dir() / "no" / "e.ini").string());
        FileDialog::setNextFileName(missing);
        MessageBox::setNextAnswer(QMessageBox::Ok);
        click(u"按钮导出接口"_s);
        QVERIFY(MessageBox::lastText() != u"接口已导出！"_s);
        QVERIFY(MessageBox::lastText().contains(missing));

        const std::filesystem::path none = session_->sandbox().dir() / "none.ini";
        test::writeFile(none, "[other]\r\nk=v");
        FileDialog::setNextFileName(QString::fromStdString(none.string()));
        MessageBox::setNextAnswer(QMessageBox::Ok);
        click(u"按钮导入接口"_s);
        QVERIFY(MessageBox::lastText() != u"接口已导入！"_s);
        QCOMPARE(address_->text(), u"http://e.example.test/x"_s);

        const std::filesystem::path bare = session_->sandbox().dir() / "bare.ini";
        test::writeFile(bare, fromQt(u"[短网址选项_x]\r\n提取表达式=u\r\n"_s));
        FileDialog::setNextFileName(QString::fromStdString(bare.string()));
        MessageBox::setNextAnswer(QMessageBox::Ok);
        click(u"按钮导入接口"_s);
        QVERIFY(MessageBox::lastText().contains(u"没有“接口地址”"_s));
        QCOMPARE(address_->text(), u"http://e.example.test/x"_s);
    }

    void aNameThatWouldWriteLinesOfItsOwnIsRefused() {
        MessageBox::setNextAnswer(QMessageBox::Ok);
        addInterface(u"http://[::1]:8080/x"_s);
        QCOMPARE(list_->count(), 0);
        QVERIFY(MessageBox::lastText().contains(u"接口名称"_s));
        QVERIFY(listInterfaceNames(settingsStore()).empty());
    }

    void aSaveThatFailsIsShownWithTheFileAndTheReason() {
        platform::faults::failNext(platform::faults::Call::Rename, EROFS);
        MessageBox::setNextAnswer(QMessageBox::Ok);
        addInterface(u"http://s.example.test/"_s);
        const QString text = MessageBox::lastText();
        QVERIFY2(text.contains(toQt(gbkPath(session_->sandbox().file()))), qPrintable(text));
        QVERIFY2(text.contains(toQt(platform::errorText(EROFS))), qPrintable(text));
    }

private:
    void click(const QString& button) {
        QTest::mouseClick(control<QPushButton>(window_, button), Qt::LeftButton);
    }

    void addInterface(const QString& address) {
        address_->setText(address);
        click(u"按钮添加"_s);
    }

    QStringList itemTexts() const {
        QStringList texts;
        for (int i = 0; i < list_->count(); ++i) texts.append(list_->item(i)->text());
        return texts;
    }

    const QList<ShellRequest>& opened() const { return session_->opened(); }

    std::unique_ptr<test::WindowSession> session_;
    MainWindow* window_ = nullptr;
    QListWidget* list_ = nullptr;
    QLineEdit* address_ = nullptr;
};

QTEST_MAIN(InterfacePanelTest)
#include "interfacepanel_test.moc"
