// Tokens in the keyring: what the settings file holds then, what a read gets
// back, and a keyring that refuses or lost one.

#include <gtest/gtest.h>

#include "services/interfacestore.h"
#include "store/inicontent.h"
#include "store/sectionsecrets.h"
#include "store/settings.h"
#include "storefile.h"
#include "support/fake_secretstore.h"

using namespace lianshuo;

namespace {

class KeyringSecrets : public test::StoreFile {
protected:
    std::optional<std::string> raw(std::string_view section, std::string_view key) const {
        return ini::readRaw(disk(), section, key);
    }
    test::FakeSecretStore keyring;
};

}  // namespace

TEST_F(KeyringSecrets, InterfaceTokenMovesToTheKeyringAndStaysInTheFileWhenRefused) {
    ShortUrlInterface d;
    d.address = "http://a.test/?u=#长网址#&t=#令牌#";
    d.token = "abc";
    std::string notice;
    ASSERT_TRUE(saveInterface(d, store, &notice));
    EXPECT_EQ(notice, "");
    EXPECT_EQ(raw("短网址选项_a.test", "令牌存储"), "钥匙串");
    EXPECT_EQ(raw("短网址选项_a.test", "令牌"), std::nullopt);
    EXPECT_EQ(disk().find("abc"), std::string::npos);
    EXPECT_EQ(keyring.secrets.at(
                  test::FakeSecretStore::keyOf(secretNameIn(store, "短网址选项_a.test", "令牌"))),
              "abc");

    ShortUrlInterface loaded = loadInterface("a.test", store);
    EXPECT_TRUE(loaded.secretsInKeyring);
    ASSERT_TRUE(fetchInterfaceSecrets("a.test", loaded, store));
    EXPECT_EQ(loaded.token, "abc");

    // Saved as read, without the token fetched: the keyring keeps it.
    ShortUrlInterface unread = loadInterface("a.test", store);
    unread.prefix = "p";
    ASSERT_TRUE(saveInterface(unread, store));
    EXPECT_EQ(raw("短网址选项_a.test", "令牌存储"), "钥匙串");

    keyring.refuse = true;
    d.token = "xyz";
    ASSERT_TRUE(saveInterface(d, store, &notice));
    EXPECT_EQ(notice, "令牌未能存入钥匙串，仍保存在配置文件中：钥匙串拒绝了");
    EXPECT_EQ(raw("短网址选项_a.test", "令牌"), "xyz");
    EXPECT_EQ(raw("短网址选项_a.test", "令牌存储"), std::nullopt);

    // Deleting an interface held in the keyring deletes its entry.
    keyring.refuse = false;
    ASSERT_TRUE(saveInterface(d, store));
    ASSERT_EQ(keyring.secrets.size(), 1u);
    ASSERT_TRUE(deleteInterface("a.test", store));
    EXPECT_TRUE(keyring.secrets.empty());
}

TEST_F(KeyringSecrets, BaiduTokenLeavesItsKeyEmptyAndAMissingOneFailsClearly) {
    AppSettings app;
    app.baiduToken = "bd-1";
    ASSERT_TRUE(saveSettings(store, app));
    EXPECT_EQ(raw("基本配置", "百度Token"), "");
    EXPECT_EQ(raw("基本配置", "令牌存储"), "钥匙串");

    AppSettings read;
    loadSettings(store, read);
    EXPECT_EQ(read.baiduToken, "");
    ASSERT_TRUE(fetchBaiduToken(store, read));
    EXPECT_EQ(read.baiduToken, "bd-1");

    keyring.secrets.clear();
    AppSettings lost;
    loadSettings(store, lost);
    EXPECT_EQ(fetchBaiduToken(store, lost).reason(), "钥匙串中没有百度Token");
    // Saving what could not be read leaves the file pointing at the keyring.
    ASSERT_TRUE(saveSettings(store, lost));
    EXPECT_EQ(raw("基本配置", "令牌存储"), "钥匙串");
}

TEST_F(KeyringSecrets, CredentialsGoWhereTheTokenGoesAndAnOlderEntryWithoutThemStillReads) {
    ShortUrlInterface d;
    d.address = "http://a.test/?u=#长网址#&t=#令牌#";
    d.token = "abc";
    ASSERT_TRUE(saveInterface(d, store));
    // Saved before credentials existed: the keyring holds the token alone.
    ShortUrlInterface older = loadInterface("a.test", store);
    ASSERT_TRUE(fetchInterfaceSecrets("a.test", older, store));
    EXPECT_EQ(older.token, "abc");
    EXPECT_EQ(older.password, "");

    d.username = "ann";
    d.password = "pa55";
    ASSERT_TRUE(saveInterface(d, store));
    EXPECT_EQ(raw("短网址选项_a.test", "用户名"), std::nullopt);
    EXPECT_EQ(disk().find("pa55"), std::string::npos);
    ShortUrlInterface loaded = loadInterface("a.test", store);
    ASSERT_TRUE(fetchInterfaceSecrets("a.test", loaded, store));
    EXPECT_EQ(loaded, d);

    // A password taken away leaves the keyring too, and does not come back.
    d.password.clear();
    ASSERT_TRUE(saveInterface(d, store));
    loaded = loadInterface("a.test", store);
    ASSERT_TRUE(fetchInterfaceSecrets("a.test", loaded, store));
    EXPECT_EQ(loaded.password, "");
    EXPECT_EQ(keyring.secrets.size(), 2u);
}
