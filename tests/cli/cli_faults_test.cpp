// The command line under faults: failing services, results that cannot be
// written, hostile file trees, and readers that go away.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <nlohmann/json.hpp>

#include "cli_fixture.h"
#include "jobs/fileconvertersettings.h"
#include "support/test_pages.h"

using namespace lianshuo;
using test::CommandLine;
using test::utf8;
namespace fs = std::filesystem;

namespace {

class CliFaults : public CommandLine {};

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        out.push_back(text.substr(start, end - start));
    return out;
}

}  // namespace

TEST_F(CliFaults, EveryFailureSaysWhyOnStandardErrorAndInJson) {
    server.route("/down", test::reply(503, "Service Unavailable, try later"));
    pointInterfaceAt("/down");
    auto r = run({"convert", "--no-save", "--retries", "0", "http://a.test/x"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, utf8("生成错误") + "\thttp://a.test/x\n");
    EXPECT_NE(r.err.find(utf8("失败: http://a.test/x: HTTP 503：Service Unavailable, try later")),
              std::string::npos)
        << r.err;

    r = run({"convert", "--no-save", "--retries", "0", "--json", "http://a.test/x"});
    EXPECT_EQ(r.status, 1);
    const auto error = nlohmann::json::parse(r.out);
    EXPECT_EQ(error["long"], "http://a.test/x");
    EXPECT_EQ(error["error"]["kind"], "status");
    EXPECT_EQ(error["error"]["status"], 503);

    server.route("/ok", test::reply(200, "https://s.test/\"q\"\n"));
    pointInterfaceAt("/ok");
    r = run({"convert", "--no-save", "--json", "http://a.test/1"});
    EXPECT_EQ(r.status, 1);  // a quote is never part of a short address
    EXPECT_EQ(nlohmann::json::parse(r.out)["error"]["kind"], "not-a-web-address");
}

TEST_F(CliFaults, AResultsFileThatCannotBeWrittenIsAnErrorNotAPath) {
    test::writeFile(dir / "plain", "x");
    auto r = run({"convert", "--save-dir", (dir / "plain" / "sub").string(), "http://a.test/1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "http://s.test/1\thttp://a.test/1\n");
    EXPECT_EQ(r.err.find(utf8("结果文件：")), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(utf8("无法创建结果文件")), std::string::npos) << r.err;

    r = run({"convert", "--save-dir", "", "http://a.test/1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.find(utf8("结果文件：")), std::string::npos) << r.err;
}

TEST_F(CliFaults, IntervalsAndInputsThatMakeNoSenseAreRefused) {
    for (const char* interval : {"inf", "nan", "1e308", "-1", "90000"}) {
        const auto r = run({"convert", "--no-save", "--interval", interval, "http://a.test/1"});
        EXPECT_EQ(r.status, 2) << interval;
        EXPECT_NE(r.err.find("--interval"), std::string::npos);
    }
    EXPECT_EQ(run({"convert", "--retries", "x", "http://a.test/1"}).status, 2);
    EXPECT_EQ(run({"convert", "--retries", "11", "http://a.test/1"}).status, 2);
    // A day between two addresses, and no address after this one: nothing to wait for.
    auto r = run({"convert", "--no-save", "--interval", "86400", "http://a.test/1"}, {}, {},
                 std::chrono::seconds(20));
    EXPECT_EQ(r.status, 0);

    fs::create_directory(dir / "folder");
    r = run({"convert", "--input", (dir / "folder").string()});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find(utf8("无法读取输入文件")), std::string::npos);
    EXPECT_EQ(server.requests().size(), 1u);  // only the run with a day's interval asked
}

TEST_F(CliFaults, AReaderThatGoesAwayLosesNoConversionFromTheResultsFile) {
    const std::string command = std::string(LIANSHUO_PROGRAM) + " convert --settings '" +
                                (dir / "s.ini").string() +
                                "' http://a.test/1 http://a.test/2 http://a.test/3 | head -c 1";
    const auto r = test::runProcess("/bin/bash", {"-c", command});
    EXPECT_EQ(r.status, 0);
    const auto files = resultFiles();
    ASSERT_EQ(files.size(), 1u);
    // Every address the service was asked for is in the file.
    EXPECT_EQ(lines(test::readFile(files[0])).size(), server.requests().size());
    EXPECT_GE(server.requests().size(), 1u);
}

TEST_F(CliFaults, FilesSkipsWhatItCannotTouchAndNeverWritesThroughALink) {
    const fs::path pages = dir / "pages";
    fs::create_directory(pages);
    test::writeFile(pages / "a.htm", "<a href=\"http://a.test/1\">");
    test::writeFile(pages / "\xB2\xE2.htm", "http://a.test/2 http://a.test/bad");  // a GBK name
    fs::permissions(pages / "a.htm", fs::perms::owner_read | fs::perms::owner_write);
    {
        ControlStateStore store;
        ASSERT_TRUE(store.bindFile(settings()));
        FileConverterSettings s = defaultFileConverterSettings();
        s.whiteListOn = false;
        EXPECT_TRUE(saveFileConverterSettings(store, s));
    }
    const fs::path output = nativePath(gbkPath(pages) + "/处理结果");
    fs::create_directory(output);
    // A planted link in the output folder must be replaced, not written through.
    fs::create_symlink(pages / "a.htm", output / "a.htm");

    auto r = run({"files", "--retries", "0", pages.string()});
    EXPECT_EQ(r.status, 1) << r.err;  // one address failed
    EXPECT_EQ(test::readFile(pages / "a.htm"), "<a href=\"http://a.test/1\">");
    EXPECT_FALSE(fs::is_symlink(output / "a.htm"));
    EXPECT_EQ(test::readFile(output / "a.htm"), "<a href=\"http://s.test/1\">");
    EXPECT_EQ(fs::status(output / "a.htm").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(test::readFile(output / "\xB2\xE2.htm"), "http://s.test/2 http://a.test/bad");
    EXPECT_NE(r.err.find(utf8("写入文件 2 个，转换网址 2 个，失败网址 1 个，失败文件 0 个")),
              std::string::npos)
        << r.err;

    // An output folder that is a link to the sources is refused before anything is written.
    fs::remove_all(output);
    fs::create_directory_symlink(pages, output);
    r = run({"files", pages.string()});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(test::readFile(pages / "a.htm"), "<a href=\"http://a.test/1\">");
}

namespace {

// Runs the program under a pseudo-terminal, as a person at a terminal would.
test::ProcessResult runOnTerminal(const std::string& arguments) {
    return test::runProcess(
        "/usr/bin/script",
        {"-q", "-e", "-c", std::string(LIANSHUO_PROGRAM) + " " + arguments, "/dev/null"});
}

}  // namespace

TEST_F(CliFaults, ProgressShowsOnATerminalOnlyAndVerboseListsEveryRequest) {
    const std::string common = "convert --no-save --settings '" + (dir / "s.ini").string() + "' ";
    auto r = runOnTerminal(common + "http://a.test/1 http://a.test/2");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("[0/2]"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\r\x1b[K"), std::string::npos);  // erased at the end
    r = runOnTerminal(common + "--quiet http://a.test/1");
    EXPECT_EQ(r.out.find("\x1b[K"), std::string::npos) << r.out;
    // Through a pipe, as in every other test: never.
    r = run({"convert", "--no-save", "http://a.test/1"});
    EXPECT_EQ(r.err.find("\x1b[K"), std::string::npos) << r.err;

    // The runs before kept this address; only a run that asks again shows a request.
    r = run({"convert", "--no-save", "--no-history", "--verbose", "http://a.test/1"});
    EXPECT_NE(r.err.find("GET " + server.url("/short?u=http%3A%2F%2Fa.test%2F1") + " -> 200"),
              std::string::npos)
        << r.err;
}

// A service that writes the request back into its error must not make the program print the
// key, in any of the forms the request carried it.
TEST_F(CliFaults, TheTokenNeverShowsInVerboseLinesOrReasons) {
    server.route("/echo", [](test::Exchange& e) {
        e.answer(403, "{\"message\":\"bad signature in " + e.request().target + "\"}");
    });
    {
        ControlStateStore store;
        ASSERT_TRUE(store.bindFile(settings()));
        ShortUrlInterface d;
        d.address = server.url("/echo?signature=#令牌#&u=#长网址#");
        d.token = "s3cr3t+/=";
        EXPECT_TRUE(saveInterface(d, store));
    }
    const std::string masked = "/echo?signature=********&u=http%3A%2F%2Fa.test%2Fx";
    auto r = run(
        {"convert", "--no-save", "--no-history", "--verbose", "--retries", "0", "http://a.test/x"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("GET " + server.url(masked) + " -> 403"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(utf8("HTTP 403：bad signature in ") + masked), std::string::npos) << r.err;
    r = run(
        {"convert", "--no-save", "--no-history", "--json", "--retries", "0", "http://a.test/x"});
    EXPECT_NE(r.out.find(masked), std::string::npos) << r.out;
    EXPECT_EQ((r.out + r.err).find("s3cr3t"), std::string::npos) << r.out << r.err;
}

TEST_F(CliFaults, WithoutADisplayTheWindowAndTheClipboardSaySo) {
#ifndef LIANSHUO_PROGRAM_HAS_WINDOWS
    GTEST_SKIP() << "the program is built without its windows";
#endif
    const std::vector<std::string> bare = {
        "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "-u", "QT_QPA_PLATFORM", LIANSHUO_PROGRAM};
    auto r = test::runProcess("/usr/bin/env", bare);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find(utf8("没有找到")), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("lianshuo --help"), std::string::npos);
    auto args = bare;
    for (const std::string a : {"convert", "--clipboard", "--settings"}) args.push_back(a);
    args.push_back((dir / "s.ini").string());
    r = test::runProcess("/usr/bin/env", args);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find(utf8("没有找到")), std::string::npos) << r.err;
    EXPECT_TRUE(server.requests().empty());
}

TEST_F(CliFaults, AnInterruptAbortsARequestThatHangs) {
    const test::Handler hang = test::neverAnswer();
    server.route("/mixed", [&hang](test::Exchange& e) {
        if (e.request().target.find("hang") == std::string::npos)
            return (void)e.answer(200, "http://s.test/1");
        hang(e);
    });
    pointInterfaceAt("/mixed");
    // The hanging service would hold the run for a minute; the interrupt must not wait for it.
    const auto r = run(
        {"convert", "http://a.test/1", "http://a.test/hang"}, "",
        [](const std::string& out) { return out.empty() ? 0 : SIGINT; }, std::chrono::seconds(15));
    EXPECT_EQ(r.status, 130);
    EXPECT_EQ(r.out, "http://s.test/1\thttp://a.test/1\n");
    const auto files = resultFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(test::readFile(files[0]), "http://s.test/1\r\n");
}

TEST_F(CliFaults, ALineTooLongToBeAnAddressFailsAloneAndTheOthersConvert) {
    const std::string huge = "http://a.test/" + std::string(70 * 1024, 'x') + "9";
    const auto r =
        run({"convert", "--no-save"}, "http://a.test/1\n" + huge + "\nhttp://a.test/2\n");
    EXPECT_EQ(r.status, 1);
    const auto rows = lines(r.out);
    ASSERT_EQ(rows.size(), 3u) << r.out.substr(0, 300);
    EXPECT_EQ(rows[0], "http://s.test/1\thttp://a.test/1");
    EXPECT_EQ(rows[1].rfind(utf8("生成错误") + "\thttp://a.test/xxx", 0), 0u)
        << rows[1].substr(0, 200);
    EXPECT_LT(rows[1].size(), 200u);
    EXPECT_EQ(rows[2], "http://s.test/2\thttp://a.test/2");
    EXPECT_NE(r.err.find(utf8("这一行超过 64 KiB，不是网址")), std::string::npos)
        << r.err.substr(0, 300);
    EXPECT_EQ(server.requests().size(), 2u);
}

TEST_F(CliFaults, AReaderThatGoesAwayBeforeTheEndMakesExitStatus141) {
    server.route("/slow", [](test::Exchange& e) {
        if (e.pause(std::chrono::milliseconds(40))) e.answer(200, "http://s.test/1");
    });
    pointInterfaceAt("/slow");
    std::string command = "set -o pipefail; " + std::string(LIANSHUO_PROGRAM) +
                          " convert --no-save --settings '" + (dir / "s.ini").string() + "'";
    for (int n = 1; n <= 50; ++n) command += " http://a.test/" + std::to_string(n);
    const auto r = test::runProcess("/bin/bash", {"-c", command + " | head -1"});
    EXPECT_EQ(r.status, 141) << r.err;
    EXPECT_EQ(lines(r.out).size(), 1u);
    EXPECT_LT(server.requests().size(), 50u);
}

TEST_F(CliFaults, AnInterruptWithManyJobsLeavesNoGapInTheOutput) {
    // Row 1 answers last of the quick ones; row 2 never does: the interrupt catches it
    // between rows that are done.
    const test::Handler hang = test::neverAnswer();
    server.setKeepAlive(true);
    server.route("/mixed", [&hang](test::Exchange& e) {
        const std::string& target = e.request().target;
        const std::string n = target.substr(target.rfind("%2F") + 3);
        if (n == "2") return hang(e);
        if (n == "1" && !e.pause(std::chrono::milliseconds(500))) return;
        e.answer(200, "http://s.test/" + n);
    });
    pointInterfaceAt("/mixed");
    std::vector<std::string> args{"convert", "--jobs", "32"};
    for (int n = 1; n <= 32; ++n) args.push_back("http://a.test/" + std::to_string(n));
    const auto r = run(
        args, "", [](const std::string& out) { return out.empty() ? 0 : SIGINT; },
        std::chrono::seconds(20));
    EXPECT_EQ(r.status, 130);
    const auto rows = lines(r.out);
    ASSERT_GE(rows.size(), 3u) << r.out;
    EXPECT_EQ(rows[1], utf8("生成错误") + "\thttp://a.test/2");
    // Every address up to the last row printed, in order: done, or stopped and said so.
    std::string expected;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::string n = std::to_string(i + 1);
        if (rows[i] == utf8("生成错误") + "\thttp://a.test/" + n) {
            EXPECT_NE(r.err.find(utf8("失败: http://a.test/" + n + ": 已停止")), std::string::npos)
                << r.err;
            continue;
        }
        EXPECT_EQ(rows[i], "http://s.test/" + n + "\thttp://a.test/" + n) << r.out;
        expected += "http://s.test/" + n + "\r\n";
    }
    EXPECT_EQ(rows.back().rfind("http://s.test/", 0), 0u) << r.out;
    // The results file keeps the same rows, in order.
    ASSERT_EQ(resultFiles().size(), 1u);
    EXPECT_EQ(test::readFile(resultFiles()[0]), expected);
}
