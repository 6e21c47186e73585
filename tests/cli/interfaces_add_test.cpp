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
    bool needsToken() const { return !findPreset(preset().preset)->tokenLabel.empty(); }
    test::ProcessResult add(const std::string& token) {
        std::vector<std::string> args{"interfaces", "add",        "--preset", preset().preset,
                                      "--host",     fake.url(""), "--name",   "p"};
        if (!token.empty()) args.insert(args.end(), {"--token", token});
        return run(args);
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
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].requestLine, presets::filled(preset().requestLine));
    EXPECT_EQ(requests[0].body, presets::filled(preset().body));

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
    EXPECT_EQ(r.out, "127.0.0.1\n");
    r = run({"interfaces", "show", "127.0.0.1"});
    EXPECT_NE(r.out.find(utf8("请求头=x-a: 2\n")), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(utf8("调用模式=1\n")), std::string::npos);
    // A pasted line may bring an alias after a tab.
    r = run({"convert", "--no-save", "--service", "custom", "--interface", "127.0.0.1"},
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
        {{"--preset", "nosuch"}, "unknown preset 'nosuch' (see lianshuo interfaces presets)"},
        {{"--preset", "shlink"}, "预设“shlink”是自建的服务，须指定其主机（--host）"},
        {{"--host", "a.test"}, "--host goes with --preset"},
        {{"--body", "x"}, "interfaces add needs --address or --preset"},
        {{"--address", "https://a.test/", "--format", "xml"},
         "--format takes form, json, multipart or raw, not 'xml'"},
        {{"--address", "https://a.test/", "--method", "DELETE"},
         "--method takes GET, POST, PUT or PATCH, not 'DELETE'"},
        {{"--address", "https://a.test/", "--header", "no colon"},
         "cannot save the interface: 请求头“no colon”不是“名称: 值”的形式"},
        {{"--address", "https://a.test/", "--replace", "a|b=c"},
         "--replace takes FIND=REPLACEMENT without '|', not 'a|b=c'"},
        {{"--address", "https://a.test/", "--pause", "-1"},
         "--pause takes milliseconds from 0 to 600000, not '-1'"},
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

TEST_F(CommandLine, ShowMasksTheTokenAndExportWritesItOnlyWhenAsked) {
    ASSERT_EQ(run({"interfaces", "add", "--preset", "dub", "--token", "s3cret"}).status, 0);
    auto r = run({"interfaces", "show", "api.dub.co"});
    EXPECT_NE(r.out.find(utf8("令牌=********\n")), std::string::npos);
    EXPECT_EQ(r.out.find("s3cret"), std::string::npos);
    const std::string ini = (dir / "dub.ini").string(), sxcu = (dir / "dub.sxcu").string();
    EXPECT_EQ(run({"interfaces", "export", "api.dub.co", ini}).status, 0);
    EXPECT_EQ(test::readFile(ini).find("s3cret"), std::string::npos);
    EXPECT_EQ(run({"interfaces", "export", "api.dub.co", ini, "--with-token"}).status, 0);
    EXPECT_NE(test::readFile(ini).find("s3cret"), std::string::npos);
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
