// The panel's "预设" drop-down and "高级…" dialog: every preset filled in,
// given its token and tested against its strict fake in the window; the keys
// of the dialog saved and loaded; the token kept out of an export unless the
// user says so; a .sxcu file imported into the panel.

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

#include "services/interfacepresets.h"
#include "services/interfacestore.h"
#include "services/preset_cases.h"
#include "services/sxcu_cases.h"
#include "store/controlstatestore.h"
#include "store/settings.h"
#include "support/fake_apis.h"
#include "ui/dialogs.h"
#include "ui/interfaceadvanced.h"
#include "ui/mainwindow.h"
#include "ui/qtext.h"
#include "uitestkit.h"

using namespace Qt::Literals::StringLiterals;
using namespace lianshuo;
using test::control;

class InterfaceAdvancedTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        session_ = std::make_unique<test::WindowSession>();
        QVERIFY(session_->isOpen());
        window_ = &session_->window();
        control<QComboBox>(window_, u"组合框短网址"_s)->setCurrentIndex(0);
        click(u"按钮添加"_s);
        address_ = control<QLineEdit>(window_, u"编辑框接口地址"_s);
        presets_ = control<QComboBox>(window_, u"组合框预设"_s);
    }

    void cleanup() { session_.reset(); }

    void everyPresetConvertsAgainstItsFakeInTheWindow() {
        // The cases' texts are UTF-8 in this file, as every narrow literal of the windows' code.
        for (const test::presets::PresetCase& preset : test::presets::cases()) {
            test::TestServer fake;
            preset.serve(fake);
            const QString base = QString::fromStdString(fake.url(""));
            const InterfacePreset& entry = *findPreset(preset.preset);
            if (entry.host.empty()) InputDialog::setNextText(base);
            choosePreset(QString::fromStdString(preset.preset));
            // The drop-down shows the preset loaded, not a grey "预设".
            QCOMPARE(presets_->currentText(), QString::fromStdString(preset.preset));
            if (!entry.host.empty())
                address_->setText(address_->text().replace(toQt(entry.host), base));
            QVERIFY2(address_->text().startsWith(base), qPrintable(address_->text()));
            const bool logsIn = test::presets::logsIn(entry);
            const bool needsToken = test::presets::needsSecret(entry);
            if (logsIn)
                logIn(toQt(entry.host), base, u"tok-123"_s);
            else if (needsToken)
                setToken(u"tok-123"_s);

            QCOMPARE(testInterface(u"http://a.test/x?q=1"_s),
                     u"http://a.test/x?q=1\r\n\r\n转为如下短网址：\r\n\r\n"_s +
                         QString::fromStdString(preset.shortUrl) +
                         u"\r\n\r\n点击确定将在浏览器打开短网址！"_s);
            // A log-in comes first, once.
            QCOMPARE(fake.requests().size(), std::size_t(logsIn ? 2 : 1));
            // Method and path; the engine's tests check every byte of the request.
            const std::string& line = preset.requestLine;
            const std::string start = line.substr(0, line.find_first_of("?{"));
            QVERIFY2(fake.requests().back().requestLine.starts_with(start), line.c_str());

            if (logsIn)
                logIn(base, base, u"wrong"_s);
            else if (needsToken)
                setToken(u"wrong"_s);
            const QString longUrl = needsToken ? u"http://a.test/x?q=1"_s : u"ftp://a.test/x"_s;
            QCOMPARE(testInterface(longUrl),
                     longUrl + u"\r\n\r\n生成错误："_s + QString::fromUtf8(preset.failureReason));
        }
    }

    void aSelfHostedPresetAsksForItsHostAndACancelChangesNothing() {
        const QString before = address_->text();
        InputDialog::setNextText(std::nullopt);
        choosePreset(u"yourls"_s);
        QVERIFY(InputDialog::lastPrompt().startsWith(u"“yourls”是自建的服务"_s));
        QCOMPARE(address_->text(), before);
        InputDialog::setNextText(u"s.example.test/yourls/"_s);
        choosePreset(u"yourls"_s);
        QVERIFY(address_->text().startsWith(u"https://s.example.test/yourls/yourls-api.php?"_s));
    }

    void aPresetSaysWhatItStillNeedsAndItsTokenIsOnThePanel() {
        auto* hint = control<QLabel>(window_, u"标签预设说明"_s);
        auto* token = control<QLineEdit>(window_, u"编辑框面板令牌"_s);
        QVERIFY(!hint->isVisible() && !token->isVisible());

        choosePreset(u"bitly"_s);
        QCOMPARE(hint->text(), u"已载入预设 bitly：需要令牌：访问令牌"_s);
        QVERIFY(token->isVisible());
        QCOMPARE(token->echoMode(), QLineEdit::Password);
        control<QCheckBox>(window_, u"选择框显示面板令牌"_s)->click();
        QCOMPARE(token->echoMode(), QLineEdit::Normal);
        token->setText(u"tok-1"_s);
        QCOMPARE(hint->text(), u"已载入预设 bitly：可以测试或保存"_s);
        QCOMPARE(window_->readInterfaceFromPanel().token, std::string("tok-1"));
        // The dialog edits the same token, and keeps the preset named.
        setToken(u"tok-2"_s);
        QCOMPARE(token->text(), u"tok-2"_s);
        QCOMPARE(presets_->currentText(), u"bitly"_s);

        address_->clear();
        QCOMPARE(hint->text(), u"已载入预设 bitly：需要主机"_s);
        choosePreset(u"is.gd"_s);
        QCOMPARE(hint->text(), u"已载入预设 is.gd：可以测试或保存"_s);
        QVERIFY(!token->isVisible());
        // An interface of the user's own shows the token row as soon as it sends "#令牌#".
        address_->setText(u"https://s.example.test/api?key=#令牌#&u=#长网址#"_s);
        QVERIFY(token->isVisible());
        // A service that logs in first asks for what its token request sends, not for a token.
        choosePreset(u"bl.ink"_s);
        QCOMPARE(hint->text(), u"已载入预设 bl.ink：需要用户名：电子邮箱，需要密码：BL.INK 密码"_s);
        QVERIFY(!token->isVisible());
        logIn({}, {}, u"pw"_s);
        QCOMPARE(hint->text(), u"已载入预设 bl.ink：可以测试或保存"_s);
    }

    void savingNamesTheInterfaceByItsHostAndPortAndSaysSo() {
        auto* hint = control<QLabel>(window_, u"标签预设说明"_s);
        auto* list = control<QListWidget>(window_, u"列表框"_s);
        // Saved by an earlier version under the bare host: it keeps that name.
        ShortUrlInterface old;
        old.address = fromQt(u"http://127.0.0.1:9090/old?u=#长网址#"_s);
        QVERIFY(saveInterface(old, settingsStore()).ok());
        for (const QString& address :
             {u"http://127.0.0.1:8080/x?u=#长网址#"_s, u"http://127.0.0.1:9090/new?u=#长网址#"_s,
              u"https://s.example.test:443/y"_s}) {
            address_->setText(address);
            click(u"按钮添加"_s);
        }
        QStringList names;
        for (int i = 0; i < list->count(); ++i) names << list->item(i)->text();
        QCOMPARE(names, QStringList({u"127.0.0.1:8080"_s, u"127.0.0.1"_s, u"s.example.test"_s}));
        QCOMPARE(hint->text(), u"已保存接口 s.example.test"_s);
        QCOMPARE(loadInterface("127.0.0.1", settingsStore()).address,
                 fromQt(u"http://127.0.0.1:9090/new?u=#长网址#"_s));
        QCOMPARE(loadInterface("127.0.0.1:8080", settingsStore()).address,
                 fromQt(u"http://127.0.0.1:8080/x?u=#长网址#"_s));
    }

    void everyFieldHasAChineseNameAndTakesTheTabKey() {
        QStringList unnamed;
        int fields = 0;
        QString throttleName;
        withDialog([&](QDialog* dialog) {
            for (QWidget* field : dialog->findChildren<QWidget*>()) {
                if (!qobject_cast<QLineEdit*>(field) && !qobject_cast<QComboBox*>(field) &&
                    !qobject_cast<QPlainTextEdit*>(field) && !qobject_cast<QCheckBox*>(field))
                    continue;
                ++fields;
                QAccessibleInterface* face = QAccessible::queryAccessibleInterface(field);
                if (!face || face->text(QAccessible::Name).isEmpty() ||
                    !(field->focusPolicy() & Qt::TabFocus))
                    unnamed << field->objectName();
            }
            throttleName = QAccessible::queryAccessibleInterface(
                               control<QLineEdit>(dialog, u"编辑框限流表达式"_s))
                               ->text(QAccessible::Name);
            dialog->reject();
        });
        QVERIFY(fields >= 12);
        QCOMPARE(unnamed, QStringList());
        QCOMPARE(throttleName, u"限流表达式"_s);
    }

    void theDialogsKeysAreSavedAndLoadedWithTheInterface() {
        address_->setText(u"http://k.example.test/api"_s);
        withDialog([](QDialog* dialog) {
            control<QLineEdit>(dialog, u"编辑框接口名称"_s)->setText(u"我的接口"_s);
            control<QComboBox>(dialog, u"组合框请求方法"_s)->setCurrentText(u"PATCH"_s);
            control<QComboBox>(dialog, u"组合框请求格式"_s)->setCurrentIndex(1);
            control<QPlainTextEdit>(dialog, u"编辑框请求头"_s)
                ->setPlainText(u"X-Key: #令牌#\nAccept: application/json"_s);
            auto* token = control<QLineEdit>(dialog, u"编辑框令牌"_s);
            QCOMPARE(token->echoMode(), QLineEdit::Password);
            control<QCheckBox>(dialog, u"选择框显示令牌"_s)->click();
            QCOMPARE(token->echoMode(), QLineEdit::Normal);
            token->setText(u"秘密"_s);
            control<QComboBox>(dialog, u"组合框提取方式"_s)->setCurrentIndex(1);
            control<QLineEdit>(dialog, u"编辑框提取表达式"_s)->setText(u"data.link"_s);
            control<QLineEdit>(dialog, u"编辑框错误表达式"_s)->setText(u"error.message"_s);
            control<QLineEdit>(dialog, u"编辑框成功状态码"_s)->setText(u"200,201"_s);
            control<QLineEdit>(dialog, u"编辑框间隔毫秒"_s)->setText(u"1500"_s);
            control<QLineEdit>(dialog, u"编辑框结果模板"_s)->setText(u"https://#值(d)#/#值(id)#"_s);
            QTest::mouseClick(control<QPushButton>(dialog, u"按钮确定"_s), Qt::LeftButton);
        });
        QVERIFY(control<QRadioButton>(window_, u"单选框POST"_s)->isChecked());
        const ShortUrlInterface edited = window_->readInterfaceFromPanel();
        QCOMPARE(toQt(edited.name), u"我的接口"_s);
        QCOMPARE(edited.method, std::string("PATCH"));
        QCOMPARE(toQt(edited.headers), u"X-Key: #令牌#\r\nAccept: application/json"_s);
        QCOMPARE(edited.pauseMs, 1500L);
        QCOMPARE(toQt(edited.resultTemplate), u"https://#值(d)#/#值(id)#"_s);

        click(u"按钮添加"_s);  // add or modify, under the given name
        auto* list = control<QListWidget>(window_, u"列表框"_s);
        QCOMPARE(list->count(), 1);
        QCOMPARE(list->item(0)->text(), u"我的接口"_s);
        QVERIFY(loadInterface(fromQt(u"我的接口"_s), settingsStore()) == edited);
        address_->setText(u"http://changed.example.test/"_s);
        list->setCurrentRow(-1);
        list->setCurrentRow(0);
        QVERIFY(window_->readInterfaceFromPanel() == edited);

        // GET on the panel takes back PUT and PATCH.
        control<QRadioButton>(window_, u"单选框GET"_s)->click();
        QCOMPARE(window_->readInterfaceFromPanel().method, std::string());
    }

    void theDialogRefusesKeysThatCouldNeverBeSent() {
        const ShortUrlInterface before = window_->readInterfaceFromPanel();
        withDialog([](QDialog* dialog) {
            control<QPlainTextEdit>(dialog, u"编辑框请求头"_s)->setPlainText(u"no colon"_s);
            MessageBox::setNextAnswer(QMessageBox::Ok);
            QTest::mouseClick(control<QPushButton>(dialog, u"按钮确定"_s), Qt::LeftButton);
            QVERIFY(dialog->isVisible());
            QCOMPARE(MessageBox::lastText(), u"请求头“no colon”不是“名称: 值”的形式"_s);
            QTest::mouseClick(control<QPushButton>(dialog, u"按钮取消"_s), Qt::LeftButton);
        });
        QVERIFY(window_->readInterfaceFromPanel() == before);
    }

    void theCredentialsAndTokenRequestAreMaskedSavedAndRefusedByName() {
        address_->setText(u"https://bl.example.test/v4/links"_s);
        withDialog([](QDialog* dialog) {
            auto* password = control<QLineEdit>(dialog, u"编辑框密码"_s);
            QCOMPARE(password->echoMode(), QLineEdit::Password);
            QCOMPARE(control<QLineEdit>(dialog, u"编辑框用户名"_s)->echoMode(),
                     QLineEdit::Password);
            control<QCheckBox>(dialog, u"选择框显示密码"_s)->click();
            QCOMPARE(password->echoMode(), QLineEdit::Normal);
            control<QLineEdit>(dialog, u"编辑框用户名"_s)->setText(u"ann"_s);
            password->setText(u"pa55"_s);
            control<QLineEdit>(dialog, u"编辑框令牌地址"_s)
                ->setText(u"https://bl.example.test/v4/access_token"_s);
            control<QComboBox>(dialog, u"组合框令牌请求格式"_s)->setCurrentIndex(0);
            control<QLineEdit>(dialog, u"编辑框令牌请求正文"_s)
                ->setText(u"email=#用户名#&password=#密码#"_s);
            control<QLineEdit>(dialog, u"编辑框令牌有效秒"_s)->setText(u"soon"_s);
            // No path yet and no number: both keys named, the dialog stays.
            MessageBox::setNextAnswer(QMessageBox::Ok);
            QTest::mouseClick(control<QPushButton>(dialog, u"按钮确定"_s), Qt::LeftButton);
            QVERIFY(dialog->isVisible());
            QVERIFY(MessageBox::lastText().contains(u"令牌提取为空"_s));
            QVERIFY(MessageBox::lastText().contains(u"令牌有效秒应在"_s));
            control<QLineEdit>(dialog, u"编辑框令牌提取"_s)->setText(u"access_token"_s);
            control<QLineEdit>(dialog, u"编辑框令牌有效秒"_s)->setText(u"86400"_s);
            QTest::mouseClick(control<QPushButton>(dialog, u"按钮确定"_s), Qt::LeftButton);
        });
        const ShortUrlInterface edited = window_->readInterfaceFromPanel();
        QCOMPARE(toQt(edited.password), u"pa55"_s);
        QCOMPARE(edited.tokenBodyFormat, BodyFormat::Form);
        QCOMPARE(toQt(edited.tokenBody), u"email=#用户名#&password=#密码#"_s);
        QCOMPARE(edited.tokenLifetimeSeconds, 86400L);
        click(u"按钮添加"_s);
        QVERIFY(loadInterface("bl.example.test", settingsStore()) == edited);
    }

    void exportAsksBeforeWritingTheTokenAndASxcuFileImports() {
        choosePreset(u"dub"_s);
        setToken(u"s3cret"_s);
        const std::filesystem::path dir = session_->sandbox().dir().path();
        for (const bool yes : {false, true}) {
            FileDialog::setNextFileName(QString::fromStdString((dir / "dub.ini").string()));
            MessageBox::setNextAnswer(yes ? QMessageBox::Yes : QMessageBox::No);
            // The question takes the answer above; the completion box that follows is closed
            // once it runs.
            QTimer::singleShot(0, this, [] {
                if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                    box->accept();
            });
            click(u"按钮导出接口"_s);
            QCOMPARE(MessageBox::lastText(), u"接口已导出！"_s);
            QCOMPARE(test::readFile(dir / "dub.ini").find("s3cret") != std::string::npos, yes);
        }

        // No raw string here: the meta-object compiler reads this file too.
        test::writeFile(dir / "k.sxcu",
                        "{\"DestinationType\": \"URLShortener\", \"RequestURL\": "
                        "\"https://k.test/api\", \"Body\": \"JSON\", \"Data\": "
                        "\"{\\\"u\\\":\\\"{input}\\\"}\", \"URL\": \"{json:link}\"}");
        FileDialog::setNextFileName(QString::fromStdString((dir / "k.sxcu").string()));
        MessageBox::setNextAnswer(QMessageBox::Ok);
        click(u"按钮导入接口"_s);
        QCOMPARE(MessageBox::lastText(), u"接口已导入！"_s);
        QCOMPARE(address_->text(), u"https://k.test/api"_s);
        QCOMPARE(window_->readInterfaceFromPanel().bodyFormat, BodyFormat::Json);
    }

    void eachSxcuFileImportsAndConvertsInTheWindow() {
        const std::filesystem::path file = session_->sandbox().dir() / "in.sxcu";
        for (const auto& sxcu : test::sxcufiles::cases()) {
            test::TestServer fake;
            sxcu.serve(fake);
            test::writeFile(file, test::sxcufiles::withBase(sxcu.file, fake.url("")));
            FileDialog::setNextFileName(QString::fromStdString(file.string()));
            MessageBox::setNextAnswer(QMessageBox::Ok);
            click(u"按钮导入接口"_s);
            QCOMPARE(MessageBox::lastText(), u"接口已导入！"_s);
            QVERIFY(testInterface(u"http://a.test/1"_s)
                        .contains(QString::fromStdString("\r\n" + sxcu.shortUrl + "\r\n")));
        }
    }

    void aPastedLineBringsItsAliasAfterATab() {
        test::TestServer fake;
        fake.route("/a", [](test::Exchange& e) { e.answer(200, "https://s.test/aliased"); });
        test::useCustomInterface(*window_,
                                 QString::fromStdString(fake.url("/a?u=#长网址#&alias=#别名#")));
        test::pasteUrls(*window_, {u"http://a.test/1\tmine"_s});
        click(u"按钮生成"_s);
        QTRY_COMPARE(fake.requests().size(), std::size_t(1));
        QCOMPARE(QString::fromStdString(fake.requests()[0].target),
                 u"/a?u=http%3A%2F%2Fa.test%2F1&alias=mine"_s);
    }

private:
    void click(const QString& button) {
        QTest::mouseClick(control<QPushButton>(window_, button), Qt::LeftButton);
    }

    void choosePreset(const QString& name) {
        const int index = presets_->findText(name);
        QVERIFY2(index >= 0, qPrintable(name));
        emit presets_->activated(index);
    }

    // Opens "高级…" and lets `act` work the dialog once it runs.
    void withDialog(std::function<void(QDialog*)> act) {
        bool acted = false;
        QTimer::singleShot(0, this, [&] {
            auto* dialog =
                qobject_cast<InterfaceAdvancedDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            act(dialog);
            acted = true;
        });
        click(u"按钮高级"_s);
        QVERIFY(acted);
    }

    void setToken(const QString& token) {
        withDialog([&](QDialog* dialog) {
            control<QLineEdit>(dialog, u"编辑框令牌"_s)->setText(token);
            QTest::mouseClick(control<QPushButton>(dialog, u"按钮确定"_s), Qt::LeftButton);
        });
    }

    // Gives the log-in's user name and `password`, and moves its token request from `host` to
    // `base` as the address was moved.
    void logIn(const QString& host, const QString& base, const QString& password) {
        withDialog([&](QDialog* dialog) {
            control<QLineEdit>(dialog, u"编辑框用户名"_s)
                ->setText(QString::fromUtf8(test::kFakeUser));
            control<QLineEdit>(dialog, u"编辑框密码"_s)->setText(password);
            auto* tokenUrl = control<QLineEdit>(dialog, u"编辑框令牌地址"_s);
            tokenUrl->setText(tokenUrl->text().replace(host, base));
            QTest::mouseClick(control<QPushButton>(dialog, u"按钮确定"_s), Qt::LeftButton);
        });
    }

    // The test button's message for `longUrl`, answered with Cancel.
    QString testInterface(const QString& longUrl) {
        // An empty box first, so that the test's own is told by its text.
        MessageBox::setNextAnswer(QMessageBox::Ok);
        MessageBox::information(nullptr, {}, {});
        InputDialog::setNextText(longUrl);
        MessageBox::setNextAnswer(QMessageBox::Cancel);
        click(u"按钮测试接口"_s);
        // The outcome comes back on the window's loop; the window answers meanwhile.
        [&] { QTRY_VERIFY_WITH_TIMEOUT(!MessageBox::lastText().isEmpty(), 15000); }();
        return MessageBox::lastText();
    }

    std::unique_ptr<test::WindowSession> session_;
    MainWindow* window_ = nullptr;
    QLineEdit* address_ = nullptr;
    QComboBox* presets_ = nullptr;
};

QTEST_MAIN(InterfaceAdvancedTest)
#include "interfaceadvanced_test.moc"
