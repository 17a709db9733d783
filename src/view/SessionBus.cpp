// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/SessionBus.h"

#include <QFileInfo>

bool HasSessionBus()
{
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
    {
        return true;
    }
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus"));
}

QDBusConnection OpenSessionBus(const QString& address, const QString& name)
{
    if (!address.isEmpty())
    {
        return QDBusConnection::connectToBus(address, name);
    }
    return HasSessionBus() ? QDBusConnection::sessionBus() : QDBusConnection(QString());
}
