// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/ViewerFixture.h"

#include "directory/CConnectDlg.h"
#include "directory/DirectoryEntries.h"
#include "directory/QtKeychainStore.h"
#include "directory/StoredPasswords.h"
#include "platform/MessageBoxSeam.h"
#include "platform/QtMessageBox.h"
#include "support/FakePasswordStore.h"
#include "support/FileSystemFaults.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QPushButton>

namespace
{
// The Secret Service's secret, as its Unlock and Create calls take it.
struct ServiceSecret
{
    QDBusObjectPath session;
    QByteArray parameters;
    QByteArray value;
    QString contentType;
};

QDBusArgument& operator<<(QDBusArgument& out, const ServiceSecret& secret)
{
    out.beginStructure();
    out << secret.session << secret.parameters << secret.value << secret.contentType;
    out.endStructure();
    return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, ServiceSecret& secret)
{
    in.beginStructure();
    in >> secret.session >> secret.parameters >> secret.value >> secret.contentType;
    in.endStructure();
    return in;
}

QDBusMessage CallSecretService(const QString& interface, const QString& method,
                               const QList<QVariant>& arguments)
{
    auto call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.secrets"),
                                               QStringLiteral("/org/freedesktop/secrets"),
                                               interface, method);
    call.setArguments(arguments);
    return QDBusConnection::sessionBus().call(call);
}

const QString kService = QStringLiteral("org.freedesktop.Secret.Service");

QDBusObjectPath DefaultCollection()
{
    return CallSecretService(kService, QStringLiteral("ReadAlias"), {QStringLiteral("default")})
        .arguments()
        .value(0)
        .value<QDBusObjectPath>();
}

// As the desktop does when the screen locks or the user locks the keyring.
bool LockKeyring()
{
    return CallSecretService(kService, QStringLiteral("Lock"),
                             {QVariant::fromValue(QList<QDBusObjectPath>{DefaultCollection()})})
               .type() == QDBusMessage::ReplyMessage;
}

// With the password WithSecretService.sh gave it: there is no prompt without a display.
bool UnlockKeyring()
{
    qDBusRegisterMetaType<ServiceSecret>();
    const QDBusMessage session =
        CallSecretService(kService, QStringLiteral("OpenSession"),
                          {QStringLiteral("plain"), QVariant::fromValue(QDBusVariant(QString()))});
    const ServiceSecret password{session.arguments().value(1).value<QDBusObjectPath>(),
                                 {},
                                 "quillon-test",
                                 QStringLiteral("text/plain")};
    return CallSecretService(
               QStringLiteral("org.gnome.keyring.InternalUnsupportedGuiltRiddenInterface"),
               QStringLiteral("UnlockWithMasterPassword"),
               {QVariant::fromValue(DefaultCollection()), QVariant::fromValue(password)})
               .type() == QDBusMessage::ReplyMessage;
}

// The real keyring, locked after so many writes.
class LockingKeyring final : public IPasswordStore
{
public:
    explicit LockingKeyring(int writesBeforeLock) : m_writesBeforeLock(writesBeforeLock) {}
    ReadResult Read(const std::u16string& key, std::u16string& secret,
                    std::u16string& error) override
    {
        return m_keyring.Read(key, secret, error);
    }
    bool Write(const std::u16string& key, const std::u16string& secret,
               std::u16string& error) override
    {
        if (m_writesBeforeLock-- == 0)
        {
            EXPECT_TRUE(LockKeyring());
        }
        return m_keyring.Write(key, secret, error);
    }
    bool Remove(const std::u16string& key, std::u16string& error) override
    {
        return m_keyring.Remove(key, error);
    }

private:
    QtKeychainStore m_keyring;
    int m_writesBeforeLock;
};

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

// An added DVR's login goes into the real keyring; a save that fails, or a keyring
// that locks while Connect DVR saves, leaves the file, and what the keyring held, as
// they were, and the box says what the locked keyring kept.
TEST_F(KeyringTest, TheRealKeyringTakesAddedLoginsAndFailedOrLockedSavesLeaveBothAsTheyWere)
{
    QtKeychainStore keyring;
    std::u16string error;
    ASSERT_TRUE(keyring.Write(u"Yard,10.0.0.7,82,1", u"old,old", error));
    const auto file = DirectoryFile();
    WriteBytes(file, Utf16Le(u"Home,10.0.0.6,81,0\n"));
    QString told;
    const PasswordReader typed = [](std::u16string& password)
    { return password = u"s3cret", true; };
    ASSERT_EQ(AddDirectoryEntry(file, u"Shop,127.0.0.1,9,0,admin", told, &keyring, typed),
              AddEntryResult::Added)
        << told.toStdString();
    EXPECT_EQ(FileBytes(), Utf16Le(u"Home,10.0.0.6,81,0\nShop,127.0.0.1,9,0\n"));
    EXPECT_TRUE(KeyringSays(u"Shop,127.0.0.1,9,0", u"admin,s3cret"));

    WriteBytes(file, Utf16Le(u"Yard,10.0.0.7,82,1,guest,pw\nBarn,10.0.0.8,83,0,farmer,hay\n"));
    std::string before = FileBytes();
    {
        const FileSizeLimit full(8);
        EXPECT_FALSE(MoveFileLoginsIntoStore(file, keyring, error));
    }
    EXPECT_EQ(FileBytes(), before);
    EXPECT_TRUE(KeyringSays(u"Yard,10.0.0.7,82,1", u"old,old"));
    EXPECT_TRUE(KeyringSays(u"Barn,10.0.0.8,83,0", u""));

    ASSERT_TRUE(keyring.Write(u"Home,10.0.0.6,81,0", u"USER_1,pw12", error));
    WriteBytes(file, Utf16Le(u"Home,10.0.0.6,81,0\nYard,10.0.0.7,82,1,guest,pw\n"
                             u"Barn,10.0.0.8,83,0,farmer,hay\n"));
    before = FileBytes();
    MessageBoxSeam seam;
    QtMessageBox messages;
    LockingKeyring locking(1);
    CConnectDlg dialog(file, messages, nullptr, {}, &locking);
    dialog.show();
    QTest::mouseClick(FindControl<QPushButton>(dialog, IDC_CONNECT_CANCEL), Qt::LeftButton);
    EXPECT_TRUE(dialog.isVisible());
    ASSERT_EQ(seam.ShownTexts().size(), 1u);
    const std::u16string box = seam.ShownTexts()[0];
    EXPECT_TRUE(box.starts_with(u"The DVR list could not be saved.\n") &&
                box.find(u"could not be put back") != std::u16string::npos)
        << QString::fromStdU16String(box).toStdString();
    EXPECT_EQ(FileBytes(), before);
    // Locked, the keyring reads as refusing, not as empty.
    std::u16string secret;
    EXPECT_EQ(keyring.Read(u"Home,10.0.0.6,81,0", secret, error),
              IPasswordStore::ReadResult::Failed);

    ASSERT_TRUE(UnlockKeyring());
    EXPECT_TRUE(KeyringSays(u"Home,10.0.0.6,81,0", u"USER_1,pw12"));
    EXPECT_TRUE(KeyringSays(u"Yard,10.0.0.7,82,1", u"guest,pw")); // written before the lock
    EXPECT_TRUE(KeyringSays(u"Barn,10.0.0.8,83,0", u""));
    QTest::mouseClick(FindControl<QPushButton>(dialog, IDC_CONNECT_CANCEL), Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(FileBytes(),
              Utf16Le(u"Home,10.0.0.6,81,0\nYard,10.0.0.7,82,1\nBarn,10.0.0.8,83,0\n"));
    EXPECT_TRUE(KeyringSays(u"Yard,10.0.0.7,82,1", u"guest,pw"));
    EXPECT_TRUE(KeyringSays(u"Barn,10.0.0.8,83,0", u"farmer,hay"));
}
