// The Debian package as a user gets it: unpacked into a throwaway root with
// dpkg -x, and the installed program run against the local fake service from a
// folder it cannot write, as it always runs once installed. LIANSHUO_DEB names
// the package; scripts/test.sh sets it after `make package`.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "base/paths.h"
#include "cli/subprocess.h"
#include "services/interfacestore.h"
#include "store/controlstatestore.h"
#include "store/settings.h"
#include "support/scoped_env.h"
#include "support/tempdir.h"
#include "support/test_server.h"
#include "version.h"

using namespace lianshuo;
namespace fs = std::filesystem;

namespace {

constexpr unsigned kNobody = 65534;

class InstalledPackage : public ::testing::Test {
protected:
    void SetUp() override {
        const char* deb = std::getenv("LIANSHUO_DEB");
        if (deb == nullptr || *deb == '\0')
            GTEST_SKIP() << "LIANSHUO_DEB names no package (scripts/test.sh sets it)";
        deb_ = deb;
        const auto r = test::runProcess("/usr/bin/dpkg", {"-x", deb_, root().string()});
        ASSERT_EQ(r.status, 0) << r.err;
        ASSERT_TRUE(fs::is_regular_file(program()));
        fs::create_directories(home());
        // Once installed, the program's folder belongs to root: a user cannot write it.
        if (geteuid() == 0)
            fs::permissions(dir.path(),
                            fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
        else
            fs::permissions(program().parent_path(), fs::perms::owner_write,
                            fs::perm_options::remove);

        server.route("/short", [](test::Exchange& e) {
            const std::string& target = e.request().target;
            e.answer(200, "http://s.test/" + target.substr(target.size() - 1));
        });
        definition.address = server.url("/short?u=#长网址#");
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(program().parent_path(), fs::perms::owner_write, fs::perm_options::add, ec);
    }

    fs::path root() const { return dir / "root"; }
    fs::path program() const { return root() / "usr/bin/lianshuo"; }
    fs::path home() const { return dir / "home"; }

    // The installed program, as a user who owns `home` only: as root, the user nobody.
    test::ProcessResult run(const std::vector<std::string>& args) {
        if (geteuid() != 0) return test::runProcess(program().string(), args);
        EXPECT_EQ(chown(home().c_str(), kNobody, kNobody), 0);
        for (const auto& entry : fs::recursive_directory_iterator(home()))
            EXPECT_EQ(lchown(entry.path().c_str(), kNobody, kNobody), 0) << entry.path();
        const std::string id = std::to_string(kNobody);
        std::vector<std::string> asNobody{"--reuid=" + id, "--regid=" + id, "--clear-groups", "--",
                                          program().string()};
        asNobody.insert(asNobody.end(), args.begin(), args.end());
        return test::runProcess("/usr/bin/setpriv", asNobody);
    }
    std::string field(const std::string& name) {
        const auto r = test::runProcess("/usr/bin/dpkg-deb", {"--field", deb_, name});
        EXPECT_EQ(r.status, 0) << r.err;
        return r.out;
    }

    test::TempDir dir;
    test::TestServer server;
    ShortUrlInterface definition;
    std::string deb_;
    test::ScopedEnv noSettings{"LIANSHUO_SETTINGS", std::nullopt};
};

}  // namespace

TEST_F(InstalledPackage, CarriesTheProjectVersionItsFilesAndTheLibrariesItNeeds) {
    EXPECT_EQ(field("Version"), std::string(kVersion) + "\n");
    const std::string depends = field("Depends");
    for (const char* library : {"libc6", "libstdc++6", "libqt6widgets6", "libpcre2-8-0", "zlib1g",
                                "libsqlite3-0", "libqrencode4", "libcurl4 | libcurl3-gnutls"})
        EXPECT_NE(depends.find(library), std::string::npos) << library << " not in " << depends;
    // The keyring is loaded only when there is one to ask, so libsecret is recommended.
    EXPECT_NE(field("Recommends").find("libsecret-1-0"), std::string::npos);

    const auto r = run({"--version"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "lianshuo " + std::string(kVersion) + "\n");

    const std::string id = LIANSHUO_APP_ID;
    const std::vector<std::string> files = {"usr/share/applications/" + id + ".desktop",
                                            "usr/share/metainfo/" + id + ".metainfo.xml",
                                            "usr/share/man/man1/lianshuo.1",
                                            "usr/share/bash-completion/completions/lianshuo",
                                            "usr/share/icons/hicolor/48x48/apps/" + id + ".png",
                                            "usr/share/icons/hicolor/256x256/apps/" + id + ".png"};
    for (const std::string& file : files) EXPECT_TRUE(fs::is_regular_file(root() / file)) << file;
}

TEST_F(InstalledPackage, ConvertsWithTheSettingsFileThatLianshuoSettingsNames) {
    {
        ControlStateStore store;
        ASSERT_TRUE(store.bindFile(gbkPath(home() / "s.ini")));
        ASSERT_TRUE(saveInterface(definition, store));
        AppSettings app;
        app.service = 0;
        app.interfaceIndex = 0;
        app.saveDir = gbkPath(home() / "out");
        EXPECT_TRUE(saveSettings(store, app));
    }
    test::ScopedEnv settings{"LIANSHUO_SETTINGS", (home() / "s.ini").string()};
    const auto r = run({"convert", "http://a.test/1", "http://a.test/2"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "http://s.test/1\thttp://a.test/1\nhttp://s.test/2\thttp://a.test/2\n");
    EXPECT_EQ(server.requests().size(), 2u);
    ASSERT_TRUE(fs::is_directory(home() / "out"));
    const auto results = fs::directory_iterator(home() / "out");
    ASSERT_NE(results, fs::directory_iterator());
    EXPECT_EQ(test::readFile(results->path()), "http://s.test/1\r\nhttp://s.test/2\r\n");
}

TEST_F(InstalledPackage, KeepsItsSettingsInTheXdgConfigFolder) {
    ASSERT_TRUE(exportInterface(definition, gbkPath(home() / "one.ini")));
    test::ScopedEnv config{"XDG_CONFIG_HOME", (home() / "config").string()};
    test::ScopedEnv userHome{"HOME", home().string()};

    auto r = run({"interfaces", "import", (home() / "one.ini").string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "127.0.0.1\n");
    const fs::path settings = nativePath(gbkPath(home() / "config") + "/蓝棠·链梭/蓝棠·链梭.ini");
    ASSERT_TRUE(fs::is_regular_file(settings));
    // Written by the packaged build: its section names must be GBK bytes, as the window writes.
    EXPECT_NE(test::readFile(settings).find("[短网址选项_127.0.0.1]"), std::string::npos);
    EXPECT_EQ(
        std::distance(fs::directory_iterator(program().parent_path()), fs::directory_iterator()),
        1);

    r = run({"convert", "--service", "custom", "--interface", "127.0.0.1", "--no-save",
             "http://a.test/7"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "http://s.test/7\thttp://a.test/7\n");

    // The results file goes to the XDG data folder, as the program's folder cannot take it.
    test::ScopedEnv data{"XDG_DATA_HOME", (home() / "data").string()};
    r = run({"convert", "--service", "custom", "--interface", "127.0.0.1", "http://a.test/8"});
    EXPECT_EQ(r.status, 0) << r.err;
    const fs::path results = nativePath(gbkPath(home() / "data") + "/蓝棠·链梭/生成目录");
    ASSERT_TRUE(fs::is_directory(results)) << r.err;
    EXPECT_EQ(std::distance(fs::directory_iterator(results), fs::directory_iterator()), 1);

    // Without XDG_CONFIG_HOME, the folder is ~/.config.
    test::ScopedEnv noConfig{"XDG_CONFIG_HOME", std::nullopt};
    r = run({"interfaces", "list"});
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(run({"interfaces", "import", (home() / "one.ini").string()}).status, 0);
    EXPECT_TRUE(
        fs::is_regular_file(nativePath(gbkPath(home()) + "/.config/蓝棠·链梭/蓝棠·链梭.ini")));
}
