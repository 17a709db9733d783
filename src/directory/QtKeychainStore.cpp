// SPDX-License-Identifier: GPL-3.0-or-later
#include "directory/QtKeychainStore.h"

#include <qt6keychain/keychain.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QEventLoop>

namespace
{
// Runs the job to its end; the keyring answers over D-Bus, so events must flow.
QKeychain::Error Run(QKeychain::Job& job, std::u16string& error)
{
    job.setAutoDelete(false);
    QEventLoop loop;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, &QEventLoop::quit);
    job.start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (job.error() != QKeychain::NoError)
    {
        error = (QStringLiteral("the keyring answered: ") + job.errorString()).toStdU16String();
    }
    return job.error();
}
// A locked Secret Service collection reads and deletes as if it were empty when no
// prompt can show; asked, a locked keyring is a failure instead of a missing login.
bool IsSecretServiceLocked(std::u16string& error)
{
    auto call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.secrets"),
        QStringLiteral("/org/freedesktop/secrets/aliases/default"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    call << QStringLiteral("org.freedesktop.Secret.Collection") << QStringLiteral("Locked");
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call);
    const bool locked = reply.type() == QDBusMessage::ReplyMessage &&
                        reply.arguments().value(0).value<QDBusVariant>().variant().toBool();
    if (locked)
    {
        error = u"the keyring is locked";
    }
    return locked;
}
} // namespace

QtKeychainStore::QtKeychainStore(QString service) : m_service(std::move(service)) {}

IPasswordStore::ReadResult QtKeychainStore::Read(const std::u16string& key, std::u16string& secret,
                                                 std::u16string& error)
{
    QKeychain::ReadPasswordJob job(m_service);
    job.setKey(QString::fromStdU16String(key));
    std::u16string failure;
    switch (Run(job, failure))
    {
    case QKeychain::NoError:
        secret = job.textData().toStdU16String();
        return ReadResult::Found;
    case QKeychain::EntryNotFound:
        return IsSecretServiceLocked(error) ? ReadResult::Failed : ReadResult::Missing;
    default:
        error = failure;
        return ReadResult::Failed;
    }
}

bool QtKeychainStore::Write(const std::u16string& key, const std::u16string& secret,
                            std::u16string& error)
{
    QKeychain::WritePasswordJob job(m_service);
    job.setKey(QString::fromStdU16String(key));
    job.setTextData(QString::fromStdU16String(secret));
    return Run(job, error) == QKeychain::NoError;
}

bool QtKeychainStore::Remove(const std::u16string& key, std::u16string& error)
{
    QKeychain::DeletePasswordJob job(m_service);
    job.setKey(QString::fromStdU16String(key));
    const QKeychain::Error result = Run(job, error);
    return result == QKeychain::NoError ||
           (result == QKeychain::EntryNotFound && !IsSecretServiceLocked(error));
}
