#pragma once
// A custom short-link interface: how to ask a service for a short address
// and how to dig it out of the reply, held entirely in data.

#include <string>

namespace lianshuo {

/// "请求格式": how the filled-in POST template goes out.
enum class BodyFormat : int {
    Form = 0,       // application/x-www-form-urlencoded, the template as typed
    Json = 1,       // application/json; charset=utf-8, checked to be JSON
    Multipart = 2,  // multipart/form-data, one field per "name=value" line
    Raw = 3,        // the template as typed, no content type unless a header sets one
};

/// "提取方式": where the short address is found in the reply.
enum class ExtractKind : int {
    Cut = 0,     // between the left and right markers
    Json = 1,    // at a JSON path ("data.tiny_url", "[0].url")
    Regex = 2,   // group "url", else group 1, else the whole first match
    Header = 3,  // in a reply header ("Location")
};

struct ShortUrlInterface {
    // "接口名称": the name the user gave; empty when the host names the interface.
    std::string name;
    bool postMode = false;      // "调用模式": POST sends the filled-in template as the body
    bool utf8Encoding = false;  // "URL编码": UTF-8 (else GBK) for the address and the reply
    std::string address;        // "接口地址"; "#长网址#" stands for the encoded long address
    std::string postTemplate;   // "POST数据"
    bool cutEnabled = false;    // "截取"
    std::string leftMarker;     // "左边字符"
    std::string rightMarker;    // "右边字符"
    bool reverseCut = false;    // "逆向截取"
    bool replaceEnabled = false;  // "替换"
    std::string findList;         // "欲替换", "|"-separated
    std::string replaceList;      // "替换为"
    bool insertEnabled = false;   // "插入"
    std::string prefix;           // "前缀"
    std::string suffix;           // "后缀"

    // "请求方法": PUT or PATCH (GET and POST are what postMode says); empty: postMode decides.
    std::string method;
    std::string headers;                       // "请求头": "Name: Value" lines joined by CR LF
    BodyFormat bodyFormat = BodyFormat::Form;  // "请求格式"
    std::string token;                         // "令牌": put where "#令牌#" stands
    bool secretsInKeyring = false;             // "令牌存储=钥匙串": secrets not fetched
    // Credentials, secrets like the token: put where "#用户名#" and "#密码#" stand.
    std::string username;  // "用户名"
    std::string password;  // "密码"
    // The token request: with "令牌地址" set, "#令牌#" in the conversion requests is the
    // token it obtains, while "#令牌#" in its own templates is the "令牌" key.
    std::string tokenUrl;                           // "令牌地址"
    std::string tokenMethod;                        // "令牌请求方法": GET, else POST
    std::string tokenHeaders;                       // "令牌请求头": as "请求头"
    BodyFormat tokenBodyFormat = BodyFormat::Json;  // "令牌请求格式": Form or Json
    std::string tokenBody;                          // "令牌请求正文"
    std::string tokenPath;                          // "令牌提取": where the reply holds it
    long tokenLifetimeSeconds = 0;                  // "令牌有效秒": 0 for the whole run
    ExtractKind extractKind = ExtractKind::Cut;     // "提取方式"
    std::string extractExpression;                  // "提取表达式"
    std::string errorExpression;  // "错误表达式": a JSON path or regular expression, as extraction
    std::string successStatuses;  // "成功状态码": "200-299" when empty
    // "成功表达式": what the reply must hold to count, checked before extraction: with JSON
    // extraction "PATH=VALUE", "PATH!=VALUE" or "PATH"; else a regular expression.
    std::string successRule;
    // "限流表达式": the same; when it holds the reply counts as a 429 (too many requests).
    std::string throttleRule;
    long pauseMs = 0;  // "间隔毫秒": least time between two requests
    // "结果模板": the short address made of reply values: "#值(PATH)#" with JSON extraction,
    // "#组(N)#" with a regular expression; empty: the extracted value alone.
    std::string resultTemplate;
    // "备用接口": names of saved interfaces, "|" between them, asked in order when this one
    // fails on the service's side (no answer, 5xx, still throttled after the retries).
    std::string fallbacks;

    bool operator==(const ShortUrlInterface&) const = default;
};

}  // namespace lianshuo
