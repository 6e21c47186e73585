#include "services/panelinterface.h"

namespace lianshuo {

ShortUrlInterface initialPanelInterface(const BuiltinHosts& hosts) {
    ShortUrlInterface d;
    d.postMode = true;
    d.utf8Encoding = true;
    d.address = "http://" + hosts.baidu + "/create.php";
    d.postTemplate = "url=#长网址#&alias=&access_type=web";
    d.cutEnabled = true;
    d.leftMarker = "{\"tinyurl\":\"";
    d.rightMarker = "\"";
    d.replaceEnabled = true;
    d.findList = "\\/";
    d.replaceList = "/";
    d.insertEnabled = false;
    d.prefix = "前缀";
    d.suffix = "后缀";
    return d;
}

}  // namespace lianshuo
