#pragma once
// What a conversion reads from the window at every call: the chosen
// service, the Baidu token and the interface panel. The main window and the
// command line each implement it.

#include <string>
#include <string_view>

#include "base/result.h"

#include "services/shorturlinterface.h"

namespace lianshuo {

/// Service numbers, equal to the item index of the service list.
enum Service : int {
    kCustomService = 0,
    kBaiduService = 1,
    kWeiboService = 2,
    kTinyUrlService = 3
};

class ConversionSource {
public:
    virtual ~ConversionSource() = default;
    /// The selected service number.
    virtual int selectedService() const = 0;
    /// The Baidu access token as typed.
    virtual std::string baiduToken() const = 0;
    /// Why the Baidu token, kept in the keyring, could not be had; empty when it could.
    virtual std::string baiduTokenFailure() const { return {}; }
    /// The interface panel's current definition.
    virtual ShortUrlInterface readInterfaceFromPanel() const = 0;
    /// The saved interface called `name`, with its secrets: what a fallback runs with.
    virtual Result<ShortUrlInterface> savedInterface(std::string_view name) const {
        return Failure{0, "没有名为“" + std::string(name) + "”的接口"};
    }
};

}  // namespace lianshuo
