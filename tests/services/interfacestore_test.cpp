#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "base/platform.h"
#include "services/interfacestore.h"
#include "storefile.h"

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

class InterfaceStore : public test::StoreFile {};

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
    EXPECT_TRUE(saveInterface(sample("http://a.test/one"), store));
    EXPECT_TRUE(saveInterface(sample("https://b.test/x"), store));
    ShortUrlInterface second = sample("https://A.test:81/two");
    second.postMode = false;
    EXPECT_TRUE(saveInterface(second, store));
    EXPECT_EQ(listInterfaceNames(store), (std::vector<std::string>{"a.test", "b.test"}));
    EXPECT_EQ(loadInterface("a.test", store), second);
}

TEST_F(InterfaceStore, MissingInterfaceReadsAsEmptyGetGbk) {
    EXPECT_EQ(loadInterface("nothing.test", store), ShortUrlInterface{});
}

TEST_F(InterfaceStore, DeleteOneAndDeleteAllLeaveOtherSectionsAlone) {
    store.selectSection("基本配置");
    EXPECT_TRUE(store.writeNumber("短网址索引", 0));
    EXPECT_TRUE(saveInterface(sample("http://a.test/"), store));
    EXPECT_TRUE(saveInterface(sample("http://b.test/"), store));
    EXPECT_TRUE(saveInterface(sample("http://c.test/"), store));
    EXPECT_TRUE(deleteInterface("b.test", store));
    EXPECT_EQ(listInterfaceNames(store), (std::vector<std::string>{"a.test", "c.test"}));
    EXPECT_TRUE(deleteAllInterfaces(store));
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

TEST_F(InterfaceStore, NamesThatWouldWriteLinesOrSectionsOfTheirOwnAreRefused) {
    store.selectSection("基本配置");
    ASSERT_TRUE(store.writeText("百度Token", "secret"));
    const std::string before = disk();
    for (const char* address :
         {"http://a.test\r\n[内置服务]\r\n百度主机=evil.test/", "http://a.test\n[x]/",
          "http://[::1]:8080/", "http://a\x1b.test/"}) {
        SCOPED_TRACE(address);
        const Status saved = saveInterface(sample(address), store);
        EXPECT_FALSE(saved);
        EXPECT_NE(saved.reason().find("接口名称"), std::string::npos);
        EXPECT_FALSE(exportInterface(sample(address), (dir / "e.ini").string()));
    }
    EXPECT_EQ(disk(), before);
    EXPECT_FALSE(std::filesystem::exists(dir / "e.ini"));
    EXPECT_TRUE(checkInterfaceName("s.example.test:8080"));
    EXPECT_TRUE(checkInterfaceName("短.网址"));
}

TEST_F(InterfaceStore, AddressesThatWouldAddRequestHeadersAreRefused) {
    const std::string before = disk();
    const ShortUrlInterface injected =
        sample("http://a.test/s?u=#长网址# HTTP/1.1\r\nX-Evil: 1\r\n");
    const Status saved = saveInterface(injected, store);
    EXPECT_FALSE(saved);
    EXPECT_NE(saved.reason().find("接口地址"), std::string::npos);
    EXPECT_EQ(disk(), before);
    // An export file carrying one (its value written with the store's line-break marker) is refused
    // too.
    ControlStateStore other;
    ASSERT_TRUE(other.bindFile((dir / "crafted.ini").string()));
    other.selectSection("短网址选项_a.test");
    ASSERT_TRUE(other.writeText("接口地址", "http://a.test/s\r\nX-Evil: 1"));
    const auto imported = importInterface((dir / "crafted.ini").string());
    EXPECT_FALSE(imported);
    EXPECT_TRUE(checkInterfaceAddress("http://a.test/s?u=#长网址#&k=1"));
}

TEST_F(InterfaceStore, ValuesWithLoneLineBreaksStayOnTheirLine) {
    ShortUrlInterface d = sample("http://a.test/");
    d.postTemplate = "a\nb";
    d.prefix = "x\r[基本配置]";
    ASSERT_TRUE(saveInterface(d, store));
    EXPECT_EQ(store.listSections(), std::vector<std::string>{"短网址选项_a.test"});
    EXPECT_NE(disk().find("POST数据=a┊*┊b\r\n"), std::string::npos);
    EXPECT_NE(disk().find("前缀=x┊*┊[基本配置]\r\n"), std::string::npos);
    const ShortUrlInterface loaded = loadInterface("a.test", store);
    EXPECT_EQ(loaded.postTemplate, "a\r\nb");
    EXPECT_EQ(loaded.prefix, "x\r\n[基本配置]");
}

TEST_F(InterfaceStore, SavingAnInterfaceIsOneSaveAndSavingItUnchangedIsNone) {
    using platform::faults::Call;
    platform::faults::reset();
    ASSERT_TRUE(saveInterface(sample("http://a.test/"), store));
    EXPECT_EQ(platform::faults::count(Call::Sync), 1);
    EXPECT_EQ(platform::faults::count(Call::Rename), 1);
    platform::faults::reset();
    ASSERT_TRUE(saveInterface(sample("http://a.test/"), store));
    EXPECT_EQ(platform::faults::count(Call::Sync), 0);
    EXPECT_EQ(platform::faults::count(Call::Rename), 0);
    platform::faults::reset();
    ASSERT_TRUE(deleteAllInterfaces(store));
    EXPECT_EQ(platform::faults::count(Call::Rename), 1);
}

TEST_F(InterfaceStore, ExportReplacesTheFileWithOneHoldingOnlyTheInterface) {
    ASSERT_TRUE(saveInterface(sample("http://a.test/"), store));
    const std::string file = (dir / "e.ini").string();
    test::writeFile(dir / "e.ini",
                    "[短网址选项_old.test]\r\n接口地址=http://old.test/\r\n[x]\r\ny=1");
    ASSERT_TRUE(exportInterface(sample("http://a.test/"), file));
    EXPECT_EQ(test::readFile(dir / "e.ini"), disk());

    platform::faults::failNext(platform::faults::Call::Write, ENOSPC);
    const Status full = exportInterface(sample("http://b.test/"), file);
    EXPECT_EQ(full.reason(), platform::errorText(ENOSPC));
    EXPECT_EQ(test::readFile(dir / "e.ini"), disk());
    std::filesystem::create_directory(dir / "folder");
    EXPECT_FALSE(exportInterface(sample("http://b.test/"), (dir / "folder").string()));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "folder"));
}

TEST_F(InterfaceStore, ImportNeverCreatesOrLocksTheFileItReadsAndNeedsAnInterface) {
    EXPECT_EQ(importInterface((dir / "missing.ini").string()).code(), ENOENT);
    EXPECT_FALSE(std::filesystem::exists(dir / "missing.ini"));

    test::writeFile(dir / "none.ini", "[other]\r\nk=v");
    EXPECT_FALSE(importInterface((dir / "none.ini").string()));

    const std::filesystem::path file = dir / "one.ini";
    ASSERT_TRUE(exportInterface(sample("http://a.test/"), file.string()));
    ASSERT_TRUE(importInterface(file.string()));
}
