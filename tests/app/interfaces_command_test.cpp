// The `interfaces` commands under failing saves (through the platform seam's
// test hook), and with files that are not what they claim.

#include <gtest/gtest.h>

#include <cerrno>
#include <sstream>

#include "base/charset.h"
#include "base/paths.h"
#include "base/platform.h"
#include "cli/commandline.h"
#include "services/interfacestore.h"
#include "store/controlstatestore.h"
#include "support/tempdir.h"

using namespace lianshuo;
using platform::faults::Call;

namespace {

struct Outcome {
    int status = -1;
    std::string out, err;
};

class InterfacesCommand : public ::testing::Test {
protected:
    void SetUp() override {
        platform::faults::reset();
        ControlStateStore store;
        ASSERT_TRUE(store.bindFile(settings()));
        ShortUrlInterface d;
        d.address = "http://a.test/api?u=#长网址#";
        ASSERT_TRUE(saveInterface(d, store));
        saved = test::readFile(dir / "s.ini");
    }
    void TearDown() override { platform::faults::reset(); }

    Outcome run(std::vector<std::string> args) {
        args.insert(args.begin() + 1, {"--settings", settings()});
        std::istringstream in;
        std::ostringstream out, err;
        Outcome r;
        r.status = runCommandLine(args, in, out, err);
        r.out = out.str();
        r.err = err.str();
        return r;
    }
    std::string settings() const { return (dir / "s.ini").string(); }

    test::TempDir dir;
    std::string saved;
};

}  // namespace

TEST_F(InterfacesCommand, DeleteExitsZeroOnlyOnceTheDeletionIsOnDisk) {
    for (const auto& [call, error] : {std::pair{Call::Rename, EROFS}, {Call::Write, ENOSPC}}) {
        platform::faults::failNext(call, error);
        const Outcome r = run({"interfaces", "delete", "a.test"});
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find(toUtf8(platform::errorText(error))), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(settings()), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_EQ(test::readFile(dir / "s.ini"), saved);
    }
    EXPECT_EQ(run({"interfaces", "delete", "a.test"}).status, 0);
    EXPECT_EQ(run({"interfaces", "list"}).out, "");
}

TEST_F(InterfacesCommand, ImportThatCannotBeSavedExitsWithTheReason) {
    ASSERT_EQ(run({"interfaces", "export", "a.test", (dir / "e.ini").string()}).status, 0);
    ASSERT_EQ(run({"interfaces", "delete", "a.test"}).status, 0);
    platform::faults::failNext(Call::Sync, EIO);
    const Outcome r = run({"interfaces", "import", (dir / "e.ini").string()});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find(toUtf8(platform::errorText(EIO))), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
}

TEST_F(InterfacesCommand, ExportWritesAFreshFileOrSaysWhyItCouldNot) {
    const std::string file = (dir / "e.ini").string();
    test::writeFile(dir / "e.ini",
                    "[短网址选项_old.test]\r\n接口地址=http://old.test/\r\n[x]\r\ny=1");
    ASSERT_EQ(run({"interfaces", "export", "a.test", file}).status, 0);
    EXPECT_EQ(test::readFile(dir / "e.ini").find("old.test"), std::string::npos);
    EXPECT_EQ(test::readFile(dir / "e.ini").find("[x]"), std::string::npos);

    const Outcome missing =
        run({"interfaces", "export", "a.test", (dir / "no" / "e.ini").string()});
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find(toUtf8(platform::errorText(ENOENT))), std::string::npos);
    platform::faults::failNext(Call::Write, ENOSPC);
    const Outcome full = run({"interfaces", "export", "a.test", (dir / "full.ini").string()});
    EXPECT_EQ(full.status, 2);
    EXPECT_NE(full.err.find(toUtf8(platform::errorText(ENOSPC))), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir / "full.ini"));
}

TEST_F(InterfacesCommand, ImportRefusesFilesWithoutAnInterfaceOrWithAnInjectedName) {
    test::writeFile(dir / "none.ini", "[other]\r\nk=v");
    // The address's host holds line breaks that would write a section of their own.
    test::writeFile(
        dir / "evil.ini",
        "[短网址选项_x.test]\r\n接口地址=http://x.test┊*┊[内置服务]┊*┊百度主机=evil.test/");
    test::writeFile(dir / "ctrl.ini", "[短网址选项_x\x1btest]\r\n接口地址=http://x.test/");
    for (const char* name : {"none.ini", "evil.ini", "ctrl.ini", "missing.ini"}) {
        const Outcome r = run({"interfaces", "import", (dir / name).string()});
        EXPECT_EQ(r.status, 2) << name;
        EXPECT_NE(r.err.find(toUtf8("无法导入")), std::string::npos) << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "missing.ini"));
    EXPECT_EQ(test::readFile(dir / "s.ini"), saved);
}

TEST_F(InterfacesCommand, ASettingsPathThatIsNotARegularFileIsRefused) {
    std::filesystem::create_directory(dir / "folder");
    for (const std::string& path : {(dir / "folder").string(), std::string("/dev/null")}) {
        std::istringstream in;
        std::ostringstream out, err;
        EXPECT_EQ(runCommandLine({"interfaces", "--settings", path, "list"}, in, out, err), 2);
        EXPECT_NE(err.str().find(path), std::string::npos) << err.str();
    }
}
