// SPDX-License-Identifier: GPL-3.0-or-later
#include "WallMotionFixture.h"

#include "support/FakeNotifications.h"
#include "support/PrivateSessionBus.h"
#include "view/ViewerSettings.h"
#include "wall/CMotionWatch.h"

using namespace std::chrono_literals;

namespace
{
class WallNotifyTest : public WallMotionTest
{
protected:
    PrivateSessionBus m_bus;
};
} // namespace

// Notify on Motion, kept: people walking on CH-01 tell the desktop once, of that camera
// alone, however long they walk; a click on the notification opens the camera.
TEST_F(WallNotifyTest, TheWalkingCameraIsToldOnceAndAClickOnItOpensIt)
{
    StartWall(0, m_bus.Address());
    FakeNotifications notifications(m_bus.Address());
    EXPECT_FALSE(Item(ID_NOTIFY_ON_MOTION).isChecked());
    Item(ID_NOTIFY_ON_MOTION).trigger();
    EXPECT_TRUE(m_app->GetMotionWatch()->GetNotifier().IsEnabled());
    EXPECT_TRUE(OpenViewerSettings(SettingsFile())->value("motion/notify").toBool());
    const Clock::time_point walkingFrom = Clock::now();
    m_dvr->SetReplayChannels(1);
    ASSERT_TRUE(ProcessEventsUntil(
        [&]
        {
            const auto found = Marks(0).Between(walkingFrom, Clock::now());
            return !found.empty() && found.back().last - found.front().first >= 2s;
        },
        10000));
    ASSERT_TRUE(ProcessEventsUntil([&] { return !notifications.shown.empty(); }));
    ASSERT_EQ(notifications.shown.size(), 1u);
    EXPECT_EQ(notifications.shown[0].summary, "Motion on Gate CH-01");
    notifications.Emit("ActionInvoked", {notifications.shown[0].id, QString("default")});
    EXPECT_TRUE(ProcessEventsUntil([&] { return Switcher().GetOpenTile() == 0; }));
}
