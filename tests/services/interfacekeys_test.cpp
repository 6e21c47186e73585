// The keys added after the first fourteen: written only when they differ from
// their default, read back exactly, refused when they could never be sent,
// and the token kept out of exports unless asked for.

#include <gtest/gtest.h>

#include "base/charset.h"
#include "base/sha256.h"
#include "services/historykey.h"
#include "services/interfacerules.h"
#include "services/interfacestore.h"
#include "storefile.h"

using namespace lianshuo;

namespace {

// A stand-in for the history's tag: any fixed function of the secret.
const SecretTagger kTag = [](std::string_view secret) {
    return hexDigits(sha256(secret)).substr(0, 16);
};

ShortUrlInterface modern() {
    ShortUrlInterface d;
    d.name = "my bitly";
    d.address = "https://api.test/v4/shorten";
    d.utf8Encoding = true;
    setRequestMethod(d, "PATCH");
    d.postTemplate = R"({"long_url":"#长网址#"})";
    d.headers = "Authorization: Bearer #令牌#\r\nAccept: application/json";
    d.bodyFormat = BodyFormat::Json;
    d.token = "t0k";
    d.extractKind = ExtractKind::Json;
    d.extractExpression = "link";
    d.errorExpression = "description";
    d.successStatuses = "200,201";
    d.pauseMs = 250;
    return d;
}

class InterfaceKeys : public test::StoreFile {};

}  // namespace

TEST_F(InterfaceKeys, NewKeysFollowTheFourteenUnderTheGivenNameAndReadBackExactly) {
    ASSERT_TRUE(saveInterface(modern(), store));
    EXPECT_EQ(
        disk(),
        "[短网址选项_my bitly]\r\n间隔毫秒=250\r\n成功状态码=200,201\r\n"
        "错误表达式=description\r\n提取表达式=link\r\n提取方式=1\r\n令牌=t0k\r\n请求格式=1\r\n"
        "请求头=Authorization: Bearer #令牌#┊*┊Accept: application/json\r\n请求方法=PATCH\r\n"
        "接口名称=my bitly\r\n后缀=\r\n前缀=\r\n插入=假\r\n替换为=\r\n欲替换=\r\n替换=假\r\n"
        "右边字符=\r\n左边字符=\r\n逆向截取=假\r\n截取=假\r\n接口地址=https://api.test/v4/"
        "shorten\r\n"
        "POST数据={\"long_url\":\"#长网址#\"}\r\nURL编码=1\r\n调用模式=1");
    EXPECT_EQ(listInterfaceNames(store), std::vector<std::string>{"my bitly"});
    EXPECT_EQ(loadInterface("my bitly", store), modern());
}

TEST_F(InterfaceKeys, KeysBackAtTheirDefaultLeaveTheSection) {
    ShortUrlInterface d = modern();
    d.name.clear();
    ASSERT_TRUE(saveInterface(d, store));
    ShortUrlInterface plain;
    plain.address = d.address;
    plain.postMode = true;
    ASSERT_TRUE(saveInterface(plain, store));
    const std::string content = disk();
    for (const char* key :
         {"请求方法", "请求头", "请求格式", "令牌", "提取方式", "成功状态码", "间隔毫秒"})
        EXPECT_EQ(content.find(std::string(key) + "="), std::string::npos) << key;
    EXPECT_EQ(loadInterface("api.test", store), plain);
}

TEST_F(InterfaceKeys, AnOlderProgramSeesAPostForEveryMethodWithABody) {
    // As an older program reads the section: by "调用模式" alone.
    for (const char* method : {"PUT", "PATCH", "POST"}) {
        ShortUrlInterface d;
        d.address = "https://m.test/";
        ASSERT_TRUE(setRequestMethod(d, method));
        ASSERT_TRUE(saveInterface(d, store));
        store.selectSection("短网址选项_m.test");
        EXPECT_EQ(store.readNumber("调用模式", -1), 1) << method;
        EXPECT_EQ(requestMethod(loadInterface("m.test", store)), method);
    }
    // And the key decides when present: a hand-written GET beside "调用模式=1".
    test::writeFile(dir / "h.ini", "[短网址选项_h.test]\r\n调用模式=1\r\n请求方法=get\r\n");
    ControlStateStore hand;
    ASSERT_TRUE(hand.bindFile((dir / "h.ini").string()));
    EXPECT_EQ(requestMethod(loadInterface("h.test", hand)), "GET");
}

TEST_F(InterfaceKeys, SavingRefusesWhatCouldNeverBeSentAndNamesThatBreakTheFile) {
    ShortUrlInterface d = modern();
    // The refusal quotes the line, a token written into it masked.
    d.token = "tok-secret";
    d.headers = "Authorization Bearer tok-secret";
    EXPECT_EQ(saveInterface(d, store).reason(),
              "请求头“Authorization Bearer ********”不是“名称: 值”的形式");
    d = modern();
    d.successStatuses = "2xx";
    d.extractExpression = "a..b";
    EXPECT_EQ(saveInterface(d, store).reason(),
              "提取表达式：JSON 路径“a..b”在第 3 个字符处无法识别；成功状态码“2xx”应为 100 到 599 "
              "的状态码或范围，以逗号分隔，如 200-299");
    d = modern();
    d.name = "a]\r\n[b";
    EXPECT_FALSE(saveInterface(d, store));
    EXPECT_EQ(disk(), "");
}

TEST_F(InterfaceKeys, ExportsLeaveTheTokenOutUnlessAskedInBothFormats) {
    const std::string ini = (dir / "e.ini").string();
    ASSERT_TRUE(exportInterface(modern(), ini));
    EXPECT_EQ(test::readFile(ini).find("t0k"), std::string::npos);
    ShortUrlInterface withoutToken = modern();
    withoutToken.token.clear();
    EXPECT_EQ(*importInterface(ini), withoutToken);
    ASSERT_TRUE(exportInterface(modern(), ini, true));
    EXPECT_EQ(*importInterface(ini), modern());

    ShortUrlInterface simple = modern();
    simple.successStatuses.clear();
    simple.pauseMs = 0;
    const std::string sxcu = (dir / "e.SXCU").string();
    ASSERT_TRUE(exportInterface(simple, sxcu));
    EXPECT_EQ(test::readFile(sxcu).find("t0k"), std::string::npos);
    simple.token.clear();
    std::string name;
    EXPECT_EQ(*importInterface(sxcu, &name), simple);
    EXPECT_EQ(name, "my bitly");
    simple.pauseMs = 5;
    EXPECT_EQ(exportInterface(simple, sxcu).reason(),
              "以下设置在 .sxcu 文件中没有对应的写法：间隔毫秒");
    test::writeFile(dir / "bad.sxcu", R"({"DestinationType": "FileUploader"})");
    EXPECT_EQ(importInterface((dir / "bad.sxcu").string()).reason(),
              "不是短网址接口（DestinationType：FileUploader），只能导入 URLShortener 或 "
              "URLSharingService");
}

TEST(HistoryKeys, FollowWhatShapesTheRequestAndNothingElse) {
    ShortUrlInterface d;
    d.address = "https://api.test/shorten";
    d.postMode = true;
    d.postTemplate = "u=#长网址#";
    const std::string before = interfaceFingerprint(d, kTag);
    ShortUrlInterface reading = d;  // how the reply is read makes no other link
    reading.extractKind = ExtractKind::Json;
    reading.extractExpression = "link";
    reading.errorExpression = "message";
    reading.successStatuses = "200,201";
    reading.pauseMs = 100;
    reading.password = "a new password, the same account";
    EXPECT_EQ(interfaceFingerprint(reading, kTag), before);
    for (const auto& change : std::vector<void (*)(ShortUrlInterface&)>{
             [](ShortUrlInterface& x) { setRequestMethod(x, "PUT"); },
             [](ShortUrlInterface& x) { x.headers = "X-Key: 1"; },
             [](ShortUrlInterface& x) { x.bodyFormat = BodyFormat::Json; },
             [](ShortUrlInterface& x) { x.token = "another account"; },
             [](ShortUrlInterface& x) { x.username = "another user"; },
             [](ShortUrlInterface& x) { x.tokenUrl = "https://api.test/token"; }}) {
        ShortUrlInterface changed = d;
        change(changed);
        EXPECT_NE(interfaceFingerprint(changed, kTag), before);
    }
}
