#include "ui/qrcodedialog.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QImageWriter>
#include <QLabel>
#include <QMenu>
#include <QPixmap>
#include <QPushButton>
#include <QSaveFile>
#include <QtMath>
#include <algorithm>

#include "store/settings.h"
#include "ui/controls.h"
#include "ui/dialogs.h"
#include "ui/qtext.h"

namespace lianshuo {

using namespace Qt::Literals::StringLiterals;

namespace {

// About this many pixels across, whatever the code's version; never under two
// pixels a module, so the smallest module stays visible.
constexpr int kShownWidth = 320;
constexpr int kMargin = 12;
constexpr int kButtonHeight = 28;
constexpr int kTextHeight = 40;

// Writes `image` as PNG to `file` whole or not at all: the reason of a failure, else empty.
QString writePng(const QImage& image, const QString& file) {
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly)) return out.errorString();
    QImageWriter writer(&out, "png");
    if (!writer.write(image)) {
        out.cancelWriting();
        return writer.errorString();
    }
    if (!out.commit()) return out.errorString();
    return {};
}

}  // namespace

QImage qrCodeImage(const QrMatrix& code, int scale) {
    const int side = code.sizeWithQuietZone();
    QImage image(side * scale, side * scale, QImage::Format_Grayscale8);
    // Whole pixels per module and no smoothing: every edge stays sharp for a camera.
    for (int y = 0; y < image.height(); ++y) {
        uchar* line = image.scanLine(y);
        for (int x = 0; x < image.width(); ++x)
            line[x] = code.darkAt(x / scale, y / scale) ? 0 : 255;
    }
    return image;
}

QrCodeDialog::QrCodeDialog(const QString& text, const QrMatrix& code, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(u"二维码 - "_s + toQt(appTitle()));
    setFont(uiFont(FontFace::Song, 13));
    // Whole device pixels per module: on a scaled screen the pixmap is drawn 1:1, never
    // stretched by a fraction.
    const qreal ratio = devicePixelRatioF();
    image_ = qrCodeImage(code, std::max(2, qRound(kShownWidth * ratio) / code.sizeWithQuietZone()));
    QPixmap pixmap = QPixmap::fromImage(image_);
    pixmap.setDevicePixelRatio(ratio);
    const int shown = qCeil(image_.width() / ratio);
    const int width = std::max(shown, kShownWidth) + 2 * kMargin;
    auto* picture = addControl<QLabel>(this, u"图片二维码"_s,
                                       QRect((width - shown) / 2, kMargin, shown, shown));
    picture->setPixmap(pixmap);
    int y = kMargin + shown + 8;
    auto* address = addControl<QLabel>(this, u"标签网址"_s,
                                       QRect(kMargin, y, width - 2 * kMargin, kTextHeight), text);
    address->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    address->setWordWrap(true);
    address->setTextInteractionFlags(Qt::TextSelectableByMouse);
    y += kTextHeight + 8;
    const int buttonWidth = (width - 2 * kMargin - 16) / 3;
    auto* copy = addControl<QPushButton>(
        this, u"按钮复制图片"_s, QRect(kMargin, y, buttonWidth, kButtonHeight), u"复制图片"_s);
    auto* save = addControl<QPushButton>(
        this, u"按钮保存PNG"_s, QRect(kMargin + buttonWidth + 8, y, buttonWidth, kButtonHeight),
        u"保存为 PNG…"_s);
    auto* close = addControl<QPushButton>(
        this, u"按钮关闭"_s, QRect(width - kMargin - buttonWidth, y, buttonWidth, kButtonHeight),
        u"关闭"_s);
    close->setDefault(true);
    setFixedSize(width, y + kButtonHeight + kMargin);
    connect(copy, &QPushButton::clicked, this, &QrCodeDialog::copyImage);
    connect(save, &QPushButton::clicked, this, &QrCodeDialog::saveAsPng);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
}

void QrCodeDialog::copyImage() {
    QGuiApplication::clipboard()->setImage(image_);
}

void QrCodeDialog::saveAsPng() {
    const QString file =
        FileDialog::getSaveFileName(this, u"保存为 PNG"_s, u"PNG 图片 (*.png)"_s, u"png"_s);
    if (file.isEmpty()) return;
    if (const QString reason = writePng(image_, file); !reason.isEmpty())
        MessageBox::warning(this, toQt(appTitle()), u"无法保存 %1：%2"_s.arg(file, reason));
}

void showQrCode(QWidget* parent, const QString& text) {
    const Result<QrMatrix> code = encodeQrCode(text.toStdString());
    if (!code) {
        MessageBox::warning(parent, toQt(appTitle()), toQt(code.reason()));
        return;
    }
    auto* dialog = new QrCodeDialog(text, *code, parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
}

QAction* addQrCodeAction(QMenu* menu, const QString& shortUrl, QWidget* parent) {
    QAction* action = menu->addAction(u"二维码…"_s);
    action->setEnabled(!shortUrl.isEmpty());
    QObject::connect(action, &QAction::triggered, parent,
                     [parent, shortUrl] { showQrCode(parent, shortUrl); });
    return action;
}

}  // namespace lianshuo
