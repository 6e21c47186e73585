#pragma once
// The QR code of a short address, for a phone to read off the screen: the
// code drawn with whole pixels per module, the address under it, and buttons
// that copy the image or save it as a PNG file.

#include <QDialog>
#include <QImage>
#include <QString>

#include "base/qrcode.h"

class QAction;
class QMenu;

namespace lianshuo {

class QrCodeDialog : public QDialog {
    Q_OBJECT
public:
    /// A dialog over `parent` showing `code`, the QR code of `text`.
    QrCodeDialog(const QString& text, const QrMatrix& code, QWidget* parent);

    /// The code as shown: black and white, quiet zone included, square modules.
    const QImage& image() const { return image_; }
    /// Puts the image on the clipboard.
    void copyImage();
    /// Asks for a file and writes the image into it as PNG; a failure is a warning with its reason.
    void saveAsPng();

private:
    QImage image_;
};

/// The image of `code` with `scale` pixels per module, black on white, quiet zone included.
QImage qrCodeImage(const QrMatrix& code, int scale);

/// Opens the QR code dialog of `text` over `parent`; a text that makes no code is a warning.
void showQrCode(QWidget* parent, const QString& text);

/// Adds "二维码…" to `menu`, opening the code of `shortUrl`; disabled when there is none.
QAction* addQrCodeAction(QMenu* menu, const QString& shortUrl, QWidget* parent);

}  // namespace lianshuo
