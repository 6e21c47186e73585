// The history through the built program: reuse across runs, the options
// that turn it off or renew it, the history command, and the file under
// faults (a killed run, two runs at once, a damaged file).

#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <nlohmann/json.hpp>
#include <thread>

#include "cli_fixture.h"
#include "history/conversionhistory.h"
#include "support/test_pages.h"

using namespace lianshuo;
using test::CommandLine;
using test::utf8;
namespace fs = std::filesystem;

namespace {

class CliHistory : public CommandLine {
protected:
    void SetUp() override {
        CommandLine::SetUp();
        // Every request makes a new short address, as many services do.
        server.route("/count", [this](test::Exchange& e) {
            e.answer(200, "http://s.test/c" + std::to_string(++counted));
        });
    }
    fs::path historyFile() const { return nativePath(historyFilePath(settings())); }
    std::vector<HistoryEntry> kept() {
        ConversionHistory history;
        EXPECT_TRUE(history.open(historyFilePath(settings())).ok());
        std::vector<HistoryEntry> entries;
        EXPECT_TRUE(history.list({}, entries).ok());
        return entries;
    }
    static int warnings(const std::string& err) {
        int count = 0;
        const std::string warning = utf8("警告");
        for (std::size_t at = err.find(warning); at != std::string::npos;
             at = err.find(warning, at + 1))
            ++count;
        return count;
    }

    std::atomic<int> counted{0};
};

}  // namespace

TEST_F(CliHistory, ASecondRunSendsNoRequestAndPrintsTheSameAddresses) {
    const std::vector<std::string> args = {"convert", "http://a.test/1", "http://a.test/2",
                                           "http://a.test/3"};
    const auto first = run(args);
    ASSERT_EQ(first.status, 0) << first.err;
    ASSERT_EQ(server.requests().size(), 3u);
    EXPECT_TRUE(fs::exists(historyFile()));

    const auto second = run(args);
    EXPECT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(second.out, first.out);
    EXPECT_EQ(server.requests().size(), 3u);
    // The second run's results file holds the reused addresses too.
    ASSERT_EQ(resultFiles().size(), 2u);
    EXPECT_EQ(test::readFile(resultFiles()[0]), test::readFile(resultFiles()[1]));

    const auto json = run({"convert", "--no-save", "--json", "http://a.test/1"});
    EXPECT_EQ(nlohmann::json::parse(json.out)["history"], true);
    EXPECT_EQ(server.requests().size(), 3u);

    // The file converter reads the same history.
    fs::create_directory(dir / "pages");
    test::writeFile(dir / "pages" / "a.htm", "http://a.test/2 http://a.test/4");
    const auto files = run({"files", "--no-white", (dir / "pages").string()});
    EXPECT_EQ(files.status, 0) << files.err;
    EXPECT_EQ(server.requests().size(), 4u);
}

TEST_F(CliHistory, NoHistoryAsksAgainAndRefreshReplacesWhatWasKept) {
    pointInterfaceAt("/count");
    const auto shortOf = [this](std::vector<std::string> extra) {
        std::vector<std::string> args = {"convert", "--no-save"};
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back("http://a.test/x");
        const auto r = run(args);
        EXPECT_EQ(r.status, 0) << r.err;
        return r.out.substr(0, r.out.find('\t'));
    };
    EXPECT_EQ(shortOf({}), "http://s.test/c1");
    EXPECT_EQ(shortOf({}), "http://s.test/c1");
    EXPECT_EQ(shortOf({"--no-history"}), "http://s.test/c2");
    // What --no-history made is what the history now holds.
    EXPECT_EQ(shortOf({}), "http://s.test/c2");
    EXPECT_EQ(shortOf({"--refresh"}), "http://s.test/c3");
    EXPECT_EQ(shortOf({}), "http://s.test/c3");
    EXPECT_EQ(counted, 3);
    ASSERT_EQ(kept().size(), 1u);

    // The window's setting turns the look-up off for the command line too.
    {
        ControlStateStore store;
        ASSERT_TRUE(store.bindFile(settings()));
        store.selectSection("基本配置");
        EXPECT_TRUE(store.writeBool("使用历史", false));
    }
    EXPECT_EQ(shortOf({}), "http://s.test/c4");
}

TEST_F(CliHistory, AnEditedInterfaceAddressIsANewServiceInTheHistory) {
    ASSERT_EQ(run({"convert", "--no-save", "http://a.test/1"}).status, 0);
    pointInterfaceAt("/count");
    ASSERT_EQ(run({"convert", "--no-save", "http://a.test/1"}).status, 0);
    EXPECT_EQ(counted, 1);
    const auto rows = kept();
    // Two rows: the edited interface found nothing under its old key. Both
    // show the interface's name alone.
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].service, "custom:127.0.0.1");
    EXPECT_EQ(rows[1].service, "custom:127.0.0.1");
}

TEST_F(CliHistory, TheHistoryCommandListsExportsAndForgets) {
    // Reading a history that is not there shows nothing and creates nothing.
    auto r = run({"history", "list"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(fs::exists(historyFile()));

    ASSERT_EQ(run({"convert", "--no-save", "http://a.test/1", "http://a.test/2"}).status, 0);
    r = run({"history", "list"});
    EXPECT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 2);
    EXPECT_EQ(r.out.rfind("http://s.test/1\thttp://a.test/1\tcustom:127.0.0.1\t", 0), 0u) << r.out;
    // The uses, then "-": never checked.
    EXPECT_NE(r.out.find("\t1\t-\n"), std::string::npos) << r.out;
    EXPECT_EQ(run({"history", "list", "--service", "127.0.0.1"}).out, r.out);
    EXPECT_EQ(run({"history", "list", "--service", "custom"}).out, r.out);
    EXPECT_EQ(run({"history", "list", "--service", "baidu"}).out, "");
    EXPECT_EQ(run({"history", "list", "--since", "2999-01-01"}).out, "");

    // For spreadsheets by default; --plain as scripts have always read it.
    r = run({"history", "export", (dir / "h.csv").string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find(utf8("已导出 2 条历史到 ")), std::string::npos) << r.err;
    const std::string csv = test::readFile(dir / "h.csv");
    EXPECT_EQ(
        csv.rfind("\xEF\xBB\xBF" +
                      utf8("短网址,长网址,服务,生成时间,最后使用,次数,状态,指向,检查时间\r\n") +
                      "http://s.test/1,http://a.test/1,127.0.0.1,",
                  0),
        0u)
        << csv;
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 3);
    r = run({"history", "export", "--plain", (dir / "p.csv").string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(test::readFile(dir / "p.csv")
                  .rfind("service,long,short,created,last used,uses,state,target,checked\r\n"
                         "custom:127.0.0.1,http://a.test/1,http://s.test/1,",
                         0),
              0u);

    for (const auto& bad :
         std::vector<std::vector<std::string>>{{"history", "list", "--since", "yesterday"},
                                               {"history", "forget", "--since", "2020-01-01"},
                                               {"history", "list", "--before", "2020-01-01"},
                                               {"history", "export"},
                                               {"history", "list", "--plain"},
                                               {"history", "purge"}})
        EXPECT_EQ(run(bad).status, 2) << bad[1];

    r = run({"history", "forget", "--before", "2000-01-01"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find(utf8("已删除 0 条历史")), std::string::npos) << r.err;
    r = run({"history", "forget", "--service", "custom"});
    EXPECT_NE(r.err.find(utf8("已删除 2 条历史")), std::string::npos) << r.err;
    EXPECT_EQ(run({"history", "list"}).out, "");
    ASSERT_EQ(run({"convert", "--no-save", "http://a.test/1"}).status, 0);
    EXPECT_EQ(server.requests().size(), 3u);
}

TEST_F(CliHistory, ARunKilledMidBatchKeepsEveryConversionItFinished) {
    server.route("/slow", [](test::Exchange& e) {
        if (e.request().target.find("hang") != std::string::npos)
            return (void)test::neverAnswer()(e);
        e.answer(200, "http://s.test/" + e.request().target.substr(e.request().target.size() - 1));
    });
    pointInterfaceAt("/slow");
    const auto r = run({"convert", "--no-save", "http://a.test/1", "http://a.test/2",
                        "http://a.test/hang", "http://a.test/4"},
                       {}, [](const std::string& out) {
                           return std::count(out.begin(), out.end(), '\n') == 2 ? SIGKILL : 0;
                       });
    EXPECT_EQ(r.status, 128 + SIGKILL);
    const auto rows = kept();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].longUrl, "http://a.test/1");
    EXPECT_EQ(rows[1].shortUrl, "http://s.test/2");
}

TEST_F(CliHistory, TwoRunsAtOnceShareOneHistory) {
    std::vector<std::string> firstArgs = {"convert", "--no-save"}, secondArgs = firstArgs;
    for (int i = 0; i < 60; ++i) {
        const std::string url = "http://a.test/" + std::to_string(i) + "/" + std::to_string(i % 10);
        if (i < 40) firstArgs.push_back(url);
        if (i >= 20) secondArgs.push_back(url);
    }
    test::ProcessResult first, second;
    std::thread other([&] { second = run(secondArgs); });
    first = run(firstArgs);
    other.join();
    EXPECT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(warnings(first.err) + warnings(second.err), 0) << first.err << second.err;
    const auto rows = kept();
    EXPECT_EQ(rows.size(), 60u);
    // Whatever ran first, each address has one short address in the history.
    EXPECT_EQ(std::count(first.out.begin(), first.out.end(), '\n'), 40);
    EXPECT_EQ(std::count(second.out.begin(), second.out.end(), '\n'), 40);
}

TEST_F(CliHistory, ADamagedHistoryIsOneWarningAndTheRunGoesOn) {
    const std::string junk(4096, '\x5a');
    test::writeFile(historyFile(), junk);
    const auto r = run({"convert", "--no-save", "http://a.test/1", "http://a.test/2"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "http://s.test/1\thttp://a.test/1\nhttp://s.test/2\thttp://a.test/2\n");
    EXPECT_EQ(warnings(r.err), 1) << r.err;
    EXPECT_NE(r.err.find(historyFile().string()), std::string::npos) << r.err;
    // The file is the user's to look at: nothing writes over it.
    EXPECT_EQ(test::readFile(historyFile()), junk);
    const auto listed = run({"history", "list"});
    EXPECT_EQ(listed.status, 2);
    EXPECT_NE(listed.err.find(historyFile().string()), std::string::npos);
}

TEST_F(CliHistory, TheEnvironmentNamesAnotherHistory) {
    const fs::path elsewhere = dir / "other" / "h.sqlite";
    setenv("LIANSHUO_HISTORY", elsewhere.c_str(), 1);
    const auto r = run({"convert", "--no-save", "http://a.test/1"});
    unsetenv("LIANSHUO_HISTORY");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(elsewhere));
    EXPECT_FALSE(fs::exists(historyFile()));
}
