#include "ui/infobox.h"

#include <QFrame>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QStringList>

#include "base/makerlinks.h"
#include "ui/controls.h"
#include "ui/qtext.h"
#include "ui/windowplace.h"

namespace lianshuo {

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int kButtonWidth = 64;
constexpr int kButtonHeight = 24;

}  // namespace

InputBoxWindow::InputBoxWindow(QWidget* owner) : QDialog(owner) {
    resize(495, 393);
    setMinimumSize(240, 160);
    setFont(uiFont(FontFace::Song, 15));
    prompt_ = addControl<QPlainTextEdit>(this, u"编辑框提示"_s, QRect(13, 8, 395, 33));
    prompt_->setReadOnly(true);
    prompt_->setAccessibleName(u"提示"_s);
    text_ = addControl<QPlainTextEdit>(this, u"编辑框正文"_s, QRect(5, 56, 411, 168));
    text_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    text_->setAccessibleName(u"正文"_s);
    text_->setTabChangesFocus(true);
    cancel_ = addControl<QPushButton>(this, u"按钮取消"_s, QRect(414, 328, 64, 24), u"取消"_s);
    ok_ = addControl<QPushButton>(this, u"按钮确定"_s, QRect(351, 328, 64, 24), u"确定"_s);
    ok_->setDefault(true);
    shapeFrame_ = addControl<QFrame>(this, u"外形框"_s, QRect(8, 320, 336, 34));
    shapeFrame_->setFrameShape(QFrame::StyledPanel);
    const QStringList names = {u"按钮恢复"_s, u"按钮清空"_s, u"按钮粘贴"_s, u"按钮文件"_s,
                               u"按钮文件名"_s};
    const QStringList captions = {u"恢复"_s, u"清空"_s, u"粘贴"_s, u"内容"_s, u"文件名"_s};
    for (int i = 0; i < names.size(); ++i)
        addControl<QPushButton>(shapeFrame_, names[i], QRect(4 + i * 66, 5, 64, kButtonHeight),
                                captions[i]);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
}

void InputBoxWindow::showText(const QString& text, const QString& title, const QString& prompt,
                              int margin) {
    margin_ = margin < 1 ? 5 : margin;
    prompt_->setPlainText(prompt);
    setWindowTitle(title.isEmpty() ? u"信息："_s : title);
    text_->setPlainText(withWidgetBreaks(text));
    ok_->hide();
    shapeFrame_->hide();
    text_->setReadOnly(true);
    text_->setBackgroundRole(QPalette::Window);
    QPalette colours = text_->palette();
    colours.setColor(QPalette::Base, colours.color(QPalette::Window));
    text_->setPalette(colours);
    cancel_->setText(u"关闭(&G)"_s);
    cancel_->setDefault(true);
    layoutControls();
    centreOnScreen();
    // Where the user left the last box, when anywhere.
    keepWindowPlace(this, PlacedWindow::Information);
}

void InputBoxWindow::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    layoutControls();
}

void InputBoxWindow::layoutControls() {
    const int m = margin_;
    const int width = this->width();
    const int height = this->height();
    // An empty prompt takes no room, so the text starts right under the top margin.
    const QString promptText = prompt_->toPlainText();
    const int lines = promptText.isEmpty() ? 0 : int(promptText.count(u'\n')) + 1;
    const int promptHeight = lines == 0 ? 0 : lines * prompt_->fontMetrics().lineSpacing() + 10;
    prompt_->setVisible(promptHeight > 0);
    prompt_->setGeometry(m, m, width - 2 * m, promptHeight);
    const int buttonTop = height - m - kButtonHeight;
    cancel_->setGeometry(width - m - kButtonWidth, buttonTop, kButtonWidth, kButtonHeight);
    ok_->setGeometry(cancel_->x() - m - kButtonWidth, buttonTop, kButtonWidth, kButtonHeight);
    shapeFrame_->move(m, height - m - shapeFrame_->height());
    const int textTop = promptHeight > 0 ? m + promptHeight + m : m;
    text_->setGeometry(m, textTop, width - 2 * m, buttonTop - m - textTop);
}

void InputBoxWindow::centreOnScreen() {
    const QScreen* screen = this->screen();
    if (!screen) return;
    fitOnScreen(this);
    const QRect area = screen->availableGeometry();
    move(area.x() + area.width() / 2 - width() / 2,
         area.y() + (area.height() - 30) / 2 - height() / 2);
}

void showInformation(const QString& text, const QString& title, QWidget* owner) {
    static QPointer<InputBoxWindow> open;
    if (open) return;
    InputBoxWindow box(owner);
    open = &box;
    box.showText(text, title);
    box.exec();
}

QString introductionText() {
    const QStringList lines = {
        u"-----------------软件介绍-----------------"_s,
        u""_s,
        u"蓝棠软件出品的一款批量短网址转换软件。"_s,
        u"内置百度、新浪微博、国外等几种短网址转换支持（不保证永久有效但会尽量更新），更支持自定义接口转换自己架设的短网址。还可以对文件中的网址（如淘宝客单页里的淘宝客链接）进行短网址转换并替换回原网址位置，可选择多个文件批量处理。"_s,
        u""_s,
        u"-----------------疑点说明-----------------"_s,
        u""_s,
        u"视频教程："_s + QString::fromLatin1(maker::kVideoTutorial),
        u""_s,
        u""_s,
        u"本软件已经内置对主流短网址站点的转换支持。如果你需要转换自己的短网址，就需要用到自定义短网址接口功能。"_s,
        u""_s,
        u"要想自定义短网址接口，就需要对短网址的转换过程进行抓包，然后分析数据填到本软件即可。"_s,
        u""_s,
        u"蓝棠推荐的抓包工具：傲游浏览器4的高速内核下的审查元素面板里的网络栏"_s,
        u""_s,
        u"1、下载傲游浏览器4，用它的高速内核打开你的短网址转换页面"_s,
        u""_s,
        u"2、右击网页弹出菜单，单击“审查元素”菜单项再切换到“网络”栏"_s,
        u""_s,
        u"3、在你的短网址转换页面输入长网址来转换，这个转换过程被“网络”栏捕获到转换数据。这一步就是抓包了。"_s,
        u""_s,
        u"4、你会看到有一个列表，里面的“方法”列显示有GET或POST方式返回的数据包。一般点击第一个项目，查看数据包的具体数据，分析该数据包是不是用来转换短网址的。如果不是就分析下一条，是则将对应数据填到接口设置里。"_s,
        u""_s,
        u"5、填好接口设置，点击“添加/修改”按钮即可添加或修改你的短网址接口。"_s,
        u""_s,
        u""_s,
        u"PS：如果你确实不会按照上面的流程来操作，可以有偿 50 元让蓝棠帮你远程分析设置，也方便你自己学会。"_s,
    };
    return lines.join(u"\r\n"_s);
}

}  // namespace lianshuo
