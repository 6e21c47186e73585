// Tokens in a real Secret Service: keyring_session.sh starts one on a session
// bus of its own and runs this program inside it.

#include <gtest/gtest.h>

#include <cstdlib>

#include "cli_fixture.h"
#include "store/inicontent.h"

using namespace lianshuo;
using test::CommandLine;
using test::utf8;

TEST_F(CommandLine, TokenFromStandardInputLivesInTheKeyringAndConverts) {
    const char* bus = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    ASSERT_TRUE(bus && *bus) << "run through tests/cli/keyring_session.sh";
    serveTokenCheck("kr-secret");
    auto r = run({"interfaces", "add", "--name", "k", "--address", tokenAddress(), "--token", "-"},
                 "kr-secret\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const std::string file = test::readFile(settings());
    EXPECT_EQ(ini::readRaw(file, "短网址选项_k", "令牌存储"), "钥匙串");
    EXPECT_EQ(ini::readRaw(file, "短网址选项_k", "令牌").value_or(""), "");
    EXPECT_EQ(file.find("kr-secret"), std::string::npos);
    EXPECT_EQ(run({"interfaces", "show", "k"}).out.find("kr-secret"), std::string::npos);

    const std::string exported = (dir / "k.ini").string();
    ASSERT_EQ(run({"interfaces", "export", "k", exported, "--with-token"}).status, 0);
    EXPECT_EQ(ini::readRaw(test::readFile(exported), "短网址选项_k", "令牌"), "kr-secret");

    r = run({"convert", "--no-save", "--service", "custom", "--interface", "k", "http://a.test/1"});
    EXPECT_EQ(r.out, "http://s.test/1\thttp://a.test/1\n") << r.err;

    // Deleting the interface deletes its entry: the same section written again finds none.
    ASSERT_EQ(run({"interfaces", "delete", "k"}).status, 0);
    test::writeFile(dir / "s.ini", file);
    r = run({"convert", "--no-save", "--service", "custom", "--interface", "k", "http://a.test/2"});
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find(utf8("钥匙串中没有该接口的令牌")), std::string::npos) << r.err;
}
