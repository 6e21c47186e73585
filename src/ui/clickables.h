#pragma once
// The banner's clickable pictures and links, and a button that also answers
// the right mouse button.

#include <QLabel>
#include <QPushButton>

namespace lianshuo {

/// A picture with a hand cursor that reports a left click.
class ClickableImage : public QLabel {
    Q_OBJECT
public:
    explicit ClickableImage(QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

/// An underlined link caption that reports the left button going down.
class LinkLabel : public QLabel {
    Q_OBJECT
public:
    LinkLabel(const QString& caption, QFont font, QWidget* parent = nullptr);

signals:
    void pressed();

protected:
    void mousePressEvent(QMouseEvent* event) override;
};

/// A push button that also reports the right button going down.
class RightClickButton : public QPushButton {
    Q_OBJECT
public:
    using QPushButton::QPushButton;

signals:
    void rightPressed();

protected:
    void mousePressEvent(QMouseEvent* event) override;
};

}  // namespace lianshuo
