#include "services/shorturlconverter.h"

#include "app/base/gbk.h"
#include "app/base/helpers.h"
#include "http/charsets.h"
#include "http/httprequestobject.h"
#include "http/webrequest.h"
#include "script/jsonreader.h"
#include "services/encoding.h"

namespace lianshuo {
namespace {

constexpr std::string_view kLongUrlPlaceholder = "#长网址#";

// The host part of an address as written: after the first "//", up to the next "/".
std::string writtenHost(std::string_view address) {
    const std::size_t slashes = findText(address, "//");
    const std::size_t start = slashes == npos ? 0 : slashes + 2;
    const std::size_t end = findText(address, "/", start);
    return std::string(address.substr(start, end == npos ? npos : end - start));
}

std::string sendRequest(const ShortUrlInterface& d, const std::string& url,
                        const std::string& body) {
    const int charsetMode = d.utf8Encoding ? kUtf8 : kNoConversion;
    // The template decides the engine, not the filled-in address.
    if (startsWithNoCase(d.address, "http://")) {
        HttpRequestObject request;
        return request.fetchPage(url, {.postText = body, .charsetMode = charsetMode});
    }
    const WebResponse response = webRequest({.url = url, .method = d.postMode ? 1 : 0, .body = body});
    if (response.error != TransferError::None) return {};
    return decodeResponseText(response.body, charsetMode);
}

}  // namespace

std::string convertWithInterface(std::string_view longUrl, const ShortUrlInterface& d) {
    const std::string encoded = percentEncodeLongUrl(longUrl, d.utf8Encoding);
    const std::string url = replaceAll(d.address, kLongUrlPlaceholder, encoded);
    const std::string body =
        d.postMode ? replaceAll(d.postTemplate, kLongUrlPlaceholder, encoded) : std::string();
    const std::string reply = sendRequest(d, url, body);

    std::string text = d.cutEnabled ? cutBetweenMarkers(reply, d.leftMarker, d.rightMarker,
                                                        d.reverseCut)
                                    : cutBetweenMarkers(reply, "", "", d.reverseCut);
    if (d.replaceEnabled) text = replaceEach(text, d.findList, d.replaceList);
    if (text.empty()) return conversionErrorText();
    if (d.insertEnabled) text = d.prefix + text + d.suffix;
    if (!startsWithNoCase(text, "http://") && !startsWithNoCase(text, "https://"))
        text.insert(0, "http://");
    return text;
}

ShortUrlInterface tinyUrlInterface(std::string_view host) {
    ShortUrlInterface d;
    d.postMode = false;
    d.utf8Encoding = true;
    d.address = "http://" + std::string(host) +
                "/create.php?source=indexpage&url=#长网址#?&submit=Make+TinyURL%21&alias=";
    d.cutEnabled = true;
    d.leftMarker = "<div class=''indent''><b>";
    d.rightMarker = "</b>";
    return d;
}

ShortUrlConverter::ShortUrlConverter(const ConversionSource& source, BuiltinHosts hosts)
    : source_(source), hosts_(std::move(hosts)), weiboRequest_(std::make_unique<HttpRequestObject>()) {}

ShortUrlConverter::~ShortUrlConverter() = default;

std::string ShortUrlConverter::convertUrl(std::string_view longUrl, int mode) {
    const int service = source_.selectedService();
    if (!longUrl.empty() && service == kBaiduService)
        return convertWithBaidu(longUrl, source_.baiduToken());
    if (!longUrl.empty() && service == kWeiboService) return convertWithWeibo(longUrl);
    if (!longUrl.empty() && service == kTinyUrlService) return convertWithTinyUrl(longUrl);

    // The custom service, or a snapshot at the start of a run with any service.
    if (mode == kSnapshotAndConvert || mode == kSnapshotAndLabel)
        currentInterface_ = source_.readInterfaceFromPanel();
    if (mode == kSnapshotAndLabel) return serviceLabel(service);
    return convertWithInterface(longUrl, currentInterface_);
}

std::string ShortUrlConverter::serviceLabel(int service) const {
    switch (service) {
        case kBaiduService: return hosts_.baidu;
        case kWeiboService: return hosts_.weibo;
        case kTinyUrlService: return hosts_.tinyurl;
        default: return writtenHost(currentInterface_.address);
    }
}

std::string ShortUrlConverter::convertWithBaidu(std::string_view longUrl, std::string_view token) {
    // Escaped, so an address holding a quote cannot break the JSON or add fields to it.
    const std::string body = "{\"Url\":\"" + escapeJsonString(longUrl) +
                             "\",\"TermOfValidity\":\"long-term\"}";
    HttpRequestObject request;
    const std::string reply = request.fetchPage(
        "https://" + hosts_.baidu + "/admin/v2/create",
        {.postText = body, .headers = "Token: " + std::string(token)});
    JsonReader json;
    std::string value = unescapeJsonText(json.getValue(reply, "ShortUrl", false));
    if (value.empty()) value = json.getValue(reply, "err_msg", false);
    return value.empty() ? conversionErrorText() : value;
}

std::string ShortUrlConverter::convertWithWeibo(std::string_view longUrl) {
    return weiboRequest_->fetchPage("https://" + hosts_.relay +
                                    "/weibo_url.php?url=" + percentEncodeComponent(longUrl, true));
}

std::string ShortUrlConverter::convertWithTinyUrl(std::string_view longUrl) {
    return convertWithInterface(longUrl, tinyUrlInterface(hosts_.tinyurl));
}

}  // namespace lianshuo
