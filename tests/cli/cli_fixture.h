#pragma once
// The built program run as a user would, against a settings file holding one
// saved interface on a local fake service that shortens "…/N" to
// "http://s.test/N" and answers nothing for addresses holding "bad".

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "base/charset.h"
#include "base/paths.h"
#include "services/interfacestore.h"
#include "store/controlstatestore.h"
#include "store/settings.h"
#include "subprocess.h"
#include "support/tempdir.h"
#include "support/test_server.h"

namespace lianshuo::test {

namespace fs = std::filesystem;

// Output is UTF-8; the expectations are written as GBK literals.
inline std::string utf8(const std::string& gbk) {
    return toUtf8(gbk);
}

class CommandLine : public ::testing::Test {
protected:
    void SetUp() override {
        server.route("/short", [](Exchange& e) {
            const std::string& target = e.request().target;
            e.answer(200, target.find("bad") != std::string::npos
                              ? ""
                              : "http://s.test/" + target.substr(target.size() - 1));
        });
        // A settings file as the window writes it, with one saved interface selected.
        ControlStateStore store;
        ASSERT_TRUE(store.bindFile(settings()));
        ShortUrlInterface d;
        d.address = server.url("/short?u=#长网址#");
        EXPECT_TRUE(saveInterface(d, store));
        AppSettings app;
        app.service = 0;
        app.interfaceIndex = 0;
        app.saveDir = gbkPath(dir / "out");
        EXPECT_TRUE(saveSettings(store, app));
    }

    ProcessResult run(std::vector<std::string> args, const std::string& input = {},
                      std::function<int(const std::string&)> onOutput = {},
                      std::chrono::seconds limit = std::chrono::seconds(60)) {
        args.insert(args.begin() + (args.empty() ? 0 : 1),
                    {"--settings", (dir / "s.ini").string()});
        return runProcess(LIANSHUO_PROGRAM, args, input, limit, onOutput);
    }
    std::string settings() const { return gbkPath(dir / "s.ini"); }
    // "/tok" shortens "…/N" to "http://s.test/N" only for a request carrying "t=" `token`.
    void serveTokenCheck(const std::string& token) {
        server.route("/tok", [token](Exchange& e) {
            const std::string& target = e.request().target;
            const bool carried = target.find("t=" + token + "&") != std::string::npos;
            e.answer(carried ? 200 : 401,
                     carried ? "http://s.test/" + target.substr(target.size() - 1) : "");
        });
    }
    // The interface "NAME" on "/tok", its token in the query, as the command line takes it.
    std::string tokenAddress() const { return utf8(server.url("/tok?t=#令牌#&u=#长网址#")); }
    // The saved interface pointed at another path of the same fake.
    void pointInterfaceAt(const std::string& path) {
        ControlStateStore store;
        ASSERT_TRUE(store.bindFile(settings()));
        ShortUrlInterface d;
        d.address = server.url(path + "?u=#长网址#");
        EXPECT_TRUE(saveInterface(d, store));
    }
    std::vector<fs::path> resultFiles() const {
        std::vector<fs::path> files;
        if (fs::exists(dir / "out"))
            for (const auto& entry : fs::directory_iterator(dir / "out"))
                files.push_back(entry.path());
        return files;
    }

    TempDir dir;
    TestServer server;
};

}  // namespace lianshuo::test
