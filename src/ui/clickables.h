#pragma once
// The banner, its clickable pictures and links, and a button that also
// answers the right mouse button.

#include <QAbstractButton>
#include <QLabel>
#include <QPushButton>
#include <functional>

namespace lianshuo {

/// The strip at the top of the main window, its ground drawn in colours of its palette.
class Banner : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent* event) override;
};

/// A picture with a hand cursor that reports a left click.
class ClickableImage : public QLabel {
    Q_OBJECT
public:
    explicit ClickableImage(QWidget* parent = nullptr);
    /// Shows what `draw` draws for the palette, now and after every change of the palette.
    void setPicture(std::function<QPixmap(const QPalette&)> draw);

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    std::function<QPixmap(const QPalette&)> draw_;
};

/// An underlined link caption, in the link colour of its palette, that is a
/// button underneath: it reports the left button going down (pressed), takes
/// the focus by Tab, shows it with a ring, and answers Space and Return.
class LinkLabel : public QAbstractButton {
    Q_OBJECT
public:
    LinkLabel(const QString& caption, QFont font, QWidget* parent = nullptr);

    QSize sizeHint() const override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};

/// A push button whose keyboard focus shows as a ring in the highlight colour,
/// plain to see on the start button's own frame.
class FocusRingButton : public QPushButton {
    Q_OBJECT
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent* event) override;
};

/// Draws the ring of keyboard focus inside `rect`.
void drawFocusRing(QPainter& painter, const QWidget* widget, const QRect& rect);

/// A push button that also reports the right button going down.
class RightClickButton : public FocusRingButton {
    Q_OBJECT
public:
    using FocusRingButton::FocusRingButton;

signals:
    void rightPressed();

protected:
    void mousePressEvent(QMouseEvent* event) override;
};

}  // namespace lianshuo
