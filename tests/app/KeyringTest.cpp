#include "support/ViewerFixture.h"

#include "directory/QtKeychainStore.h"
#include "directory/StoredPasswords.h"
#include "support/FakePasswordStore.h"

namespace
{
class KeyringTest : public ViewerFixture
{
protected:
    std::u16string Directory()
    {
        return u"Gate,127.0.0.1," + Port() + u",0,ADMIN,1234\nYard,10.0.0.9,80,1,guest,pw\n";
    }
    std::string FileBytes() { return ReadBytes(DirectoryFile()); }
    bool KeyringSays(const std::u16string& key, const std::u16string& secret)
    {
        QtKeychainStore keyring;
        std::u16string found, error;
        const auto result = keyring.Read(key, found, error);
        return secret.empty() ? result == IPasswordStore::ReadResult::Missing
                              : result == IPasswordStore::ReadResult::Found && found == secret;
    }
};
} // namespace

TEST_F(KeyringTest, LoginsMoveIntoTheRealKeyringConnectUsesThemAndOffBringsThemBack)
{
    StartViewer(Directory());
    const std::string before = FileBytes();
    QAction& item = Item(ID_KEEP_PASSWORDS_IN_KEYRING);
    EXPECT_FALSE(item.isChecked());
    item.trigger();
    EXPECT_TRUE(item.isChecked());
    EXPECT_EQ(FileBytes(), Utf16Le(u"Gate,127.0.0.1," + Port() + u",0\nYard,10.0.0.9,80,1\n"));
    const std::u16string gate = u"Gate,127.0.0.1," + Port() + u",0";
    EXPECT_TRUE(KeyringSays(gate, u"ADMIN,1234"));
    EXPECT_TRUE(KeyringSays(u"Yard,10.0.0.9,80,1", u"guest,pw"));

    ConnectToRow(0);
    ASSERT_TRUE(ProcessEventsUntil([&] { return View().GetClient().IsLoggedIn(); }));
    EXPECT_EQ(FileBytes(), Utf16Le(u"Gate,127.0.0.1," + Port() + u",0\nYard,10.0.0.9,80,1\n"));

    item.trigger();
    EXPECT_FALSE(item.isChecked());
    EXPECT_EQ(FileBytes(), before);
    EXPECT_TRUE(KeyringSays(gate, u""));
    EXPECT_TRUE(m_driver.BoxTexts().isEmpty()) << m_driver.BoxTexts().join("; ").toStdString();
}

TEST_F(KeyringTest, AKeyringThatRefusesLeavesTheFileTheKeyringAndTheItemAsTheyWere)
{
    FakePasswordStore store;
    store.writesLeft = 1; // the second login is refused: the first goes out again
    AppSettings settings;
    settings.passwordStore = &store;
    StartViewer(Directory(), settings);
    const std::string before = FileBytes();
    QAction& item = Item(ID_KEEP_PASSWORDS_IN_KEYRING);
    item.trigger();
    EXPECT_FALSE(item.isChecked());
    EXPECT_EQ(FileBytes(), before);
    EXPECT_TRUE(store.items.empty());
    EXPECT_EQ(m_driver.BoxTexts().size(), 1);
    EXPECT_TRUE(m_driver.BoxTexts().join("").contains("could not be moved into the keyring"));

    store.writesLeft = 1000;
    item.trigger();
    ASSERT_TRUE(item.isChecked());
    const std::string moved = FileBytes();
    store.refuse = true;
    item.trigger();
    EXPECT_TRUE(item.isChecked());
    EXPECT_EQ(FileBytes(), moved);
    EXPECT_EQ(store.items.size(), 2u);
    EXPECT_TRUE(m_driver.BoxTexts().join("").contains("could not be moved out of the keyring"));
}
