#pragma once
// The one entry every conversion goes through: the batch, the file converter
// and the interface test.

#include <memory>
#include <string>
#include <string_view>

#include "services/builtinhosts.h"
#include "services/conversionsource.h"
#include "services/shorturlinterface.h"

namespace lianshuo {

class HttpRequestObject;

class ShortUrlConverter {
public:
    ShortUrlConverter(const ConversionSource& source, BuiltinHosts hosts);
    ~ShortUrlConverter();

    enum Mode : int {
        kSnapshotAndConvert = 0,  // the interface test
        kSnapshotAndLabel = 1,    // the start of a run: returns the service label
        kConvert = 2,             // every address of a run, with the last snapshot
    };

    /// Converts `longUrl` with the chosen service (read again at every call),
    /// or, in kSnapshotAndLabel, snapshots the panel and names the service.
    std::string convertUrl(std::string_view longUrl, int mode);

    /// The panel's definition as taken by the last snapshot.
    const ShortUrlInterface& currentInterface() const { return currentInterface_; }

    const BuiltinHosts& hosts() const { return hosts_; }

    std::string convertWithBaidu(std::string_view longUrl, std::string_view token);
    std::string convertWithWeibo(std::string_view longUrl);
    std::string convertWithTinyUrl(std::string_view longUrl);

private:
    std::string serviceLabel(int service) const;

    const ConversionSource& source_;
    BuiltinHosts hosts_;
    ShortUrlInterface currentInterface_;
    // The Weibo relay keeps one request object for the life of the converter.
    std::unique_ptr<HttpRequestObject> weiboRequest_;
};

/// The custom-interface engine: encode, fill the templates, send, then cut,
/// replace, add prefix and suffix and make sure of a scheme. "生成错误" on failure.
std::string convertWithInterface(std::string_view longUrl, const ShortUrlInterface& definition);

/// The fixed definition the TinyURL service runs through the engine.
ShortUrlInterface tinyUrlInterface(std::string_view host);

}  // namespace lianshuo
