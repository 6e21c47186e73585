#include <gtest/gtest.h>

#include "services/interfacestore.h"
#include "store/controlstatestore.h"
#include "support/tempdir.h"

using namespace lianshuo;

namespace {

ShortUrlInterface sample(const std::string& address) {
    ShortUrlInterface d;
    d.postMode = true;
    d.utf8Encoding = false;
    d.address = address;
    d.postTemplate = "a=1\r\nurl=#长网址#";
    d.cutEnabled = true;
    d.leftMarker = "{\"url\":\"";
    d.rightMarker = "\"";
    d.reverseCut = false;
    d.replaceEnabled = true;
    d.findList = "\\/|x";
    d.replaceList = "/";
    d.insertEnabled = false;
    d.prefix = "前";
    d.suffix = "";
    return d;
}

class InterfaceStore : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(store.bindFile((dir / "s.ini").string())); }
    std::string disk() const { return test::readFile(dir / "s.ini"); }
    test::TempDir dir;
    ControlStateStore store;
};

}  // namespace

TEST_F(InterfaceStore, SavesTheFourteenKeysUnderTheHostByteForByte) {
    ASSERT_TRUE(saveInterface(sample("HTTP://S.Example.test:8080/api?u=#长网址#"), store));
    EXPECT_EQ(disk(),
              "[短网址选项_s.example.test]\r\n后缀=\r\n前缀=前\r\n插入=假\r\n替换为=/\r\n"
              "欲替换=\\/|x\r\n替换=真\r\n右边字符=\"\r\n左边字符={\"url\":\"\r\n逆向截取=假\r\n"
              "截取=真\r\n接口地址=HTTP://S.Example.test:8080/api?u=#长网址#\r\n"
              "POST数据=a=1┊*┊url=#长网址#\r\nURL编码=0\r\n调用模式=1");
    const ShortUrlInterface loaded = loadInterface("s.example.test", store);
    EXPECT_EQ(loaded, sample("HTTP://S.Example.test:8080/api?u=#长网址#"));
}

TEST_F(InterfaceStore, ASecondAddressOnTheSameHostReplacesTheFirst) {
    saveInterface(sample("http://a.test/one"), store);
    saveInterface(sample("https://b.test/x"), store);
    ShortUrlInterface second = sample("https://A.test:81/two");
    second.postMode = false;
    saveInterface(second, store);
    EXPECT_EQ(listInterfaceNames(store), (std::vector<std::string>{"a.test", "b.test"}));
    EXPECT_EQ(loadInterface("a.test", store), second);
}

TEST_F(InterfaceStore, MissingInterfaceReadsAsEmptyGetGbk) {
    EXPECT_EQ(loadInterface("nothing.test", store), ShortUrlInterface{});
}

TEST_F(InterfaceStore, DeleteOneAndDeleteAllLeaveOtherSectionsAlone) {
    store.selectSection("基本配置");
    store.writeNumber("短网址索引", 0);
    saveInterface(sample("http://a.test/"), store);
    saveInterface(sample("http://b.test/"), store);
    saveInterface(sample("http://c.test/"), store);
    deleteInterface("b.test", store);
    EXPECT_EQ(listInterfaceNames(store), (std::vector<std::string>{"a.test", "c.test"}));
    deleteAllInterfaces(store);
    EXPECT_TRUE(listInterfaceNames(store).empty());
    EXPECT_EQ(disk(), "[基本配置]\r\n短网址索引=0\r\n");
}

TEST_F(InterfaceStore, ExportThenImportRoundTripsAndImportTakesTheFirstSection) {
    const std::string file = (dir / "export.ini").string();
    ASSERT_TRUE(exportInterface(sample("http://first.test/"), file));
    std::string name;
    const Result<ShortUrlInterface> imported = importInterface(file, &name);
    ASSERT_TRUE(imported) << imported.reason();
    EXPECT_EQ(*imported, sample("http://first.test/"));
    EXPECT_EQ(name, "first.test");

    test::writeFile(dir / "two.ini",
                    "[other]\r\nk=v\r\n[短网址选项_a.test]\r\n接口地址=http://a.test/\r\n"
                    "[短网址选项_b.test]\r\n接口地址=http://b.test/");
    EXPECT_EQ(importInterface((dir / "two.ini").string(), &name)->address, "http://a.test/");
    EXPECT_EQ(name, "a.test");
}
