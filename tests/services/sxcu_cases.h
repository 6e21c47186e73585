#pragma once
// .sxcu files as services publish them, in both syntaxes, each with the fake
// it converts against: shared by the command line's and the window's tests.
// The texts are ASCII, so they read the same in either kind of source file.

#include <functional>
#include <string>
#include <vector>

#include "support/fake_apis.h"

namespace lianshuo::test::sxcufiles {

struct SxcuCase {
    std::string file;  // "@" stands for the fake's base address
    std::function<void(TestServer&)> serve;
    std::string name;      // what the interface is saved as
    std::string shortUrl;  // of "http://a.test/1"
};

inline const std::vector<SxcuCase>& cases() {
    static const std::vector<SxcuCase> all{
        {R"js({"Version": "15.0.0", "Name": "shlink", "DestinationType": "URLShortener",
               "RequestMethod": "POST", "RequestURL": "@/rest/v3/short-urls",
               "Headers": {"X-Api-Key": "tok-123"}, "Body": "JSON",
               "Data": "{\"longUrl\":\"{input}\",\"findIfExists\":true}",
               "URL": "{json:shortUrl}", "ErrorMessage": "{json:detail}"})js",
         [](TestServer& s) { serveShlink(s); }, "shlink", "https://s.shlink.test/fk1"},
        {R"js({"Name": "0x0", "DestinationType": "URLShortener", "RequestType": "POST",
               "RequestURL": "@/", "Body": "MultipartFormData",
               "Arguments": {"shorten": "$input$"}, "RegexList": ["(https://\\S+)"],
               "URL": "$regex:1,1$"})js",
         [](TestServer& s) { serveMultipartShortener(s); }, "0x0", "https://0x0.test/fk1"},
        {R"js({"Name": "yourls", "DestinationType": "URLShortener", "RequestMethod": "GET",
               "RequestURL": "@/yourls-api.php",
               "Parameters": {"signature": "tok-123", "action": "shorturl", "format": "json",
                              "url": "$input$"},
               "URL": "https://s.yourls.test/$json:url.keyword$", "ErrorMessage": "$json:message$"})js",
         [](TestServer& s) { serveYourls(s); }, "yourls", "https://s.yourls.test/fk1"},
        {R"js({"Name": "switchy", "DestinationType": "URLShortener", "RequestMethod": "POST",
               "RequestURL": "@/v1/links/create", "Headers": {"Api-Authorization": "tok-123"},
               "Body": "JSON", "Data": "{\"link\":{\"url\":\"{input}\"}}",
               "URL": "https://{json:domain}/{json:id}"})js",
         [](TestServer& s) { serveSwitchy(s); }, "switchy", "https://hi.switchy.io/fk1"},
    };
    return all;
}

/// `file` with "@" replaced by `base`.
inline std::string withBase(std::string file, const std::string& base) {
    std::size_t at = file.find('@');
    while (at != std::string::npos) {
        file.replace(at, 1, base);
        at = file.find('@', at + base.size());
    }
    return file;
}

}  // namespace lianshuo::test::sxcufiles
