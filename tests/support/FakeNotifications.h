// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include <vector>

inline const QString kFakeNotificationsPath = QStringLiteral("/org/freedesktop/Notifications");
inline const QString kFakeNotificationsInterface = QStringLiteral("org.freedesktop.Notifications");

// The desktop's notification service: keeps what it was asked to show, answers with
// ids of its own, and sends the signals of a click and of a close.
class FakeNotifications final : public QDBusVirtualObject
{
public:
    struct Shown
    {
        uint id;
        QString app;
        QString summary;
        QStringList actions;
        QVariantMap hints;
    };

    explicit FakeNotifications(const QString& busAddress)
        : m_name("fake-notifications" + busAddress),
          m_bus(QDBusConnection::connectToBus(busAddress, m_name))
    {
        m_bus.registerVirtualObject(kFakeNotificationsPath, this);
        m_bus.registerService(kFakeNotificationsInterface);
    }
    ~FakeNotifications() override { QDBusConnection::disconnectFromBus(m_name); }

    std::vector<Shown> shown;

    void Emit(const QString& name, const QList<QVariant>& arguments)
    {
        QDBusMessage signal =
            QDBusMessage::createSignal(kFakeNotificationsPath, kFakeNotificationsInterface, name);
        signal.setArguments(arguments);
        m_bus.send(signal);
    }

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        const QList<QVariant> args = message.arguments();
        if (message.member() != "Notify" || args.size() != 8)
        {
            return false;
        }
        const uint id = 100 + static_cast<uint>(shown.size());
        shown.push_back({id, args[0].toString(), args[3].toString(), args[5].toStringList(),
                         qdbus_cast<QVariantMap>(args[6])});
        connection.send(message.createReply(QVariant(id)));
        return true;
    }

private:
    const QString m_name;
    QDBusConnection m_bus;
};
