// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/CMotionNotifier.h"

#include "support/FakeNotifications.h"
#include "support/PrivateSessionBus.h"
#include "support/QtTestApplication.h"
#include "support/TempFolder.h"

#include <vector>

using namespace std::chrono_literals;
using Camera = CMotionNotifier::Camera;

namespace
{
class MotionNotifierTest : public testing::Test
{
protected:
    MotionNotifierTest() { TestApplication(); }

    std::unique_ptr<CMotionNotifier> MakeNotifier(const QString& address)
    {
        return std::make_unique<CMotionNotifier>([this](const Camera& camera)
                                                 { opened.push_back(camera); },
                                                 address, [this] { return m_now; });
    }

    CMotionNotifier::Clock::time_point m_now{std::chrono::hours(2)};
    std::vector<Camera> opened;
};
} // namespace

TEST_F(MotionNotifierTest, OneNotificationPerCameraAMinuteWhenOnAndAClickOpensItsCamera)
{
    PrivateSessionBus bus;
    ASSERT_FALSE(bus.Address().isEmpty());
    const auto notifier = MakeNotifier(bus.Address());
    const Camera gate{u"Gate", 2};
    const Camera yard{u"Yard", 0};

    // No service on the bus yet: the call is refused and nothing is owed, so the yard
    // is told as soon as a service is there.
    notifier->SetEnabled(true);
    EXPECT_TRUE(notifier->OnMotion(yard));
    FakeNotifications service(bus.Address());
    // Off, nothing goes out. What goes out arrives in order, so the yard's notification,
    // once there, proves that none for the gate went before it.
    notifier->SetEnabled(false);
    EXPECT_FALSE(notifier->OnMotion(gate));
    notifier->SetEnabled(true);
    ASSERT_TRUE(ProcessEventsUntil(
        [&]
        {
            notifier->OnMotion(yard);
            return service.shown.size() == 1;
        }));
    EXPECT_EQ(service.shown[0].summary, "Motion on Yard CH-01");

    EXPECT_TRUE(notifier->OnMotion(gate));
    ASSERT_TRUE(ProcessEventsUntil([&] { return service.shown.size() == 2; }));
    const FakeNotifications::Shown shown = service.shown[1];
    EXPECT_EQ(shown.summary, "Motion on Gate CH-03");
    EXPECT_EQ(shown.app, "Quillon");
    EXPECT_EQ(shown.actions, (QStringList{"default", "Open"}));
    EXPECT_EQ(shown.hints.value("desktop-entry").toString(), "org.quillon.Quillon");

    // Within the minute the same camera stays quiet; the minute over, it is told again.
    m_now += 59s;
    EXPECT_FALSE(notifier->OnMotion(gate));
    m_now += 1s;
    EXPECT_TRUE(notifier->OnMotion(gate));
    ASSERT_TRUE(ProcessEventsUntil([&] { return service.shown.size() == 3; }));
    EXPECT_EQ(service.shown[2].summary, "Motion on Gate CH-03");

    // A click on the first gate notification opens the gate. Another action, an id
    // never given and a closed notification open nothing; the yard's click, sent
    // last, arrives once the others have been handled.
    service.Emit("ActionInvoked", {shown.id, QString("other")});
    service.Emit("ActionInvoked", {uint(7), QString("default")});
    service.Emit("NotificationClosed", {service.shown[2].id, uint(2)});
    service.Emit("ActionInvoked", {service.shown[2].id, QString("default")});
    service.Emit("ActionInvoked", {shown.id, QString("default")});
    service.Emit("ActionInvoked", {service.shown[0].id, QString("default")});
    ASSERT_TRUE(ProcessEventsUntil([&] { return opened.size() == 2; }));
    EXPECT_EQ(opened, (std::vector<Camera>{gate, yard}));
}

TEST_F(MotionNotifierTest, WithoutASessionBusNoneIsStartedAndNothingShows)
{
    const QByteArray address = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    TempFolder emptyRuntime;
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(emptyRuntime.Path().string()));
    {
        const auto notifier = MakeNotifier({});
        notifier->SetEnabled(true);
        EXPECT_FALSE(notifier->OnMotion({u"Gate", 2}));
    }
    qputenv("XDG_RUNTIME_DIR", runtime);
    if (!address.isEmpty())
    {
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    }
}
