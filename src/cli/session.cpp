#include "cli/session.h"

#include <filesystem>
#include <ostream>
#include <system_error>

#include "app/base/charset.h"
#include "app/base/paths.h"
#include "services/builtinhosts.h"
#include "services/interfacestore.h"
#include "services/panelinterface.h"

namespace lianshuo::cli {

std::atomic<bool> interrupted{false};

void print(std::ostream& stream, std::string_view gbk) { stream << toUtf8(gbk); }

int fail(Console& console, const std::string& messageGbk, int status) {
    console.err << "lianshuo: " << toUtf8(messageGbk) << '\n';
    return status;
}

bool Session::openSettings(const Options& options, bool forWriting, std::string& error) {
    const std::string path = options.settings ? *options.settings : settingsFilePath();
    std::error_code ec;
    const bool exists = std::filesystem::exists(nativePath(path), ec);
    if (options.settings && !exists && !forWriting) {
        error = "settings file not found: " + path;
        return false;
    }
    // Reading never creates a settings file that is not there.
    if (exists || forWriting) {
        if (const Status bound = store_.bindFile(path); !bound) {
            error = "cannot read the settings file " + path + ": " + bound.reason();
            return false;
        }
    }
    loadSettings(store_, app_);
    return true;
}

bool Session::resolveConversion(const Options& options, std::string& error) {
    service_ = app_.service;
    if (options.service) {
        service_ = parseService(*options.service);
        if (service_ < 0) {
            error = "unknown service '" + *options.service +
                    "' (use custom, baidu, weibo, tinyurl or 0 to 3)";
            return false;
        }
    }
    token_ = options.token.value_or(app_.baiduToken);
    interval_ = options.interval.value_or(app_.interval);

    const BuiltinHosts hosts = readBuiltinHosts(store_);
    const std::vector<std::string> names = listInterfaceNames(store_);
    if (options.interfaceName) {
        if (std::find(names.begin(), names.end(), *options.interfaceName) == names.end()) {
            error = "unknown interface '" + *options.interfaceName + "'";
            return false;
        }
        interface_ = loadInterface(*options.interfaceName, store_);
    } else if (app_.interfaceIndex >= 0 &&
               static_cast<std::size_t>(app_.interfaceIndex) < names.size()) {
        interface_ = loadInterface(names[static_cast<std::size_t>(app_.interfaceIndex)], store_);
    } else {
        interface_ = initialPanelInterface(hosts);
    }
    converter_ = std::make_unique<ShortUrlConverter>(*this, hosts);
    return true;
}

}  // namespace lianshuo::cli
