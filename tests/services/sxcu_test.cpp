// Custom-uploader (.sxcu) files in both syntaxes: imported, converted
// against strict fakes, exported and imported again.

#include <gtest/gtest.h>

#include "base/charset.h"
#include "base/gbk.h"
#include "fakeservices.h"
#include "services/shorturlconverter.h"
#include "services/sxcufile.h"
#include "services/sxcusyntax.h"
#include "support/fake_apis.h"

using namespace lianshuo;

namespace {

// `text` with "@" standing for the fake's base address.
std::string at(const test::TestServer& server, const std::string& text) {
    return replaceAll(text, "@", server.url(""));
}

ShortUrlInterface imported(const std::string& file) {
    const Result<ShortUrlInterface> result = interfaceFromSxcu(file);
    EXPECT_EQ(result.reason(), "") << file;
    return result ? *result : ShortUrlInterface{};
}

// Export followed by import gives back the interface.
void expectRoundTrip(const ShortUrlInterface& d) {
    const Result<std::string> written = sxcuFromInterface(d, false);
    ASSERT_EQ(written.reason(), "");
    EXPECT_EQ(imported(*written), d) << *written;
}

}  // namespace

TEST(SxcuImport, AJsonBodyWithHeadersInTheBraceSyntax) {
    test::TestServer server;
    test::serveShlink(server);
    const ShortUrlInterface d = imported(at(server, R"js({
        "Version": "15.0.0", "Name": "My Shlink", "DestinationType": "URLShortener",
        "RequestMethod": "POST", "RequestURL": "@/rest/v3/short-urls",
        "Headers": {"X-Api-Key": "tok-123"}, "Body": "JSON",
        "Data": "{\"longUrl\":\"{input}\",\"findIfExists\":true}",
        "URL": "{json:shortUrl}", "ErrorMessage": "{json:detail}"})js"));
    EXPECT_EQ(d.name, "My Shlink");
    EXPECT_EQ(d.headers, "X-Api-Key: tok-123");
    EXPECT_EQ(d.postTemplate, R"js({"longUrl":"#长网址#","findIfExists":true})js");
    const ConversionOutcome outcome = convertWithInterface("http://a.test/\"q\"", d);
    EXPECT_EQ(outcome.shortUrl, "https://s.shlink.test/fk1") << outcome.reason();
    EXPECT_EQ(server.requests().at(0).body,
              R"js({"longUrl":"http://a.test/\"q\"","findIfExists":true})js");
    ShortUrlInterface wrong = d;
    wrong.headers = "X-Api-Key: nope";
    EXPECT_EQ(convertWithInterface("http://a.test/", wrong).reason(),
              "HTTP 401：Provided API key does not exist or is invalid.");
    expectRoundTrip(d);
}

TEST(SxcuImport, MultipartWithARegexListInTheDollarSyntax) {
    test::TestServer server;
    test::serveMultipartShortener(server);
    for (const char* group : {"2|1", "2,1"}) {
        const ShortUrlInterface d = imported(at(server, std::string(R"js({
            "DestinationType": "ImageUploader, URLShortener", "RequestType": "POST",
            "RequestURL": "@/", "Body": "MultipartFormData",
            "Arguments": {"shorten": "$input$", "note": "costs \\$5"},
            "RegexList": ["x", "(https://\\S+)"], "URL": "$regex:)js") +
                                                            group + R"js($"})js"));
        EXPECT_EQ(d.bodyFormat, BodyFormat::Multipart);
        EXPECT_EQ(d.postTemplate, "shorten=#长网址#\r\nnote=costs $5");
        EXPECT_EQ(d.extractExpression, R"js((https://\S+))js");
        EXPECT_EQ(convertWithInterface("http://a.test/1", d).shortUrl, "https://0x0.test/fk1");
        expectRoundTrip(d);
    }
    const auto fields = test::multipartFields(server.requests().at(0).header("Content-Type"),
                                              server.requests().at(0).body);
    EXPECT_EQ(fields.at(1), (std::pair<std::string, std::string>{"note", "costs $5"}));
}

TEST(SxcuImport, AGetWithParametersAndAJsonValueInsideTheUrlTemplate) {
    test::TestServer server;
    test::serveYourls(server);
    const ShortUrlInterface d = imported(at(server, R"js({
        "DestinationType": "URLShortener", "RequestMethod": "GET",
        "RequestURL": "@/yourls-api.php",
        "Parameters": {"signature": "tok-123", "action": "shorturl", "format": "json",
                       "url": "$input$", "title": "a b&c"},
        "URL": "https://s.yourls.test/$json:url.keyword$?from=sxcu",
        "ErrorMessage": "$json:message$"})js"));
    EXPECT_EQ(d.address, server.url("/yourls-api.php?signature=tok-123&action=shorturl&"
                                    "format=json&url=#长网址#&title=a%20b%26c"));
    EXPECT_EQ(d.prefix, "https://s.yourls.test/");
    EXPECT_EQ(d.suffix, "?from=sxcu");
    EXPECT_EQ(convertWithInterface("http://a.test/1", d).shortUrl,
              "https://s.yourls.test/fk1?from=sxcu");
    EXPECT_EQ(convertWithInterface("ftp://a.test/1", d).reason(),
              "HTTP 400：Missing or malformed URL");
    expectRoundTrip(d);
}

TEST(SxcuImport, EscapesPromptsAndBase64) {
    const ShortUrlInterface d = imported(R"js({
        "DestinationType": "URLSharingService", "RequestMethod": "PUT",
        "RequestURL": "https://s.test/\\{api\\}/\\\\x?alias={prompt}",
        "Headers": {"Authorization": "Basic {base64:user:pass}"},
        "Body": "XML", "Data": "<u>{input}</u>", "URL": "{header:Location}"})js");
    EXPECT_EQ(d.method, "PUT");
    EXPECT_EQ(d.address, "https://s.test/{api}/\\x?alias=#别名#");
    EXPECT_EQ(d.headers, "Authorization: Basic dXNlcjpwYXNz\r\nContent-Type: application/xml");
    EXPECT_EQ(d.bodyFormat, BodyFormat::Raw);
    EXPECT_EQ(d.extractKind, ExtractKind::Header);
    expectRoundTrip(d);
}

TEST(SxcuImport, RefusesWhatAnInterfaceCannotHoldByName) {
    const std::string head =
        R"js({"DestinationType": "URLShortener", "RequestURL": "https://s.test/",)js";
    const std::vector<std::pair<std::string, std::string>> refused{
        {R"js("Arguments": {"pick": "$select:a|b$"}, "URL": "$json:u$"})js",
         "不支持 Arguments 中的“$select:a|b$”"},
        {R"js("Headers": {"X-N": "{random:1|2}"}, "URL": "{json:u}"})js",
         "不支持 Headers 中的“{random:1|2}”"},
        {R"js("Body": "MultipartFormData", "Arguments": {"f": "{filename}"}, "URL": "{json:u}"})js",
         "不支持 Arguments 中的“{filename}”"},
        {R"js("URL": "{xml:/a/b}"})js", "不支持 URL 中的“{xml:/a/b}”"},
        {R"js("Body": "Binary", "URL": "{json:u}"})js", "不支持 Body 为 Binary（上传文件）"},
        {R"js("RequestURL": "https://s.test/?u={json:x}", "URL": "{json:u}"})js",
         "RequestURL 中的“{json:x}”要用到回复，不能用在请求中"},
        {R"js("RegexList": ["(a)(b)"], "URL": "{regex:1|2}"})js",
         "“{regex:1|2}”取的组无法对应（只能取第 0、1 组或命名的组）"},
        // Several JSON values make a result template; mixed with another kind they cannot.
        {R"js("RegexList": ["e"], "URL": "{json:a}{regex:1}"})js", "URL 中只能有一处取自回复"},
        {R"js("URL": "{regex:3}"})js", "“{regex:3}”指向 RegexList 中不存在的一项"},
        {R"js("RegexList": ["e"], "URL": "{json:a}", "ErrorMessage": "{regex:1}"})js",
         "ErrorMessage 的“{regex:1}”与 URL 的提取方式不同，无法对应（JSON 提取配 json，其余配 "
         "regex）"},
    };
    for (const auto& [rest, problem] : refused)
        EXPECT_EQ(interfaceFromSxcu(head + rest).reason(), problem) << rest;
    EXPECT_EQ(interfaceFromSxcu(R"js({"DestinationType": "ImageUploader", "URL": "{json:u}"})js")
                  .reason(),
              "不是短网址接口（DestinationType：ImageUploader），只能导入 URLShortener 或 "
              "URLSharingService");
    EXPECT_FALSE(interfaceFromSxcu("{not json"));
}

TEST(SxcuExport, TheTokenGoesInOnlyWhenAskedAndWhatHasNoCounterpartIsNamed) {
    ShortUrlInterface d;
    d.address = "https://api.test/v4/shorten";
    d.utf8Encoding = true;
    d.postMode = true;
    d.bodyFormat = BodyFormat::Json;
    d.postTemplate = R"js({"long_url":"#长网址#"})js";
    d.headers = "Authorization: Bearer #令牌#";
    d.token = "secret";
    d.extractKind = ExtractKind::Json;
    d.extractExpression = "link";
    const std::string without = *sxcuFromInterface(d, false);
    EXPECT_EQ(without.find("secret"), std::string::npos);
    EXPECT_NE(without.find(toUtf8("Bearer #令牌#")), std::string::npos);
    const ShortUrlInterface back = imported(*sxcuFromInterface(d, true));
    EXPECT_EQ(back.headers, "Authorization: Bearer secret");
    EXPECT_EQ(back.token, "");

    d.extractKind = ExtractKind::Cut;
    d.cutEnabled = true;
    d.leftMarker = "<a>";
    d.replaceEnabled = true;
    d.findList = "x";
    d.utf8Encoding = false;
    EXPECT_EQ(sxcuFromInterface(d, false).reason(),
              "以下设置在 .sxcu 文件中没有对应的写法：截取（左边字符、右边字符）、替换、GBK 编码");
}

TEST(SxcuSyntax, PiecesEscapesAndBase64) {
    const auto pieces = sxcu::parseValue(R"js(a{b}\{input\}{json:x.y}$regex:1|2$\\$5)js");
    ASSERT_EQ(pieces.size(), 4u);
    EXPECT_EQ(pieces[0].text, "a{b}{input}");
    EXPECT_EQ(pieces[1].text, "json");
    EXPECT_EQ(pieces[1].argument, "x.y");
    EXPECT_EQ(pieces[2].written, "$regex:1|2$");
    EXPECT_EQ(pieces[3].text, "\\$5");
    for (const std::string plain : {"{input}", "$json:a$ and \\{", "{\"a\":1}", "\\"}) {
        const auto back = sxcu::parseValue(sxcu::escapePlain(plain));
        ASSERT_EQ(back.size(), 1u) << plain;
        EXPECT_EQ(back[0].text, plain);
    }
    EXPECT_EQ(sxcu::escapePlain("{\"a\":1}"), "{\"a\":1}");
    EXPECT_EQ(sxcu::base64("user:pass"), "dXNlcjpwYXNz");
    EXPECT_EQ(sxcu::base64("ab"), "YWI=");
}
