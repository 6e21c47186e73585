// lianshuo qr, run as a user runs it: every code it draws is read back by zbarimg.

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "base/charset.h"
#include "base/platform.h"
#include "subprocess.h"
#include "support/qrdecode.h"
#include "support/tempdir.h"

using namespace lianshuo;
namespace fs = std::filesystem;

namespace {

std::vector<fs::path> filesIn(const fs::path& folder) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder)) files.push_back(entry.path());
    return files;
}

}  // namespace

TEST(QrCommand, WritesAPngThatReadsBackAsTheText) {
    test::TempDir dir;
    // Chinese as UTF-8 bytes in the code, and percent escapes kept as they are.
    const std::string address = toUtf8("http://例子.test/路径?q=%E4%BD%A0&r=1");
    auto r = test::runProcess(LIANSHUO_PROGRAM,
                              {"qr", "--png", (dir / "code.png").string(), "--size", "3", address});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    const test::DecodedQr decoded = test::decodeQrImage(dir / "code.png");
    ASSERT_EQ(decoded.status, 0) << "zbarimg read nothing";
    EXPECT_EQ(decoded.text, address);
    EXPECT_EQ(filesIn(dir.path()).size(), 1u);
}

TEST(QrCommand, PrintsHalfBlocksThatReadBackAsTheText) {
    const std::string address = "https://s.example.test/r1";
    const auto r = test::runProcess(LIANSHUO_PROGRAM, {"qr", address});
    ASSERT_EQ(r.status, 0) << r.err;
    // Each character is two modules stacked; the blocks are light, a space dark.
    std::vector<std::vector<bool>> light;  // module rows
    std::size_t at = 0;
    while (at < r.out.size()) {
        std::vector<bool> upper, lower;
        while (at < r.out.size() && r.out[at] != '\n') {
            if (r.out[at] == ' ') {
                upper.push_back(false), lower.push_back(false);
                ++at;
                continue;
            }
            const std::string cell = r.out.substr(at, 3);
            ASSERT_TRUE(cell == "\xE2\x96\x88" || cell == "\xE2\x96\x80" || cell == "\xE2\x96\x84")
                << "not a half block at " << at;
            upper.push_back(cell != "\xE2\x96\x84");
            lower.push_back(cell != "\xE2\x96\x80");
            at += 3;
        }
        ++at;
        light.push_back(upper), light.push_back(lower);
    }
    const int side = static_cast<int>(light.front().size());
    // The quiet zone is there: the code is square, its first rows all light.
    ASSERT_EQ(light.size(), static_cast<std::size_t>(side + 1));
    EXPECT_EQ(light[3], std::vector<bool>(side, true));

    constexpr int kScale = 4;
    std::vector<unsigned char> pixels;
    for (const auto& row : light)
        for (int repeat = 0; repeat < kScale; ++repeat)
            for (const bool module : row) pixels.insert(pixels.end(), kScale, module ? 255 : 0);
    test::TempDir dir;
    test::writePgm(dir / "terminal.pgm", side * kScale, static_cast<int>(light.size()) * kScale,
                   pixels);
    const test::DecodedQr decoded = test::decodeQrImage(dir / "terminal.pgm");
    ASSERT_EQ(decoded.status, 0) << "zbarimg read nothing";
    EXPECT_EQ(decoded.text, address);
}

TEST(QrCommand, RefusesBadUsageAndLeavesNoFileBehind) {
    test::TempDir dir;
    const std::string png = (dir / "code.png").string();
    for (const std::vector<std::string>& args : {std::vector<std::string>{"qr"},
                                                 {"qr", "a", "b"},
                                                 {"qr", "--png", png, "--size", "0", "x"},
                                                 {"qr", "--png", png, "--size", "8px", "x"},
                                                 {"qr", "--png", png, "--size", "65", "x"},
                                                 {"qr", "--size", "4", "x"}}) {
        const auto r = test::runProcess(LIANSHUO_PROGRAM, args);
        EXPECT_EQ(r.status, 2) << args.back() << ": " << r.err;
        EXPECT_NE(r.err.find("lianshuo: "), std::string::npos);
    }

    auto r = test::runProcess(LIANSHUO_PROGRAM, {"qr", "--png", png, std::string(3000, 'a')});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(toUtf8("放不进二维码")), std::string::npos) << r.err;
    EXPECT_TRUE(filesIn(dir.path()).empty());

    // A folder in the file's place: the rename fails, and the copy written beside it goes.
    fs::create_directory(dir / "taken");
    r = test::runProcess(LIANSHUO_PROGRAM, {"qr", "--png", (dir / "taken").string(), "x"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(toUtf8(platform::errorText(EISDIR))), std::string::npos) << r.err;
    EXPECT_EQ(filesIn(dir.path()), std::vector<fs::path>{dir / "taken"});
    r = test::runProcess(LIANSHUO_PROGRAM,
                         {"qr", "--png", (dir / "none" / "code.png").string(), "x"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(toUtf8(platform::errorText(ENOENT))), std::string::npos) << r.err;
}
