#include "ui/settingssaves.h"

#include "store/controlstatestore.h"
#include "store/settings.h"
#include "ui/dialogs.h"
#include "ui/qtext.h"

namespace lianshuo {

using namespace Qt::Literals::StringLiterals;

bool reportSettingsSave(QWidget* parent, const Status& saved) {
    if (!saved) {
        MessageBox::warning(parent, u"蓝棠："_s,
                            u"无法保存配置文件："_s + toQt(settingsStore().path()) + u"\r\n"_s +
                                toQt(saved.reason()));
        return false;
    }
    // An existing file keeps its mode, which may let others read a token just saved.
    reportTokenPrivacy(parent);
    return true;
}

void reportKeyringNotice(QWidget* parent, const std::string& notice) {
    if (!notice.empty()) MessageBox::warning(parent, u"蓝棠："_s, toQt(notice));
}

void reportTokenPrivacy(QWidget* parent) {
    if (const Status privy = settingsStore().checkTokenPrivacy(); !privy)
        MessageBox::warning(parent, u"蓝棠："_s, toQt(privy.reason()));
}

}  // namespace lianshuo
