// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QString>

// Whether this session has a bus: without one, libdbus would start a bus of its own,
// and there would be no desktop to talk to on it.
bool HasSessionBus();
// The bus at `address` under `name` (tests bring their own), or else the session bus when
// there is one; otherwise a connection that is not connected.
QDBusConnection OpenSessionBus(const QString& address, const QString& name);
