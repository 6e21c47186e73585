#pragma once
// A custom short-link interface: how to ask a service for a short address
// and how to dig it out of the reply, held entirely in data.

#include <string>

namespace lianshuo {

struct ShortUrlInterface {
    std::string name;           // empty when read from the panel or a section
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

    bool operator==(const ShortUrlInterface&) const = default;
};

}  // namespace lianshuo
