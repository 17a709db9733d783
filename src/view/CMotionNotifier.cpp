// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/CMotionNotifier.h"

#include "directory/DvrEntry.h"
#include "res/ResourceIds.h"
#include "res/StringTable.h"
#include "res/Version.h"
#include "view/SessionBus.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

namespace
{
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
// The action a click on the notification's body invokes.
const QString kDefaultAction = QStringLiteral("default");
constexpr int kCallTimeoutMs = 5000;

QString Text(unsigned id)
{
    return QString::fromStdU16String(LoadString(id));
}
} // namespace

CMotionNotifier::CMotionNotifier(std::function<void(const Camera&)> open, const QString& busAddress,
                                 std::function<Clock::time_point()> now, QObject* parent)
    : QObject(parent), m_open(std::move(open)), m_now(std::move(now)),
      m_busName(busAddress.isEmpty()
                    ? QString()
                    : QStringLiteral("quillon-motion-notifier-%1").arg(busAddress)),
      m_bus(OpenSessionBus(busAddress, m_busName))
{
    if (m_bus.isConnected())
    {
        m_bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                      SLOT(OnActionInvoked(uint, QString)));
        m_bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                      SLOT(OnNotificationClosed(uint, uint)));
    }
}

CMotionNotifier::~CMotionNotifier()
{
    // libdbus aborts the program when a connection that never came up is closed.
    if (!m_busName.isEmpty() && m_bus.isConnected())
    {
        QDBusConnection::disconnectFromBus(m_busName);
    }
}

void CMotionNotifier::SetEnabled(bool on)
{
    m_bEnabled = on;
}

bool CMotionNotifier::OnMotion(const Camera& camera)
{
    if (!m_bEnabled || !m_bus.isConnected())
    {
        return false;
    }
    const Clock::time_point now = m_now();
    const auto last = m_lastAsked.find(camera);
    if (last != m_lastAsked.end() && now - last->second < kQuietTime)
    {
        return false;
    }
    m_lastAsked[camera] = now;

    const QString name = QString::fromStdU16String(camera.entryName) + QLatin1Char(' ') +
                         QString::fromStdU16String(ChannelLabel(camera.channel));
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, "Notify");
    // The desktop entry lets the desktop group these with the program and raise it.
    call << Text(IDS_APP_TITLE) << uint(0) << QStringLiteral("quillon")
         << Text(IDS_MOTION_ON).arg(name) << QString()
         << QStringList{kDefaultAction, Text(IDS_MOTION_OPEN)}
         << QVariantMap{{QStringLiteral("desktop-entry"), QStringLiteral(QUILLON_APP_ID)}}
         << int(-1);
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, camera, now](QDBusPendingCallWatcher* done)
            {
                done->deleteLater();
                const QDBusPendingReply<uint> reply = *done;
                if (reply.isValid())
                {
                    m_shown[reply.value()] = camera;
                    return;
                }
                // Nothing showed, so the next motion may try again.
                const auto asked = m_lastAsked.find(camera);
                if (asked != m_lastAsked.end() && asked->second == now)
                {
                    m_lastAsked.erase(asked);
                }
            });
    return true;
}

void CMotionNotifier::OnActionInvoked(uint id, const QString& action)
{
    const auto shown = m_shown.find(id);
    if (shown == m_shown.end() || action != kDefaultAction)
    {
        return;
    }
    const Camera camera = shown->second;
    m_open(camera);
}

void CMotionNotifier::OnNotificationClosed(uint id, uint)
{
    m_shown.erase(id);
}
