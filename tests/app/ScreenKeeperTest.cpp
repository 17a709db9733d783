// SPDX-License-Identifier: GPL-3.0-or-later
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
using Holder = CScreenKeeper::Holder;

namespace
{
// A desktop's service that keeps the screen on: the portal's Inhibit, let go by
// closing its request, or the screen saver's, let go by handing its cookie back.
class FakeInhibitor final : public QDBusVirtualObject
{
public:
    FakeInhibitor(Holder kind, const QString& busAddress, const QString& path)
        : m_kind(kind), m_name("fake" + path + busAddress),
          m_bus(QDBusConnection::connectToBus(busAddress, m_name))
    {
        m_bus.registerVirtualObject(path, this, QDBusConnection::SubPath);
        m_bus.registerService(kind == Holder::Portal ? "org.freedesktop.portal.Desktop"
                                                     : "org.freedesktop.ScreenSaver");
    }
    ~FakeInhibitor() override { QDBusConnection::disconnectFromBus(m_name); }

    int asked = 0;
    std::set<QString> held;
    QString reason;

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        const QList<QVariant> args = message.arguments();
        const bool portal = m_kind == Holder::Portal;
        QVariant answer;
        if (message.member() == "Inhibit" && args.size() == (portal ? 3 : 2))
        {
            const QString handle = QStringLiteral("/org/freedesktop/portal/desktop/request/q/%1");
            held.insert(portal ? handle.arg(++asked) : QString::number(++asked));
            EXPECT_EQ(portal ? args[1] : args[0], portal ? QVariant(8u) : QVariant("Quillon"));
            reason = portal ? qdbus_cast<QVariantMap>(args[2]).value("reason").toString()
                            : args[1].toString();
            answer = portal ? QVariant::fromValue(QDBusObjectPath(*held.rbegin()))
                            : QVariant(uint(asked));
        }
        else if (portal && message.member() == "Close")
        {
            held.erase(message.path());
        }
        else if (!portal && message.member() == "UnInhibit" && args.size() == 1)
        {
            held.erase(QString::number(args[0].toUInt()));
        }
        else
        {
            return false;
        }
        connection.send(answer.isValid() ? message.createReply(answer) : message.createReply());
        return true;
    }

private:
    const Holder m_kind;
    const QString m_name;
    QDBusConnection m_bus;
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
    Holder HeldBy() { return m_app->GetScreenKeeper()->GetHolder(); }
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
    m_timeouts.watchdog = 30s; // a stalled stream stays connected while its picture freezes
    StartOnBus(m_bus.Address());
    EXPECT_TRUE(Item(ID_KEEP_SCREEN_ON).isChecked());
    // Neither service on the bus: nothing held, nothing said.
    ConnectAndWatch();
    Linger();
    EXPECT_EQ(HeldBy(), Holder::None);
    EXPECT_TRUE(m_driver.BoxTexts().isEmpty());

    FakeInhibitor portal(Holder::Portal, m_bus.Address(), "/org/freedesktop/portal/desktop");
    FakeInhibitor saver(Holder::ScreenSaver, m_bus.Address(), "/org/freedesktop/ScreenSaver");
    const auto held = [&] { return portal.held.size() == 1 && HeldBy() == Holder::Portal; };
    const auto released = [&] { return portal.held.empty() && HeldBy() == Holder::None; };
    // Minimised it lets go; shown again it asks again, now of the portal.
    Frame().showMinimized();
    Linger();
    Frame().showNormal();
    ASSERT_TRUE(ProcessEventsUntil(held));
    EXPECT_EQ(portal.reason, "Live pictures from a DVR are on screen");
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
    ConnectAndWatch();
    ASSERT_TRUE(ProcessEventsUntil(held));
    Item(ID_DISCONNECT).trigger();
    ASSERT_TRUE(ProcessEventsUntil(released));
    ConnectAndWatch();
    ASSERT_TRUE(ProcessEventsUntil(held));

    // The DVR goes away: "Can't connect the DVR.", and the screen may sleep.
    m_dvr.reset();
    ASSERT_TRUE(ProcessEventsUntil(released, 10000));
    EXPECT_EQ(saver.asked, 0);
}

TEST_F(ScreenKeeperTest, WithoutThePortalTheScreenSaverKeepsTheWallOnUntilTheEnd)
{
    // Only at the older path, which the keeper tries second.
    FakeInhibitor saver(Holder::ScreenSaver, m_bus.Address(), "/ScreenSaver");
    StartOnBus(m_bus.Address());
    m_app->GetWallSwitcher()->ShowWall(2, {u"Gate", u"127.0.0.1", Port(), 0, u"ADMIN", u"1234"});
    ASSERT_TRUE(ProcessEventsUntil(
        [&] { return saver.held.size() == 1 && HeldBy() == Holder::ScreenSaver; }, 10000));
    EXPECT_EQ(saver.reason, "Live pictures from a DVR are on screen");
    m_app.reset();
    EXPECT_TRUE(ProcessEventsUntil([&] { return saver.held.empty(); }));
    EXPECT_EQ(saver.asked, 1);

    // No bus at all: the viewer runs as ever.
    StartOnBus(QStringLiteral("unix:path=/nonexistent/bus"));
    ConnectAndWatch();
    Linger();
    EXPECT_EQ(HeldBy(), Holder::None);
    EXPECT_TRUE(View().IsPictureLive());
}
