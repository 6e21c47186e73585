#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <thread>

#include "../services/fakeservices.h"
#include "base/paths.h"
#include "base/platform.h"
#include "jobs/fileconverter.h"
#include "jobs/fileconvertersettings.h"
#include "jobs/scanahead.h"
#include "services/shorturlconverter.h"
#include "store/controlstatestore.h"
#include "support/recording_views.h"
#include "support/tempdir.h"
#include "support/test_server.h"

using namespace lianshuo;
using namespace std::string_literals;
namespace fs = std::filesystem;

namespace {

// Short addresses "http://s.test/N" numbered in the order asked; "bad" addresses fail.
class ConverterFixture : public ::testing::Test {
protected:
    void SetUp() override {
        server.route("/short", [this](test::Exchange& e) {
            if (e.request().target.find("bad") != std::string::npos) return (void)e.answer(200, "");
            // An address that takes its time: a stop is sure to find it under way.
            if (e.request().target.find("slow") != std::string::npos)
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
            e.answer(200, "http://s.test/" + std::to_string(++count));
        });
        source.panel.address = server.url("/short?u=#长网址#");
        view.input = defaultFileConverterSettings();
        view.input.folder = gbkPath(dir.path());
        view.input.whiteListOn = false;
    }
    void write(const std::string& name, const std::string& bytes) {
        test::writeFile(dir / name, bytes);
    }
    // Names with Chinese in them are GBK here, so they go through nativePath.
    fs::path outputPath(const std::string& name) const {
        return nativePath(gbkPath(dir.path()) + "/处理结果/" + name);
    }
    std::string output(const std::string& name) { return test::readFile(outputPath(name)); }
    void run(bool bySearch = false) {
        ShortUrlConverter converter(source, defaultBuiltinHosts());
        FileConverterEngine engine(view, converter);
        engine.startOrStopConversion(bySearch);
        outcome = engine.outcome();
    }

    test::TempDir dir;
    test::TestServer server;
    test::FakeSource source;
    test::RecordingFileView view;
    int count = 0;
    FileConverterEngine::Outcome outcome = FileConverterEngine::Outcome::None;
};

}  // namespace

TEST_F(ConverterFixture, RewritesCopiesByteForByteAndNeverTouchesTheSources) {
    const std::string gbk = "\xD6\xD0http://a.test/1\xCE\xC4 \"http://a.test/1\"\r\nend";
    const std::string utf8Bom = "\xEF\xBB\xBF<a href='http://a.test/2'>\xE4\xB8\xAD</a>\r\n";
    const std::string zero = "x http://a.test/3 \0 y http://a.test/3"s;
    write("gbk.htm", gbk);
    write("bom.htm", utf8Bom);
    write("zero.htm", zero);
    view.input.pattern = "*.htm";
    run();
    EXPECT_EQ(outcome, FileConverterEngine::Outcome::Finished);
    EXPECT_EQ(test::readFile(dir / "gbk.htm"), gbk);
    EXPECT_EQ(test::readFile(dir / "bom.htm"), utf8Bom);
    // Files are taken in name order: bom, gbk, zero.
    EXPECT_EQ(output("bom.htm"), "\xEF\xBB\xBF<a href='http://s.test/1'>\xE4\xB8\xAD</a>\r\n");
    EXPECT_EQ(output("gbk.htm"), "\xD6\xD0http://s.test/2\xCE\xC4 \"http://s.test/2\"\r\nend");
    EXPECT_EQ(output("zero.htm"), "x http://s.test/3 \0 y http://s.test/3"s);
    EXPECT_EQ(count, 3);  // each distinct address once per file
    EXPECT_EQ(view.summary.outputFolder, gbkPath(dir.path()) + "/处理结果/");
    EXPECT_EQ(view.caption, FileConverterEngine::idleCaption());
}

TEST_F(ConverterFixture, DistinctAddressesAndThePrefixCase) {
    write("a.htm", "http://a.test/x http://A.test/x http://a.test/x http://a.test/xyz");
    run();
    EXPECT_EQ(view.converted, (std::vector<std::string>{"http://a.test/x", "http://A.test/x",
                                                        "http://a.test/xyz"}));
    EXPECT_EQ(output("a.htm"), "http://s.test/1 http://s.test/2 http://s.test/1 http://s.test/3");
}

TEST_F(ConverterFixture, AddedParametersGoToTheServiceAndTheShortAddressReplacesTheOriginal) {
    write("a.htm", "<a href=\"http://a.test/x#top\">http://a.test/y?utm_source=own</a>");
    view.added = "utm_source=news";
    run();
    EXPECT_EQ(view.converted, (std::vector<std::string>{"http://a.test/x?utm_source=news#top",
                                                        "http://a.test/y?utm_source=own"}));
    EXPECT_NE(server.requests()[0].target.find("utm_source%3Dnews%23top"), std::string::npos);
    EXPECT_EQ(output("a.htm"), "<a href=\"http://s.test/1\">http://s.test/2</a>");
}

TEST_F(ConverterFixture, PausesComeBetweenConversionsAcrossFilesAndNeverAfterTheLast) {
    write("a.htm", "http://a.test/1 http://a.test/2");
    write("b.htm", "http://a.test/3");
    write("c.htm", "no address here");
    run();
    EXPECT_EQ(output("b.htm"), "http://s.test/3");
    // After 1, after 2 (before 3 in the next file), and none after 3: the run is over.
    EXPECT_EQ(view.pausesAsked, 2);
}

TEST_F(ConverterFixture, WhiteAndBlackListsInBothModes) {
    write("a.htm",
          "http://keep.test/1 http://other.test/2 http://keep.test/x.js http://also.test/3");
    view.input.whiteListOn = true;
    view.input.whiteList = "keep.test|also.*";
    view.input.blackListOn = true;
    view.input.blackList = "*.js|*.css";
    run();
    EXPECT_EQ(view.converted,
              (std::vector<std::string>{"http://keep.test/1", "http://also.test/3"}));

    view.converted.clear();
    view.input.whiteListMode = ListMode::RegularExpression;
    view.input.whiteList = "^http://(keep|other)\\.test/\\d$";
    view.input.blackListMode = ListMode::RegularExpression;
    view.input.blackList = "other";
    run();
    EXPECT_EQ(view.converted, std::vector<std::string>{"http://keep.test/1"});
}

TEST_F(ConverterFixture, AListExpressionThatRunsTooLongFailsItsFileOnly) {
    // Backtracks at every start position: minutes for this one address.
    write("a.htm", "http://a.test/" + std::string(128 * 1024, 'a') + " http://a.test/1");
    write("b.htm", "http://a.test/2");
    view.input.whiteListOn = true;
    view.input.whiteListMode = ListMode::RegularExpression;
    view.input.whiteList = "^http://a\\.test/\\d$|a{0,2000}a{0,2000}[^a]";
    run();
    EXPECT_EQ(output("b.htm"), "http://s.test/1");
    EXPECT_FALSE(fs::exists(outputPath("a.htm")));
    ASSERT_EQ(view.failedFiles.size(), 1u);
    EXPECT_EQ(
        view.failedFiles[0].rfind("a.htm: 网址白名单的正则表达式匹配超时：http://a.test/aaa", 0),
        0u);
    EXPECT_EQ(view.summary.filesFailed, 1);
}

TEST_F(ConverterFixture, AnInvalidRegularExpressionStopsBeforeAnythingIsWritten) {
    write("a.htm", "http://a.test/1");
    view.input.whiteListOn = true;
    view.input.whiteListMode = ListMode::RegularExpression;
    view.input.whiteList = "(unclosed";
    run();
    EXPECT_EQ(outcome, FileConverterEngine::Outcome::InvalidList);
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0],
              "网址白名单的规则不是有效的正则表达式：missing closing parenthesis at offset 9");
    EXPECT_FALSE(fs::exists(outputPath("")));
    EXPECT_EQ(server.requests().size(), 0u);
}

TEST_F(ConverterFixture, ListingByPatternAndBySearch) {
    write("a.htm", "");
    write("b.html", "");
    write("c.txt", "");
    write("d.ini", "");
    write("e.txt.bak", "");
    fs::create_directory(dir / "sub.htm");
    view.input.pattern = "*.htm";
    run();
    EXPECT_EQ(view.progress, (std::vector<std::string>{"(2:1)a", "(2:2)b"}));  // .html too

    view.progress.clear();
    view.input.pattern = "*.txt|*.ini";
    run();
    EXPECT_EQ(view.progress, (std::vector<std::string>{"(3:1)c", "(3:2)d", "(3:3)e.txt"}));
    view.progress.clear();
    run(true);  // the search lists the parts one after the other, exact masks only
    EXPECT_EQ(view.progress, (std::vector<std::string>{"(2:1)c", "(2:2)d"}));

    view.progress.clear();
    view.input.pattern = "*.TXT";
    run();
    EXPECT_EQ(view.progress, std::vector<std::string>{"(1:1)c"});
}

TEST_F(ConverterFixture, NoMatchingFileSaysSoAndCreatesNothing) {
    view.input.pattern = "*.none";
    run();
    EXPECT_EQ(outcome, FileConverterEngine::Outcome::NoFiles);
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0],
              "在这个目录下‘" + view.input.folder + "’找不到‘*.none’类型的文件！");
    EXPECT_FALSE(fs::exists(outputPath("")));
}

TEST_F(ConverterFixture, AStopMidFileWritesTheReplacementsMadeSoFar) {
    write("a.htm", "http://a.test/1 http://a.test/2 http://a.test/slow");
    write("b.htm", "http://a.test/4");
    ShortUrlConverter converter(source, defaultBuiltinHosts());
    FileConverterEngine engine(view, converter);
    view.onConverted = [&] {
        if (view.converted.size() == 2) engine.startOrStopConversion(false);  // the second press
    };
    engine.startOrStopConversion(false);
    EXPECT_EQ(output("a.htm"), "http://s.test/1 http://s.test/2 http://a.test/slow");
    EXPECT_FALSE(fs::exists(outputPath("b.htm")));
    EXPECT_EQ(view.summary.outputFolder,
              gbkPath(dir.path()) + "/处理结果/");  // the run still ends normally
}

TEST_F(ConverterFixture, FailedConversionsLeaveTheAddressAlone) {
    write("a.htm", "http://a.test/bad http://a.test/good");
    run();
    EXPECT_EQ(view.failedUrls, std::vector<std::string>{"http://a.test/bad"});
    EXPECT_EQ(output("a.htm"), "http://a.test/bad http://s.test/1");
}

TEST(FileConverterText, ProgressCaptionAndSettingsSection) {
    EXPECT_EQ(FileConverterEngine::progressCaption(3, 12, "/x/y/index.htm"), "(12:3)index");
    test::TempDir dir;
    ControlStateStore store;
    ASSERT_TRUE(store.bindFile((dir / "s.ini").string()));
    FileConverterSettings s = defaultFileConverterSettings();
    loadFileConverterSettings(store, s);
    EXPECT_EQ(s.pattern, "*.htm");
    EXPECT_TRUE(s.whiteListOn);
    EXPECT_FALSE(s.blackListOn);
    s.whiteListOn = false;
    s.blackListMode = ListMode::RegularExpression;
    s.folder = "/data";
    EXPECT_TRUE(saveFileConverterSettings(store, s));
    EXPECT_EQ(
        test::readFile(dir / "s.ini"),
        "[文件短网址转换器]\r\n过滤=*.htm\r\n文章目录=/data\r\n黑名单模式=1\r\n白名单模式=0\r\n"
        "黑名单=*.js|*.css|*.jpg|*.png|*.gif\r\n选择框黑名单=假\r\n白名单=s.click.taobao.com\r\n"
        "选择框白名单=假");
    FileConverterSettings again = defaultFileConverterSettings();
    loadFileConverterSettings(store, again);
    EXPECT_FALSE(again.whiteListOn);
    EXPECT_EQ(again.blackListMode, ListMode::RegularExpression);
    EXPECT_EQ(again.folder, "/data");
}

TEST_F(ConverterFixture, FilesThatVanishOrCannotBeWrittenAreCountedAndTheRunGoesOn) {
    write("a.htm", "http://a.test/1");
    write("b.htm", "http://a.test/2 http://a.test/bad");
    write("c.htm", "http://a.test/3");
    // The output name of c.htm is taken by a folder, so its copy cannot be written.
    fs::create_directories(outputPath("c.htm"));
    // b.htm disappears between the listing and its turn.
    view.onProgress = [this](const std::string& caption) {
        if (caption.find("(3:2)") == 0) fs::remove(dir / "b.htm");
    };
    run();
    EXPECT_EQ(outcome, FileConverterEngine::Outcome::Finished);
    EXPECT_EQ(output("a.htm"), "http://s.test/1");
    EXPECT_FALSE(fs::exists(outputPath("b.htm")));  // never an empty copy
    EXPECT_EQ(view.summary.filesWritten, 1);
    EXPECT_EQ(view.summary.filesFailed, 2);
    ASSERT_EQ(view.failedFiles.size(), 2u);
    EXPECT_EQ(view.failedFiles[0].rfind("b.htm: 无法读取：", 0), 0u) << view.failedFiles[0];
    EXPECT_EQ(view.failedFiles[1].rfind("c.htm: 无法写入：", 0), 0u) << view.failedFiles[1];
}

TEST_F(ConverterFixture, AFolderThatCannotBeListedIsAnErrorNotAnEmptyFolder) {
    write("plain.txt", "x");
    view.input.folder = gbkPath(dir / "plain.txt");
    run();
    EXPECT_EQ(outcome, FileConverterEngine::Outcome::FolderUnreadable);
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].rfind("无法读取目录", 0), 0u);
}

TEST_F(ConverterFixture, FailedAddressesStayAsTheyAreAndSayWhy) {
    write("a.htm", "http://a.test/bad http://a.test/ok");
    run();
    EXPECT_EQ(output("a.htm"), "http://a.test/bad http://s.test/1");
    ASSERT_EQ(view.reasons.size(), 1u);
    EXPECT_EQ(view.reasons[0].rfind("回复中找不到短网址", 0), 0u) << view.reasons[0];
    EXPECT_EQ(view.summary.failed, 1);
    EXPECT_EQ(view.summary.converted, 1);
}

TEST_F(ConverterFixture, AFileThatFailsToReadAheadIsReportedWithTheReasonAndNotWritten) {
    write("a.htm", "http://a.test/1");
    platform::faults::reset();
    // The only read of the run is the one made ahead, on the scanning thread.
    platform::faults::failNext(platform::faults::Call::Read, EIO);
    run();
    platform::faults::reset();
    EXPECT_EQ(view.summary.filesFailed, 1);
    EXPECT_EQ(view.summary.filesWritten, 0);
    ASSERT_EQ(view.failedFiles.size(), 1u);
    EXPECT_EQ(view.failedFiles[0], "a.htm: 无法读取：" + platform::errorText(EIO));
    EXPECT_TRUE(fs::is_empty(outputPath("")));
}

TEST_F(ConverterFixture, AFileSwappedForAPipeBeforeItIsOpenedIsSkippedWithTheReason) {
    write("a.htm", "http://a.test/1");
    write("b.htm", "b");
    const fs::path pipe = dir / "a.htm";
    setScanAheadLimit(0);  // a.htm is opened by the job, after its progress shows
    view.onProgress = [&pipe](const std::string& caption) {
        if (caption.rfind("(2:1)", 0) != 0) return;
        fs::remove(pipe);
        ASSERT_EQ(mkfifo(pipe.c_str(), 0644), 0);
    };
    // Should an open wait for a writer, writers come after a while: the test fails, not hangs.
    std::atomic<bool> done = false;
    std::thread rescue([&] {
        for (int tick = 0; !done; ++tick) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            if (tick >= 100) ::close(::open(pipe.c_str(), O_WRONLY | O_NONBLOCK));
        }
    });
    run();
    done = true;
    rescue.join();
    setScanAheadLimit(4u << 20);
    ASSERT_EQ(view.failedFiles.size(), 1u);
    EXPECT_EQ(view.failedFiles[0].rfind("a.htm: 无法读取：", 0), 0u) << view.failedFiles[0];
    EXPECT_EQ(view.summary.filesWritten, 1);
    EXPECT_FALSE(fs::exists(outputPath("a.htm")));
}

TEST_F(ConverterFixture, ReadAndWriteFaultsFailOnlyTheirFileAndLeaveNoPartialCopy) {
    using platform::faults::Call;
    write("a.htm", "http://a.test/1");
    write("b.htm", "http://a.test/2");
    write("c.htm", "http://a.test/3");
    write("d.htm", "http://a.test/4");
    platform::faults::reset();
    setScanAheadLimit(0);  // the next read is the file's own, not one made ahead
    // a: the read fails midway (EIO); b: the disk is full; c: the rename fails; d is fine.
    view.onProgress = [](const std::string& caption) {
        if (caption.rfind("(4:1)", 0) == 0) platform::faults::failNext(Call::Read, EIO);
        if (caption.rfind("(4:2)", 0) == 0) platform::faults::failNext(Call::Write, ENOSPC);
        if (caption.rfind("(4:3)", 0) == 0) platform::faults::failNext(Call::Rename, EROFS);
    };
    run();
    platform::faults::reset();
    setScanAheadLimit(4u << 20);
    EXPECT_EQ(view.summary.filesFailed, 3);
    EXPECT_EQ(view.summary.filesWritten, 1);
    ASSERT_EQ(view.failedFiles.size(), 3u);
    EXPECT_EQ(view.failedFiles[0].rfind("a.htm: 无法读取：", 0), 0u) << view.failedFiles[0];
    EXPECT_EQ(view.failedFiles[1].rfind("b.htm: 无法写入：", 0), 0u) << view.failedFiles[1];
    EXPECT_EQ(view.failedFiles[2].rfind("c.htm: 无法写入：", 0), 0u) << view.failedFiles[2];
    EXPECT_EQ(output("d.htm"), "http://s.test/3");
    // Nothing half-written and no temporary file is left behind.
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(outputPath("")))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"d.htm"});
}
