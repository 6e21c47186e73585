#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

#include "store/controlstatestore.h"
#include "support/tempdir.h"

using namespace lianshuo;

namespace {

std::string padding(int i) {
    return std::string(static_cast<std::size_t>(i * 37 % 3000), 'x') + "#" + std::to_string(i);
}

[[noreturn]] void writeForever(const std::string& path) {
    ControlStateStore store;
    if (!store.bindFile(path)) _exit(3);
    store.selectSection("s");
    // Go on from what the last writer left, so that every state stays one the
    // checker knows: pad(i - 1) or pad(i) beside a = i.
    const int last = static_cast<int>(store.readNumber("a", 0));
    if (last > 0 && !store.writeText("pad", padding(last))) _exit(4);
    for (int i = last + 1;; ++i)
        if (!store.writeNumber("a", i) || !store.writeText("pad", padding(i))) _exit(4);
}

// Every state a whole file can be in while the writer runs.
bool isCommittedState(const std::string& bytes) {
    if (bytes.empty() || bytes == "[s]\r\na=1") return true;
    const std::size_t a = bytes.rfind("\r\na=");
    if (a == std::string::npos) return false;
    const int i = std::atoi(bytes.c_str() + a + 4);
    for (int j : {i - 1, i}) {
        if (j >= 1 && bytes == "[s]\r\npad=" + padding(j) + "\r\na=" + std::to_string(i))
            return true;
    }
    return false;
}

}  // namespace

TEST(StoreCrashSafety, AKilledWriterAlwaysLeavesAWholeCommittedFile) {
    test::TempDir dir;
    const std::string path = (dir / "crash.ini").string();
    std::mt19937 random(12345);
    int states = 0;
    for (int round = 0; round < 25; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) writeForever(path);
        std::this_thread::sleep_for(std::chrono::microseconds(2000 + random() % 30000));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer could not bind the file";
        const std::string bytes = test::readFile(dir / "crash.ini");
        ASSERT_TRUE(isCommittedState(bytes))
            << "torn file after round " << round << ": " << bytes.substr(0, 80);
        // The next writer goes on from what the last one left.
        states += !bytes.empty();
    }
    EXPECT_GT(states, 0);
}
