// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CScreenKeeper.h"

#include "res/ResourceIds.h"
#include "res/StringTable.h"
#include "view/SessionBus.h"
#include "view/ViewerSettings.h"

#include <QAction>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QEvent>
#include <QVariantMap>
#include <QWidget>

#include <array>
#include <utility>

namespace
{
const QString kKeepScreenOnKey = QStringLiteral("KeepScreenOn");
const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kPortalInhibit = QStringLiteral("org.freedesktop.portal.Inhibit");
const QString kPortalRequest = QStringLiteral("org.freedesktop.portal.Request");
constexpr uint kInhibitIdle = 8;
const QString kScreenSaverService = QStringLiteral("org.freedesktop.ScreenSaver");
// Desktops answer at one or the other.
const std::array<QString, 2> kScreenSaverPaths = {QStringLiteral("/org/freedesktop/ScreenSaver"),
                                                  QStringLiteral("/ScreenSaver")};

QString Text(unsigned id)
{
    return QString::fromStdU16String(LoadString(id));
}
} // namespace

CScreenKeeper::CScreenKeeper(QWidget& window, QAction& item, std::function<bool()> isLive,
                             std::filesystem::path settingsFile, const QString& busAddress)
    : QObject(&window), m_window(window), m_item(item), m_isLive(std::move(isLive)),
      m_settingsFile(std::move(settingsFile)),
      m_busName(busAddress.isEmpty() ? QString()
                                     : QStringLiteral("quillon-screen-keeper-%1").arg(busAddress)),
      m_bus(OpenSessionBus(busAddress, m_busName))
{
    m_item.setCheckable(true);
    m_item.setChecked(OpenViewerSettings(m_settingsFile)->value(kKeepScreenOnKey, true).toBool());
    connect(&m_item, &QAction::toggled, this,
            [this](bool on)
            {
                OpenViewerSettings(m_settingsFile)->setValue(kKeepScreenOnKey, on);
                Check();
            });
    m_window.installEventFilter(this);
    // Pictures freeze and come back without telling anyone: looked at on a timer.
    connect(&m_check, &QTimer::timeout, this, [this] { Check(); });
    m_check.start(kCheckInterval);
}

CScreenKeeper::~CScreenKeeper()
{
    Release();
    // libdbus aborts the program when a connection that never came up is closed.
    if (!m_busName.isEmpty() && m_bus.isConnected())
    {
        QDBusConnection::disconnectFromBus(m_busName);
    }
}

bool CScreenKeeper::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &m_window && (event->type() == QEvent::WindowStateChange ||
                                 event->type() == QEvent::Hide || event->type() == QEvent::Show))
    {
        Check();
    }
    return QObject::eventFilter(watched, event);
}

bool CScreenKeeper::IsWanted() const
{
    return m_item.isChecked() && m_window.isVisible() && !m_window.isMinimized() && m_isLive();
}

void CScreenKeeper::Check()
{
    const bool wanted = IsWanted();
    if (!wanted)
    {
        m_bRefused = false;
        Release();
        return;
    }
    if (m_holder == Holder::None && !m_bAsking && !m_bRefused && m_bus.isConnected())
    {
        InhibitThroughPortal();
    }
}

void CScreenKeeper::Call(const QDBusMessage& call,
                         std::function<void(const QDBusMessage&)> answered)
{
    auto* watcher = new QDBusPendingCallWatcher(
        m_bus.asyncCall(call, static_cast<int>(kCallTimeout.count())), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [answered = std::move(answered)](QDBusPendingCallWatcher* done)
            {
                done->deleteLater();
                answered(done->reply());
            });
}

void CScreenKeeper::InhibitThroughPortal()
{
    m_bAsking = true;
    QDBusMessage call =
        QDBusMessage::createMethodCall(kPortalService, kPortalPath, kPortalInhibit, "Inhibit");
    call << QString() << kInhibitIdle
         << QVariantMap{{QStringLiteral("reason"), Text(IDS_KEEP_SCREEN_ON_REASON)}};
    Call(call,
         [this](const QDBusMessage& reply)
         {
             if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
             {
                 InhibitThroughScreenSaver(0);
                 return;
             }
             m_bAsking = false;
             m_holder = Holder::Portal;
             m_portalRequest = qvariant_cast<QDBusObjectPath>(reply.arguments().first());
             // What changed while the call was out decides whether it stays.
             Check();
         });
}

void CScreenKeeper::InhibitThroughScreenSaver(size_t path)
{
    if (path >= kScreenSaverPaths.size())
    {
        m_bAsking = false;
        m_bRefused = true;
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kScreenSaverService, kScreenSaverPaths[path],
                                                       kScreenSaverService, "Inhibit");
    call << Text(IDS_APP_TITLE) << Text(IDS_KEEP_SCREEN_ON_REASON);
    Call(call,
         [this, path](const QDBusMessage& reply)
         {
             if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
             {
                 InhibitThroughScreenSaver(path + 1);
                 return;
             }
             m_bAsking = false;
             m_holder = Holder::ScreenSaver;
             m_screenSaverPath = kScreenSaverPaths[path];
             m_nCookie = reply.arguments().first().toUInt();
             Check();
         });
}

// Sent without waiting for an answer: letting go cannot fail in a way we could mend.
void CScreenKeeper::Release()
{
    switch (std::exchange(m_holder, Holder::None))
    {
    case Holder::None:
        return;
    case Holder::Portal:
        m_bus.send(QDBusMessage::createMethodCall(kPortalService, m_portalRequest.path(),
                                                  kPortalRequest, "Close"));
        break;
    case Holder::ScreenSaver:
    {
        QDBusMessage call = QDBusMessage::createMethodCall(kScreenSaverService, m_screenSaverPath,
                                                           kScreenSaverService, "UnInhibit");
        call << m_nCookie;
        m_bus.send(call);
        break;
    }
    }
}
