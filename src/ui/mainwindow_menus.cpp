// The main window's context menus. A right click on a results row still copies
// its text first, as the column header promises; the menu offers the rest.

#include <QMenu>
#include <QTreeWidget>

#include "ui/mainwindow.h"
#include "ui/qrcodedialog.h"
#include "ui/resultslist.h"

namespace lianshuo {

using namespace Qt::Literals::StringLiterals;

QMenu* MainWindow::resultsMenu(QTreeWidgetItem* item) {
    auto* menu = new QMenu(this);
    menu->setObjectName(u"菜单结果"_s);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    // A waiting, running or failed row shows a caption in the short column, not an address.
    const bool converted =
        item && item->data(0, kRowStateRole).toInt() == static_cast<int>(ResultRowState::Done);
    addQrCodeAction(menu, converted ? item->text(0) : QString(), this);
    addInputActions(menu);
    return menu;
}

}  // namespace lianshuo
