#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <filesystem>
#include <iostream>
#include <sstream>

#include "base/charset.h"
#include "base/gbk.h"
#include "base/paths.h"
#include "base/platform.h"
#include "cli/commandline.h"
#include "cli_fixture.h"
#include "jobs/fileconvertersettings.h"
#include "services/interfacestore.h"
#include "store/controlstatestore.h"
#include "store/settings.h"
#include "subprocess.h"
#include "support/tempdir.h"
#include "support/test_server.h"
#include "version.h"

using namespace lianshuo;
using test::CommandLine;
using test::utf8;
namespace fs = std::filesystem;

TEST(CommandLineBasics, HelpVersionAndUsageErrors) {
    auto r = test::runProcess(LIANSHUO_PROGRAM, {"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "lianshuo " + std::string(kVersion) + "\n");
    r = test::runProcess(LIANSHUO_PROGRAM, {"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind(utf8("用法：lianshuo [命令] [选项]\n"), 0), 0u) << r.out;
    EXPECT_NE(r.out.find("interfaces export NAME FILE"), std::string::npos);
    // -h anywhere before "--" is --help, also after a command.
    for (const std::vector<std::string>& asked :
         {std::vector<std::string>{"-h"}, {"convert", "-h"}})
        EXPECT_EQ(test::runProcess(LIANSHUO_PROGRAM, asked).out, r.out) << asked.back();
    r = test::runProcess(LIANSHUO_PROGRAM, {"frobnicate"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, utf8("lianshuo: 未知命令“frobnicate”（见 lianshuo --help）\n"));
    r = test::runProcess(LIANSHUO_PROGRAM, {"convert", "--bogus"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, utf8("lianshuo: 未知选项 --bogus（见 lianshuo --help）\n"));
    r = test::runProcess(LIANSHUO_PROGRAM, {"qr"});
    EXPECT_EQ(r.err, utf8("lianshuo: 用法：lianshuo qr [--png FILE] [--size N] TEXT\n"));
}

TEST_F(CommandLine, ConvertsArgumentsWithTheSettingsDefaultsAndWritesTheResultsFile) {
    const auto r = run({"convert", "a.test/1", " http://a.test/2 "});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "http://s.test/1\thttp://a.test/1\nhttp://s.test/2\thttp://a.test/2\n");
    const auto files = resultFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(
        files[0].filename().string().rfind("127.0.0.1:" + std::to_string(server.port()) + "_", 0),
        0u);
    EXPECT_EQ(test::readFile(files[0]), "http://s.test/1\r\nhttp://s.test/2\r\n");
    EXPECT_NE(r.err.find(files[0].string()), std::string::npos);
}

TEST_F(CommandLine, ReadsStandardInputAndInputFilesAndReportsFailures) {
    auto r =
        run({"convert", "--no-save"}, "http://a.test/1\r\n\r\n\xE3\x80\x80http://a.test/bad\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out,
              "http://s.test/1\thttp://a.test/1\n" + utf8("生成错误") + "\thttp://a.test/bad\n");
    EXPECT_TRUE(resultFiles().empty());

    test::writeFile(dir / "list.txt", "http://a.test/7\n");
    r = run({"convert", "--input", (dir / "list.txt").string(), "--save-dir",
             (dir / "elsewhere").string()});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "http://s.test/7\thttp://a.test/7\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "elsewhere"), fs::directory_iterator()),
              1);

    r = run({"convert", "--no-save"}, "");
    EXPECT_EQ(r.status, 0);  // nothing to convert
    EXPECT_EQ(r.out, "");
}

TEST_F(CommandLine, BadInputSaysWhichAndWritesNothing) {
    auto r = run({"convert", "--service", "nosuch", "http://a.test/1"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find(utf8("未知服务“nosuch”")), std::string::npos);
    r = run({"convert", "--interface", "missing.test", "http://a.test/1"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find(utf8("未知接口“missing.test”")), std::string::npos);
    r = run({"convert", "--input", (dir / "nofile.txt").string()});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find(utf8("无法读取输入文件")), std::string::npos);
    EXPECT_TRUE(resultFiles().empty());
    EXPECT_EQ(server.requests().size(), 0u);

    fs::create_directory(dir / "pages");
    test::writeFile(dir / "pages" / "a.htm", "http://a.test/1");
    r = run({"files", "--white", "(", "--white-regex", (dir / "pages").string()});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find(utf8("网址白名单")), std::string::npos);
    EXPECT_FALSE(fs::exists(nativePath(gbkPath(dir / "pages") + "/处理结果")));
    r = run({"files", (dir / "no-such-folder").string()});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find(utf8("没有这个文件夹")), std::string::npos);
}

TEST_F(CommandLine, FilesRewritesAFolderWithTheWindowsSettings) {
    fs::create_directory(dir / "pages");
    test::writeFile(dir / "pages" / "a.htm", "<a href=\"http://a.test/1\">x</a>");
    test::writeFile(dir / "pages" / "b.txt", "http://a.test/2");
    {
        ControlStateStore store;
        ASSERT_TRUE(store.bindFile(settings()));
        FileConverterSettings s = defaultFileConverterSettings();
        s.whiteListOn = false;
        EXPECT_TRUE(saveFileConverterSettings(store, s));
    }
    const auto r = run({"files", (dir / "pages").string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "http://s.test/1\thttp://a.test/1\n");
    const fs::path output = nativePath(gbkPath(dir / "pages") + "/处理结果");
    EXPECT_EQ(test::readFile(output / "a.htm"), "<a href=\"http://s.test/1\">x</a>");
    EXPECT_FALSE(fs::exists(output / "b.txt"));
    EXPECT_NE(r.err.find(utf8("处理结果")), std::string::npos);
}

TEST_F(CommandLine, InterfacesListShowExportImportDelete) {
    const std::string name = "127.0.0.1";
    auto r = run({"interfaces", "list"});
    EXPECT_EQ(r.out, name + "\n");
    r = run({"interfaces", "show", name});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')), utf8("调用模式=0"));
    EXPECT_NE(r.out.find(utf8("截取=假")), std::string::npos);
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 14);

    const std::string exported = (dir / "one.ini").string();
    EXPECT_EQ(run({"interfaces", "export", name, exported}).status, 0);
    EXPECT_EQ(run({"interfaces", "delete", name}).status, 0);
    EXPECT_EQ(run({"interfaces", "list"}).out, "");
    EXPECT_EQ(run({"interfaces", "delete", name}).status, 2);
    r = run({"interfaces", "import", exported});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, name + "\n");
    EXPECT_EQ(run({"interfaces", "list"}).out, name + "\n");
    EXPECT_EQ(run({"interfaces", "import", (dir / "none.ini").string()}).status, 2);
    EXPECT_EQ(run({"interfaces", "show"}).status, 2);
}

TEST_F(CommandLine, AnInterruptFinishesTheCurrentRowAndKeepsTheResults) {
    const auto r = run({"convert", "--interval", "30", "http://a.test/1", "http://a.test/2"}, "",
                       [](const std::string& out) { return out.empty() ? 0 : SIGINT; });
    EXPECT_EQ(r.status, 130);
    EXPECT_EQ(r.out, "http://s.test/1\thttp://a.test/1\n");
    const auto files = resultFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(test::readFile(files[0]), "http://s.test/1\r\n");
}

TEST_F(CommandLine, JobsRunConversionsAtOnceAndKeepTheInputOrder) {
    // Each address waits a delay of its own, so the answers come back out of order.
    std::atomic<int> held{0}, most{0};
    server.setKeepAlive(true);
    server.route("/slow", [&](test::Exchange& e) {
        const std::string& target = e.request().target;
        const int n = std::stoi(target.substr(target.rfind("%2F") + 3));
        const int now = ++held;
        for (int seen = most; now > seen && !most.compare_exchange_weak(seen, now);) {
        }
        e.pause(std::chrono::milliseconds((n * 37) % 60));
        --held;
        e.answer(200, "http://s.test/" + std::to_string(n));
    });
    pointInterfaceAt("/slow");
    std::string input;
    std::string expected;
    for (int n = 1; n <= 24; ++n) {
        input += "http://a.test/" + std::to_string(n) + "\n";
        expected += "http://s.test/" + std::to_string(n) + "\n";
    }
    const auto r = run({"convert", "--jobs", "4", "--save-dir", (dir / "out").string()}, input);
    ASSERT_EQ(r.status, 0) << r.err;
    std::string printed;
    for (const std::string& line : splitText(r.out, "\n"))
        if (!line.empty()) printed += line.substr(0, line.find('\t')) + "\n";
    EXPECT_EQ(printed, expected);
    ASSERT_EQ(resultFiles().size(), 1u);
    EXPECT_EQ(test::readFile(resultFiles()[0]), replaceAll(expected, "\n", "\r\n"));
    EXPECT_EQ(most, 4);

    for (const char* bad : {"0", "33", "two", "-1", ""}) {
        const auto refused = run({"convert", "--jobs", bad, "http://a.test/1"});
        EXPECT_EQ(refused.status, 2) << bad;
        EXPECT_NE(refused.err.find(utf8("--jobs 需要 1 到 32 之间的整数")), std::string::npos)
            << refused.err;
    }
}

namespace {

// The process's standard streams on string buffers, each faked a terminal or
// not, for a command run in this process.
class FakeTerminal {
public:
    FakeTerminal(std::streambuf& in, std::streambuf& out, std::streambuf& err, bool terminal)
        : in_(std::cin.rdbuf(&in)), out_(std::cout.rdbuf(&out)), err_(std::cerr.rdbuf(&err)) {
        using platform::StandardStream;
        for (const StandardStream s :
             {StandardStream::Input, StandardStream::Output, StandardStream::Error})
            platform::faults::fakeTerminal(s, terminal);
    }
    ~FakeTerminal() {
        std::cin.rdbuf(in_);
        std::cout.rdbuf(out_);
        std::cerr.rdbuf(err_);
        platform::faults::reset();
    }
    FakeTerminal(const FakeTerminal&) = delete;
    FakeTerminal& operator=(const FakeTerminal&) = delete;

private:
    std::streambuf* in_;
    std::streambuf* out_;
    std::streambuf* err_;
};

}  // namespace

TEST_F(CommandLine, OnATerminalStandardInputIsAskedForAndResultsStartOnAClearedLine) {
    const std::string prompt = utf8("从标准输入读取网址，每行一个（Ctrl+D 结束）\n");
    for (const bool terminal : {true, false}) {
        std::stringbuf typed, out, err;
        const FakeTerminal faked(typed, out, err, terminal);
        EXPECT_EQ(runCommandLine({"convert", "--settings", (dir / "s.ini").string()}, std::cin,
                                 std::cout, std::cerr),
                  0);
        EXPECT_EQ(err.str().find(prompt) != std::string::npos, terminal) << err.str();
    }

    // Output and error on one screen: the progress line is gone before a row is printed there.
    std::stringbuf none, screen;
    {
        const FakeTerminal faked(none, screen, screen, true);
        EXPECT_EQ(runCommandLine({"convert", "--settings", (dir / "s.ini").string(), "--no-save",
                                  "http://a.test/1"},
                                 std::cin, std::cout, std::cerr),
                  0);
    }
    const std::string shown = screen.str();
    const std::size_t row = shown.find("http://s.test/1\thttp://a.test/1\n");
    ASSERT_NE(row, std::string::npos) << shown;
    EXPECT_NE(shown.find(toUtf8("已用")), std::string::npos) << shown;  // the line was drawn
    EXPECT_TRUE(row >= 4 && shown.compare(row - 4, 4, "\r\x1b[K") == 0) << shown;
}
