#include "support/PrivateSessionBus.h"
#include "support/ViewerFixture.h"

#include "app/CScreenKeeper.h"
#include "view/ViewerSettings.h"
#include "wall/CWallSwitcher.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>

#include <set>

using namespace std::chrono_literals;

namespace
{
// A desktop's service that keeps the screen on, as the bus shows it: the portal's
// Inhibit with a request to close, or the screen saver's with a cookie to hand back.
class FakeInhibitor final : public QDBusVirtualObject
{
public:
    enum class Kind
    {
        Portal,
        ScreenSaver,
    };

    FakeInhibitor(Kind kind, const QString& busAddress, const QString& path)
        : m_kind(kind), m_name(QStringLiteral("fake-%1-%2").arg(path, busAddress)),
          m_bus(QDBusConnection::connectToBus(busAddress, m_name))
    {
        m_bus.registerVirtualObject(path, this, QDBusConnection::SubPath);
        m_bus.registerService(kind == Kind::Portal ? "org.freedesktop.portal.Desktop"
                                                   : "org.freedesktop.ScreenSaver");
    }
    ~FakeInhibitor() override { QDBusConnection::disconnectFromBus(m_name); }
    bool IsOnTheBus() const { return m_bus.isConnected(); }

    int Asked() const { return m_nAsked; }
    int Held() const { return static_cast<int>(m_held.size()); }
    QString Reason() const { return m_reason; }

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        const QList<QVariant> args = message.arguments();
        if (m_kind == Kind::Portal && message.member() == "Inhibit" && args.size() == 3)
        {
            ++m_nAsked;
            EXPECT_EQ(args[1].toUInt(), 8u); // idle
            m_reason = qdbus_cast<QVariantMap>(args[2]).value("reason").toString();
            const QString handle =
                QStringLiteral("/org/freedesktop/portal/desktop/request/q/%1").arg(m_nAsked);
            m_held.insert(handle);
            connection.send(message.createReply(QVariant::fromValue(QDBusObjectPath(handle))));
            return true;
        }
        if (m_kind == Kind::Portal && message.interface() == "org.freedesktop.portal.Request" &&
            message.member() == "Close")
        {
            m_held.erase(message.path());
            connection.send(message.createReply());
            return true;
        }
        if (m_kind == Kind::ScreenSaver && message.member() == "Inhibit" && args.size() == 2)
        {
            ++m_nAsked;
            EXPECT_EQ(args[0].toString(), "Quillon");
            m_reason = args[1].toString();
            m_held.insert(QString::number(100 + m_nAsked));
            connection.send(message.createReply(QVariant::fromValue(uint(100 + m_nAsked))));
            return true;
        }
        if (m_kind == Kind::ScreenSaver && message.member() == "UnInhibit" && args.size() == 1)
        {
            m_held.erase(QString::number(args[0].toUInt()));
            connection.send(message.createReply());
            return true;
        }
        return false;
    }

private:
    const Kind m_kind;
    const QString m_name;
    QDBusConnection m_bus;
    int m_nAsked = 0;
    std::set<QString> m_held;
    QString m_reason;
};

class ScreenKeeperTest : public ViewerFixture
{
protected:
    void StartOnBus(const QString& address)
    {
        AppSettings settings;
        settings.sessionBusAddress = address;
        StartViewer(u"Gate,127.0.0.1," + Port() + u",0,ADMIN,1234\n", settings);
    }
    void ConnectAndWatch()
    {
        ConnectToRow(0);
        ASSERT_TRUE(ProcessEventsUntil([&] { return View().GetPaintedPictures() > 0; }));
    }
    CScreenKeeper::Holder Holder() { return m_app->GetScreenKeeper()->GetHolder(); }
    // What does not happen is watched for a few of the keeper's checks.
    static void Linger()
    {
        ProcessEventsUntil([] { return false; }, 4 * 500);
    }

    PrivateSessionBus m_bus;
};
} // namespace

TEST_F(ScreenKeeperTest, ThePortalKeepsTheScreenOnWhilePicturesAreLiveAndOnScreen)
{
    ASSERT_FALSE(m_bus.Address().isEmpty());
    FakeInhibitor portal(FakeInhibitor::Kind::Portal, m_bus.Address(),
                         "/org/freedesktop/portal/desktop");
    FakeInhibitor saver(FakeInhibitor::Kind::ScreenSaver, m_bus.Address(),
                        "/org/freedesktop/ScreenSaver");
    ASSERT_TRUE(portal.IsOnTheBus() && saver.IsOnTheBus());
    m_timeouts.watchdog = 30s; // a stalled stream stays connected while its picture freezes
    StartOnBus(m_bus.Address());
    EXPECT_TRUE(Item(ID_KEEP_SCREEN_ON).isChecked());
    Linger();
    EXPECT_EQ(portal.Asked(), 0);
    const auto held = [&]
    { return portal.Held() == 1 && Holder() == CScreenKeeper::Holder::Portal; };
    const auto released = [&]
    { return portal.Held() == 0 && Holder() == CScreenKeeper::Holder::None; };

    ConnectAndWatch();
    ASSERT_TRUE(ProcessEventsUntil(held));
    EXPECT_EQ(portal.Reason(), "Live pictures from a DVR are on screen");

    Frame().showMinimized();
    ASSERT_TRUE(ProcessEventsUntil(released));
    Frame().showNormal();
    ASSERT_TRUE(ProcessEventsUntil(held));

    // Off, it lets go and the choice is kept; on again, it holds again.
    Item(ID_KEEP_SCREEN_ON).trigger();
    ASSERT_TRUE(ProcessEventsUntil(released));
    EXPECT_FALSE(OpenViewerSettings(SettingsFile())->value("KeepScreenOn").toBool());
    Item(ID_KEEP_SCREEN_ON).trigger();
    ASSERT_TRUE(ProcessEventsUntil(held));

    // A frozen picture is not a live one, though the connection stands.
    m_dvr->SetFramesPerSecond(0.01);
    ASSERT_TRUE(ProcessEventsUntil(released, 10000));
    EXPECT_TRUE(View().GetClient().IsLoggedIn());

    Item(ID_DISCONNECT).trigger();
    m_dvr->SetFramesPerSecond(25);
    Linger();
    EXPECT_TRUE(released());
    ConnectAndWatch();
    ASSERT_TRUE(ProcessEventsUntil(held));
    Item(ID_DISCONNECT).trigger();
    ASSERT_TRUE(ProcessEventsUntil(released));
    ConnectAndWatch();
    ASSERT_TRUE(ProcessEventsUntil(held));

    // The DVR goes away: "Can't connect the DVR.", and the screen may sleep.
    m_dvr.reset();
    ASSERT_TRUE(ProcessEventsUntil(released, 10000));
    EXPECT_EQ(saver.Asked(), 0);
}

TEST_F(ScreenKeeperTest, WithoutThePortalTheScreenSaverKeepsTheWallOnUntilTheEnd)
{
    // Only at the older path, which the keeper tries second.
    FakeInhibitor saver(FakeInhibitor::Kind::ScreenSaver, m_bus.Address(), "/ScreenSaver");
    StartOnBus(m_bus.Address());
    m_app->GetWallSwitcher()->ShowWall(
        2, DvrEntry{u"Gate", u"127.0.0.1", Port(), 0, u"ADMIN", u"1234"});
    ASSERT_TRUE(ProcessEventsUntil(
        [&] { return saver.Held() == 1 && Holder() == CScreenKeeper::Holder::ScreenSaver; },
        10000));
    EXPECT_EQ(saver.Reason(), "Live pictures from a DVR are on screen");

    m_app.reset();
    EXPECT_TRUE(ProcessEventsUntil([&] { return saver.Held() == 0; }));
    EXPECT_EQ(saver.Asked(), 1);
}

TEST_F(ScreenKeeperTest, NoServiceAndNoBusHoldNothingAndStopNothing)
{
    for (const QString& address : {m_bus.Address(), QStringLiteral("unix:path=/nonexistent/bus")})
    {
        StartOnBus(address);
        ConnectAndWatch();
        Linger();
        EXPECT_EQ(Holder(), CScreenKeeper::Holder::None);
        EXPECT_TRUE(m_driver.BoxTexts().isEmpty());
        EXPECT_TRUE(View().IsPictureLive());
        m_app.reset();
    }
}
