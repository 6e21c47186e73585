#include "ui/clickables.h"

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
    : QLabel(caption, parent) {
    setCursor(Qt::PointingHandCursor);
    setAlignment(Qt::AlignCenter);
    font.setUnderline(true);
    setFont(font);
}

void LinkLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(linkColour(palette()));
    painter.drawText(contentsRect(), static_cast<int>(alignment()), text());
}

void LinkLabel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) emit pressed();
    QLabel::mousePressEvent(event);
}

void RightClickButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        emit rightPressed();
        return;
    }
    QPushButton::mousePressEvent(event);
}

}  // namespace lianshuo
