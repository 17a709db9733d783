// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/ViewerFixture.h"

namespace
{
class LastConnectionTest : public ViewerFixture
{
protected:
    void StartAgain(const std::u16string& directory)
    {
        Frame().close();
        m_app.reset();
        StartViewer(directory);
    }
};
} // namespace

TEST_F(LastConnectionTest, StartsOnTheChannelShownAtCloseUnlessTheItemIsOff)
{
    const std::u16string directory = u"Gate,127.0.0.1," + Port() + u",0,ADMIN,1234\n";
    StartViewer(directory);
    EXPECT_TRUE(Item(ID_RECONNECT_AT_START).isChecked());
    ConnectToRow(0);
    // The channel items come alive when the frame hears of the login, after the flag.
    ASSERT_TRUE(ProcessEventsUntil([&] { return Channel(2).isEnabled(); }));
    Channel(2).trigger();
    ASSERT_TRUE(ProcessEventsUntil([&] { return Frame().GetCheckedChannel() == 2; }));

    StartAgain(directory);
    const size_t logins = Count(IsLogin);
    EXPECT_TRUE(m_app->RestoreLastConnection());
    // The check mark follows the DVR's answer to the login.
    ASSERT_TRUE(ProcessEventsUntil([&] { return Frame().GetCheckedChannel() == 2; }));
    EXPECT_EQ(Count(IsLogin), logins + 1);
    EXPECT_TRUE(m_dvr->GetRequests().back().target.ends_with("&CH=4"))
        << m_dvr->GetRequests().back().target;

    // Off, it stays off across starts and nothing connects.
    Item(ID_RECONNECT_AT_START).trigger();
    StartAgain(directory);
    EXPECT_FALSE(Item(ID_RECONNECT_AT_START).isChecked());
    EXPECT_FALSE(m_app->RestoreLastConnection());
    EXPECT_FALSE(View().GetClient().IsLoggedIn());
}

TEST_F(LastConnectionTest, NothingComesBackAfterARefusedLoginOrAGoneEntry)
{
    const std::u16string wrong = u"Gate,127.0.0.1," + Port() + u",0,ADMIN,9999\n";
    StartViewer(wrong);
    ConnectToRow(0);
    ASSERT_TRUE(
        ProcessEventsUntil([&] { return m_driver.BoxCount("Password Miss Error!!") == 1; }));
    StartAgain(wrong);
    EXPECT_FALSE(m_app->RestoreLastConnection());

    const std::u16string right = u"Gate,127.0.0.1," + Port() + u",0,ADMIN,1234\n";
    StartAgain(right);
    ConnectToRow(0);
    ASSERT_TRUE(ProcessEventsUntil([&] { return View().GetClient().IsLoggedIn(); }));
    // The entry lost its saved user: nothing to log in with.
    StartAgain(u"Gate,127.0.0.1," + Port() + u",0\n");
    const size_t logins = Count(IsLogin);
    EXPECT_FALSE(m_app->RestoreLastConnection());
    EXPECT_EQ(Count(IsLogin), logins);
}
