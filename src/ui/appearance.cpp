#include "ui/appearance.h"

#include <QActionGroup>
#include <QApplication>
#include <QMenu>
#include <QStyle>
#include <array>

namespace lianshuo {

using namespace Qt::Literals::StringLiterals;

namespace {

// What the system gave the program before any choice changed it.
struct SystemLook {
    QPalette palette;
    QString style;
};

const SystemLook& systemLook() {
    static const SystemLook look{QApplication::palette(), QApplication::style()->name()};
    return look;
}

Appearance& applied() {
    static Appearance choice = Appearance::System;
    return choice;
}

void useStyle(const QString& name) {
    if (QApplication::style()->name().compare(name, Qt::CaseInsensitive) != 0)
        QApplication::setStyle(name);
}

}  // namespace

bool isDarkPalette(const QPalette& palette) {
    return palette.color(QPalette::Active, QPalette::Window).lightness() < 128;
}

QPalette darkPalette() {
    const QColor window(0x35, 0x35, 0x35);
    const QColor text(0xe8, 0xea, 0xed);
    const QColor faded(0x85, 0x88, 0x8c);
    // Views draw their grid a little darker than the window: the base is darker
    // still, so the grid stays in sight.
    QPalette palette(text, window, QColor(0x55, 0x55, 0x55), QColor(0x23, 0x23, 0x23),
                     QColor(0x4a, 0x4a, 0x4a), text, QColor(0xff, 0xff, 0xff),
                     QColor(0x1e, 0x1e, 0x1e), window);
    palette.setColor(QPalette::Midlight, QColor(0x45, 0x45, 0x45));
    palette.setColor(QPalette::Shadow, QColor(0x14, 0x14, 0x14));
    palette.setColor(QPalette::AlternateBase, QColor(0x28, 0x28, 0x28));
    palette.setColor(QPalette::ToolTipBase, QColor(0x42, 0x42, 0x42));
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, faded);
    palette.setColor(QPalette::Highlight, QColor(0x2f, 0x80, 0xed));
    palette.setColor(QPalette::HighlightedText, QColor(0xff, 0xff, 0xff));
    palette.setColor(QPalette::Link, QColor(0x7a, 0xb4, 0xff));
    palette.setColor(QPalette::LinkVisited, QColor(0xb8, 0x9c, 0xff));
    palette.setColor(QPalette::BrightText, QColor(0xff, 0x8a, 0x80));
    for (const QPalette::ColorRole role :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::HighlightedText})
        palette.setColor(QPalette::Disabled, role, faded);
    palette.setColor(QPalette::Disabled, QPalette::Highlight, QColor(0x50, 0x50, 0x50));
    return palette;
}

void applyAppearance(Appearance choice) {
    if (choice == applied()) return;
    // Taken before the first change, so "跟随系统" can go back to it.
    const SystemLook& system = systemLook();
    applied() = choice;
    const bool systemDark = isDarkPalette(system.palette);
    const bool ownPalette =
        (choice == Appearance::Dark && !systemDark) || (choice == Appearance::Light && systemDark);
    if (!ownPalette) {
        useStyle(system.style);
        QApplication::setPalette(system.palette);
        return;
    }
    // Other styles may draw with the desktop's colours instead of the palette's.
    useStyle(u"Fusion"_s);
    QApplication::setPalette(choice == Appearance::Dark ? darkPalette()
                                                        : QApplication::style()->standardPalette());
}

Appearance currentAppearance() {
    return applied();
}

QMenu* addAppearanceMenu(QWidget* owner) {
    auto* menu = new QMenu(u"外观"_s, owner);
    menu->setObjectName(u"外观"_s);
    auto* group = new QActionGroup(menu);
    const std::array choices = {std::pair{u"跟随系统"_s, Appearance::System},
                                std::pair{u"浅色"_s, Appearance::Light},
                                std::pair{u"深色"_s, Appearance::Dark}};
    for (const auto& [caption, choice] : choices) {
        QAction* action = menu->addAction(caption);
        action->setCheckable(true);
        action->setActionGroup(group);
        QObject::connect(action, &QAction::triggered, menu,
                         [choice = choice] { applyAppearance(choice); });
    }
    // The choice may have been made elsewhere (the settings file at start-up).
    QObject::connect(menu, &QMenu::aboutToShow, menu, [menu] {
        menu->actions().at(static_cast<int>(currentAppearance()))->setChecked(true);
    });
    return menu;
}

}  // namespace lianshuo
