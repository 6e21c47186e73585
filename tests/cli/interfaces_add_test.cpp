// interfaces presets, add, test, show and export on the command line, each
// preset saved from the catalogue and converting against its strict fake.

#include <gtest/gtest.h>

#include "base/charset.h"
#include "cli_fixture.h"
#include "services/interfacepresets.h"
#include "services/preset_cases.h"
#include "services/sxcu_cases.h"
#include "store/inicontent.h"
#include "subprocess.h"
#include "support/fake_apis.h"
#include "support/scoped_env.h"
#include "support/token_service.h"

using namespace lianshuo;
using test::CommandLine;
using test::utf8;
namespace presets = test::presets;

namespace {

// Saves `preset` pointing at `server` and converts kLongUrl with it; the exact
// request is then what the server recorded.
class PresetOnTheCommandLine : public CommandLine,
                               public ::testing::WithParamInterface<std::size_t> {
protected:
    const presets::PresetCase& preset() const { return presets::cases()[GetParam()]; }
    bool logsIn() const { return presets::logsIn(*findPreset(preset().preset)); }
    bool needsToken() const { return presets::needsSecret(*findPreset(preset().preset)); }
    // `token` is the password of a preset that logs in, read from standard input.
    test::ProcessResult add(const std::string& token) {
        std::vector<std::string> args{"interfaces", "add",        "--preset", preset().preset,
                                      "--host",     fake.url(""), "--name",   "p"};
        if (logsIn())
            args.insert(args.end(), {"--username", test::kFakeUser, "--password", "-"});
        else if (!token.empty())
            args.insert(args.end(), {"--token", token});
        return run(args, logsIn() ? token + "\n" : std::string());
    }
    test::TestServer fake;
};

}  // namespace

TEST_P(PresetOnTheCommandLine, AddsConvertsAndShowsTheServiceOwnWordsOnFailure) {
    preset().serve(fake);
    auto r = add(test::kFakeToken);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "p\n");
    r = run({"convert", "--no-save", "--service", "custom", "--interface", "p",
             utf8(presets::kLongUrl)});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, preset().shortUrl + "\t" + utf8(presets::kLongUrl) + "\n");
    const auto requests = fake.requests();
    const std::size_t logins = preset().loginLine.empty() ? 0 : 1;
    ASSERT_EQ(requests.size(), 1u + logins);
    if (logins) {
        EXPECT_EQ(requests[0].body, preset().loginBody);
    }
    EXPECT_EQ(requests[logins].requestLine, presets::filled(preset().requestLine));
    EXPECT_EQ(requests[logins].body, presets::filled(preset().body));

    ASSERT_EQ(add(needsToken() ? "wrong" : "").status, 0);
    const std::string longUrl = needsToken() ? utf8(presets::kLongUrl) : "ftp://a.test/x";
    r = run({"interfaces", "test", "p", longUrl});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, utf8("失败: ") + longUrl + ": " + utf8(preset().failureReason) + "\n");
}

INSTANTIATE_TEST_SUITE_P(EveryPreset, PresetOnTheCommandLine,
                         ::testing::Range<std::size_t>(0, presets::cases().size()),
                         [](const ::testing::TestParamInfo<std::size_t>& param) {
                             std::string name = presets::cases()[param.param].preset;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

TEST_F(CommandLine, PresetsListTheCatalogueOneALine) {
    const auto r = run({"interfaces", "presets"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'),
              static_cast<long>(interfacePresets().size()));
    EXPECT_NE(r.out.find(utf8("tiny.cc\thttps://tiny.cc\t用户名:API 密钥\t")), std::string::npos);
    EXPECT_NE(r.out.find(utf8("bitly\thttps://api-ssl.bitly.com\t访问令牌\t")), std::string::npos);
    EXPECT_NE(r.out.find(utf8("yourls\t(--host)\t签名（signature）\t")), std::string::npos);
    EXPECT_NE(r.out.find(utf8("bl.ink\thttps://app.bl.ink\t用户名：电子邮箱，密码：BL.INK 密码\t")),
              std::string::npos);
}

TEST_F(CommandLine, AFallbackMakesTheAddressWithTheCampaignParametersWhenTheFirstIsDown) {
    test::TestServer fake;
    fake.route("/ok", [](test::Exchange& e) { e.answer(200, R"({"d":"s.test","id":"k1"})"); });
    ASSERT_EQ(
        run({"interfaces", "add", "--name", "backup", "--address", fake.url(utf8("/ok?u=#长网址#")),
             "--extract", "json", "--result-template", utf8("https://#值(d)#/#值(id)#")})
            .status,
        0);
    auto r = run({"interfaces", "add", "--name", "primary", "--address",
                  utf8("http://127.0.0.1:1/x?u=#长网址#"), "--fallback", "nobody"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find(utf8("备用接口“nobody”不存在")), std::string::npos) << r.err;
    ASSERT_EQ(run({"interfaces", "add", "--name", "primary", "--address",
                   utf8("http://127.0.0.1:1/x?u=#长网址#"), "--fallback", "backup"})
                  .status,
              0);

    r = run({"convert", "--no-save", "--retries", "0", "--service", "custom", "--interface",
             "primary", "--json", "--add-query", "utm_source=a&k=2", "http://a.test/p?k=1#f"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, R"({"long":"http://a.test/p?k=1&utm_source=a#f","short":"https://s.test/k1",)"
                     R"("service":"backup"})"
                     "\n");
    ASSERT_EQ(fake.requests().size(), 1u);
    EXPECT_NE(fake.requests()[0].target.find("utm_source%3Da%23f"), std::string::npos);
    // The second run finds it in the history kept under the fallback: nobody is asked.
    r = run({"convert", "--no-save", "--service", "custom", "--interface", "primary", "--json",
             "--add-query", "utm_source=a", "http://a.test/p?k=1#f"});
    EXPECT_NE(r.out.find(R"("service":"backup","history":true)"), std::string::npos) << r.out;
    EXPECT_EQ(fake.requests().size(), 1u);
}

TEST_F(CommandLine, AddBuildsAnInterfaceFromOneOptionPerKey) {
    test::TestServer fake;
    test::serveMultipartShortener(fake);
    auto r = run({"interfaces",
                  "add",
                  "--address",
                  fake.url("/"),
                  "--format",
                  "multipart",
                  "--body",
                  utf8("shorten=#长网址#\nalias=#别名#"),
                  "--utf8",
                  "--extract",
                  "regex",
                  "--expression",
                  R"((https://\S+))",
                  "--replace",
                  "0x0=zero",
                  "--suffix",
                  "#top",
                  "--header",
                  "X-A: 1",
                  "--header",
                  "x-a: 2"});
    ASSERT_EQ(r.status, 0) << r.err;
    // Named with its port: the interface already saved as "127.0.0.1" is another service.
    const std::string name = fake.address();
    EXPECT_EQ(r.out, name + "\n");
    EXPECT_EQ(run({"interfaces", "list"}).out, "127.0.0.1\n" + name + "\n");
    r = run({"interfaces", "show", name});
    EXPECT_NE(r.out.find(utf8("请求头=x-a: 2\n")), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(utf8("调用模式=1\n")), std::string::npos);
    // A pasted line may bring an alias after a tab.
    r = run({"convert", "--no-save", "--service", "custom", "--interface", name},
            "http://a.test/1\tmine\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "https://zero.test/fk1#top\thttp://a.test/1\tmine\n");
    const test::RecordedRequest request = fake.requests().at(0);
    using Fields = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(test::multipartFields(request.header("Content-Type"), request.body),
              (Fields{{"shorten", "http://a.test/1"}, {"alias", "mine"}}));
    EXPECT_EQ(request.header("X-A"), "2");
}

TEST_F(CommandLine, AddRefusesWhatCouldNeverBeSent) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> refused{
        {{"--preset", "nosuch"}, "未知预设“nosuch”（见 lianshuo interfaces presets）"},
        {{"--preset", "shlink"}, "预设“shlink”是自建的服务，须指定其主机（--host）"},
        {{"--host", "a.test"}, "--host 要与 --preset 一起使用"},
        {{"--body", "x"}, "interfaces add 需要 --address 或 --preset"},
        {{"--address", "https://a.test/", "--format", "xml"},
         "--format 只能是 form、json、multipart 或 raw，而不是“xml”"},
        {{"--address", "https://a.test/", "--method", "DELETE"},
         "--method 只能是 GET、POST、PUT 或 PATCH，而不是“DELETE”"},
        {{"--address", "https://a.test/", "--header", "no colon"},
         "无法保存接口：请求头“no colon”不是“名称: 值”的形式"},
        {{"--address", "https://a.test/", "--replace", "a|b=c"},
         "--replace 需要不含“|”的 FIND=REPLACEMENT，而不是“a|b=c”"},
        {{"--address", "https://a.test/", "--pause", "-1"},
         "--pause 需要 0 到 600000 之间的毫秒数，而不是“-1”"},
        {{"--address", "https://a.test/", "--token-method", "PUT"},
         "--token-method 只能是 GET 或 POST，而不是“PUT”"},
        {{"--address", "https://a.test/", "--token-format", "xml"},
         "--token-format 只能是 form 或 json，而不是“xml”"},
        {{"--address", "https://a.test/", "--token-ttl", "1e3"},
         "--token-ttl 只能是 0 到 31536000 秒，而不是“1e3”"},
        {{"--address", "https://a.test/", "--token-url", "https://a.test/t"},
         "无法保存接口：令牌提取为空：应为回复中令牌所在的 JSON 路径"},
    };
    for (const auto& [options, message] : refused) {
        std::vector<std::string> args{"interfaces", "add"};
        args.insert(args.end(), options.begin(), options.end());
        const auto r = run(args);
        EXPECT_EQ(r.status, 2) << message;
        EXPECT_EQ(r.err, "lianshuo: " + utf8(message) + "\n");
    }
    EXPECT_EQ(run({"interfaces", "list"}).out, "127.0.0.1\n");
}

TEST_F(CommandLine, ShowMasksTheSecretsAndExportWritesThemOnlyWhenAsked) {
    // Two secrets from standard input, one line each, in the order of --help.
    ASSERT_EQ(run({"interfaces", "add", "--preset", "dub", "--token", "-", "--username",
                   "ann-user-7", "--password", "-"},
                  "s3cret\npa55word\n")
                  .status,
              0);
    auto r = run({"interfaces", "show", "api.dub.co"});
    EXPECT_NE(r.out.find(utf8("令牌=********\n")), std::string::npos);
    EXPECT_NE(r.out.find(utf8("用户名=********\n")), std::string::npos);
    EXPECT_NE(r.out.find(utf8("密码=********\n")), std::string::npos);
    EXPECT_EQ(r.out.find("s3cret"), std::string::npos);
    const std::string ini = (dir / "dub.ini").string(), sxcu = (dir / "dub.sxcu").string();
    EXPECT_EQ(run({"interfaces", "export", "api.dub.co", ini}).status, 0);
    EXPECT_EQ(test::readFile(ini).find("s3cret"), std::string::npos);
    EXPECT_EQ(test::readFile(ini).find("pa55word"), std::string::npos);
    EXPECT_EQ(test::readFile(ini).find("ann-user-7"), std::string::npos);
    EXPECT_EQ(run({"interfaces", "export", "api.dub.co", ini, "--with-token"}).status, 0);
    EXPECT_NE(test::readFile(ini).find("s3cret"), std::string::npos);
    EXPECT_NE(test::readFile(ini).find("pa55word"), std::string::npos);
    EXPECT_EQ(run({"interfaces", "export", "api.dub.co", sxcu}).status, 0);
    EXPECT_NE(test::readFile(sxcu).find("\"URL\": \"{json:shortLink}\""), std::string::npos);
}

TEST_F(CommandLine, ImportsASxcuFileAndConvertsWithIt) {
    test::TestServer fake;
    test::serveKutt(fake);
    test::writeFile(
        dir / "kutt.sxcu",
        R"js({"Name": "kutt", "DestinationType": "URLShortener", "RequestMethod": "POST",
                          "RequestURL": ")js" +
            fake.url("/api/v2/links") + R"js(",
                          "Headers": {"X-API-KEY": "tok-123"}, "Body": "JSON",
                          "Data": "{\"target\": \"$input$\"}",
                          "URL": "https://kutt.it/$json:address$", "ErrorMessage": "$json:error$"})js");
    auto r = run({"interfaces", "import", (dir / "kutt.sxcu").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "kutt\n");
    r = run({"interfaces", "test", "kutt", "http://a.test/k"});
    EXPECT_EQ(r.out, "https://kutt.it/fk1\thttp://a.test/k\n");
    r = run({"interfaces", "test", "kutt", "ftp://a.test/k", "--json"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Target must be a valid URL."), std::string::npos) << r.out;

    test::writeFile(dir / "select.sxcu", R"({"DestinationType": "URLShortener",
        "RequestURL": "https://s.test/?x=$select:a|b$", "URL": "$json:u$"})");
    r = run({"interfaces", "import", (dir / "select.sxcu").string()});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find(utf8("不支持 RequestURL 中的“$select:a|b$”")), std::string::npos) << r.err;
}

TEST_F(CommandLine, EachSxcuFileConvertsAndComesBackThroughExport) {
    for (const auto& sxcu : test::sxcufiles::cases()) {
        test::TestServer fake;
        sxcu.serve(fake);
        test::writeFile(dir / "in.sxcu", test::sxcufiles::withBase(sxcu.file, fake.url("")));
        auto r = run({"interfaces", "import", (dir / "in.sxcu").string()});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, sxcu.name + "\n");
        r = run({"interfaces", "test", sxcu.name, "http://a.test/1"});
        EXPECT_EQ(r.out, sxcu.shortUrl + "\thttp://a.test/1\n") << r.err;

        const std::string shown = run({"interfaces", "show", sxcu.name}).out;
        ASSERT_EQ(run({"interfaces", "export", sxcu.name, (dir / "out.sxcu").string()}).status, 0);
        ASSERT_EQ(run({"interfaces", "delete", sxcu.name}).status, 0);
        ASSERT_EQ(run({"interfaces", "import", (dir / "out.sxcu").string()}).status, 0);
        EXPECT_EQ(run({"interfaces", "show", sxcu.name}).out, shown);
    }
}

TEST_F(CommandLine, ImportRefusesAFileThatWouldSaveABrokenInterfaceAndWritesNothing) {
    const std::string head = R"({"DestinationType": "URLShortener", "URL": "{json:u}", )";
    const std::string web = R"("RequestURL": "https://s.test/", )";
    const struct {
        std::string file, text, reason;
    } refused[] = {
        {"noaddress.ini", "[短网址选项_x]\r\n接口名称=\r\n提取表达式=u\r\n",
         "节“短网址选项_x”没有“接口地址”，不能导入。"},
        {"crlf.sxcu", head + web + R"("Headers": {"X-A": "1\r\nX-Injected: 2"}})",
         "“Headers”中“X-A”含有换行或控制字符"},
        {"array.sxcu", head + R"("RequestURL": ["https://s.test/"]})", "“RequestURL”应为文本"},
        {"headers.sxcu", head + web + R"("Headers": "X-A: 1"})", "“Headers”应为 JSON 对象"},
        {"none.sxcu", head + R"("Name": "n"})", "缺少 RequestURL"},
        {"gopher.sxcu", head + R"("RequestURL": "gopher://s.test/"})",
         "RequestURL 只能是 http 或 https 地址"},
        {"large.sxcu", head + web + R"("Headers": {"X-A": ")" + std::string(70'000, 'a') + "\"}}",
         "“Headers”中有一项超过 64 KiB"},
        {"huge.sxcu", head + web + R"("Data": ")" + std::string(1'100'000, 'a') + "\"}",
         "文件超过 1 MiB"},
    };
    const std::string before = test::readFile(settings());
    for (const auto& bad : refused) {
        test::writeFile(dir / bad.file, bad.text);
        const auto r = run({"interfaces", "import", (dir / bad.file).string()});
        EXPECT_EQ(r.status, 2) << bad.file;
        EXPECT_NE(r.err.find(utf8(bad.reason)), std::string::npos) << bad.file << ": " << r.err;
        EXPECT_EQ(test::readFile(settings()), before) << bad.file;
    }
}

TEST_F(CommandLine, TokenFromTheEnvironmentStaysInThePrivateFileWithoutAKeyring) {
    serveTokenCheck("env-secret");
    // A bus nobody answers on: the keyring is unavailable at once, the file keeps the token.
    const test::ScopedEnv bus("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (dir / "no-bus").string());
    const test::ScopedEnv token("LIANSHUO_TOKEN", "env-secret");
    auto r = run({"interfaces", "add", "--name", "e", "--address", tokenAddress()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "e\n");
    EXPECT_EQ(r.err.find("env-secret"), std::string::npos) << r.err;
    const std::string file = test::readFile(settings());
    EXPECT_EQ(ini::readRaw(file, "短网址选项_e", "令牌"), "env-secret");
    EXPECT_EQ(ini::readRaw(file, "短网址选项_e", "令牌存储"), std::nullopt);
    namespace fs = std::filesystem;
    EXPECT_EQ(fs::status(dir / "s.ini").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);

    r = run({"convert", "--no-save", "--service", "custom", "--interface", "e", "http://a.test/1"});
    EXPECT_EQ(r.out, "http://s.test/1\thttp://a.test/1\n") << r.err;
    EXPECT_EQ((r.out + r.err).find("env-secret"), std::string::npos);
}

TEST_F(CommandLine, ALoggingInServiceConvertsThroughItsTokenRequestBasicAuthAndAReplyRule) {
    test::TestServer fake;
    test::TokenService service(fake, "ann", "pa55", test::TokenService::Login::Basic);
    service.setLoginDelay(std::chrono::milliseconds(100));
    auto r = run({"interfaces",
                  "add",
                  "--name",
                  "bl",
                  "--address",
                  fake.url("/links"),
                  "--body",
                  utf8(R"({"url":"#长网址#"})"),
                  "--format",
                  "json",
                  "--utf8",
                  "--header",
                  utf8("Authorization: Bearer #令牌#"),
                  "--extract",
                  "json",
                  "--expression",
                  "short_link",
                  "--success-rule",
                  "status=ok",
                  "--username",
                  "ann",
                  "--password",
                  "-",
                  "--token-url",
                  fake.url("/access_token"),
                  "--token-header",
                  utf8("Authorization: Basic #base64(#用户名#:#密码#)#"),
                  "--token-path",
                  "access_token"},
                 "pa55\n");
    ASSERT_EQ(r.status, 0) << r.err;
    r = run({"convert", "--no-save", "--service", "custom", "--interface", "bl", "--jobs", "4",
             "--verbose", "--quiet"},
            "http://a.test/1\nhttp://a.test/bad\nhttp://a.test/3\nhttp://a.test/4\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "https://bl.test/1\thttp://a.test/1\n" + utf8("生成错误") +
                         "\thttp://a.test/bad\nhttps://bl.test/3\thttp://a.test/3\n"
                         "https://bl.test/4\thttp://a.test/4\n");
    EXPECT_NE(r.err.find(utf8("失败: http://a.test/bad: 回复中找不到短网址：url is blocked")),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("POST " + fake.url("/access_token") + " -> 200"), std::string::npos);
    // One log-in for the four slots; the credentials never reach the output.
    EXPECT_EQ(service.tokensIssued(), 1) << r.err;
    EXPECT_EQ(r.err.find("pa55"), std::string::npos);
    EXPECT_EQ(r.err.find("YW5uOnBhNTU="), std::string::npos);
}
