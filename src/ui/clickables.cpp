#include "ui/clickables.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "ui/themecolours.h"

namespace lianshuo {

void Banner::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), bannerGround(palette(), height()));
}

ClickableImage::ClickableImage(QWidget* parent) : QLabel(parent) {
    setCursor(Qt::PointingHandCursor);
}

void ClickableImage::setPicture(std::function<QPixmap(const QPalette&)> draw) {
    draw_ = std::move(draw);
    setPixmap(draw_(palette()));
}

void ClickableImage::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange && draw_) setPixmap(draw_(palette()));
    QLabel::changeEvent(event);
}

void ClickableImage::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QLabel::mouseReleaseEvent(event);
}

LinkLabel::LinkLabel(const QString& caption, QFont font, QWidget* parent)
    : QAbstractButton(parent) {
    setText(caption);
    setAccessibleName(caption);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    font.setUnderline(true);
    setFont(font);
}

QSize LinkLabel::sizeHint() const {
    return fontMetrics().size(Qt::TextSingleLine, text()) + QSize(8, 6);
}

void LinkLabel::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void LinkLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(linkColour(palette()));
    painter.drawText(rect(), Qt::AlignCenter, text());
    if (hasFocus()) drawFocusRing(painter, this, rect());
}

void FocusRingButton::paintEvent(QPaintEvent* event) {
    QPushButton::paintEvent(event);
    if (!hasFocus()) return;
    QPainter painter(this);
    drawFocusRing(painter, this, rect().adjusted(2, 2, -2, -2));
}

void drawFocusRing(QPainter& painter, const QWidget* widget, const QRect& rect) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(widget->palette().color(QPalette::Highlight), 2);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(rect).adjusted(1, 1, -1, -1), 3, 3);
    painter.restore();
}

void RightClickButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        emit rightPressed();
        return;
    }
    QPushButton::mousePressEvent(event);
}

}  // namespace lianshuo
