// The built program: closed standard streams at start, and two programs
// saving into one settings file at the same time.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "base/paths.h"
#include "services/interfacestore.h"
#include "store/controlstatestore.h"
#include "store/settings.h"
#include "subprocess.h"
#include "support/tempdir.h"
#include "support/test_server.h"

using namespace lianshuo;
namespace fs = std::filesystem;

namespace {

// Runs the program with standard output closed, as `lianshuo ... >&-` does.
int runWithStdoutClosed(const std::vector<std::string>& args) {
    std::vector<char*> argv{const_cast<char*>(LIANSHUO_PROGRAM)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        close(STDOUT_FILENO);
        execv(LIANSHUO_PROGRAM, argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

TEST(Entry, WithStandardOutputClosedNoFileReceivesWhatWasMeantForIt) {
    test::TempDir dir;
    test::TestServer server;
    server.route("/short", [](test::Exchange& e) { e.answer(200, "http://s.test/1"); });
    {
        ControlStateStore store;
        ASSERT_TRUE(store.bindFile(gbkPath(dir / "s.ini")));
        ShortUrlInterface d;
        d.address = server.url("/short?u=#长网址#");
        ASSERT_TRUE(saveInterface(d, store));
        AppSettings app;
        app.service = 0;
        app.interfaceIndex = 0;
        ASSERT_TRUE(saveSettings(store, app));
    }
    const std::string settings = test::readFile(dir / "s.ini");
    // Whatever file is open while the rows are printed (the settings file, the
    // results file) would take the place of the missing standard output.
    EXPECT_EQ(runWithStdoutClosed({"convert", "--settings", (dir / "s.ini").string(), "--save-dir",
                                   (dir / "out").string(), "http://long.test/1"}),
              0);
    ASSERT_TRUE(fs::exists(dir / "out"));
    const fs::directory_iterator files(dir / "out");
    ASSERT_NE(files, fs::directory_iterator());
    EXPECT_EQ(test::readFile(files->path()), "http://s.test/1\r\n");
    EXPECT_EQ(test::readFile(dir / "s.ini"), settings);
}

TEST(Entry, TwoProgramsImportingIntoOneSettingsFileLoseNothing) {
    test::TempDir dir;
    constexpr int kEach = 6;
    for (int i = 0; i < 2 * kEach; ++i) {
        ShortUrlInterface d;
        d.address = "http://s" + std::to_string(i) + ".test/?u=#长网址#";
        ASSERT_TRUE(exportInterface(d, gbkPath(dir / (std::to_string(i) + ".ini"))));
    }
    const std::string settings = (dir / "s.ini").string();
    const auto importer = [&](int first, int* failures) {
        for (int i = first; i < first + kEach; ++i) {
            const test::ProcessResult r =
                test::runProcess(LIANSHUO_PROGRAM, {"interfaces", "--settings", settings, "import",
                                                    (dir / (std::to_string(i) + ".ini")).string()});
            if (r.status != 0) ++*failures;
        }
    };
    int failures[2] = {0, 0};
    std::thread one(importer, 0, &failures[0]);
    std::thread two(importer, kEach, &failures[1]);
    one.join();
    two.join();
    EXPECT_EQ(failures[0] + failures[1], 0);
    ControlStateStore store;
    ASSERT_TRUE(store.bindFile(gbkPath(settings)));
    EXPECT_EQ(listInterfaceNames(store).size(), 2u * kEach);
}
