// SPDX-License-Identifier: GPL-3.0-or-later
#include "directory/CDVRInformation.h"

#include "res/ResourceIds.h"
#include "support/QtTestApplication.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace
{
struct Shown
{
    QString name, address, port, user, channel;
};

Shown ShowInfo(const DvrConnectInfo* info)
{
    CDVRInformation dlg;
    if (info != nullptr)
    {
        dlg.SetInfo(*info);
    }
    dlg.show();
    const auto text = [&](unsigned id)
    {
        QLineEdit* edit = FindControl<QLineEdit>(dlg, id);
        EXPECT_TRUE(edit->isReadOnly()) << id;
        EXPECT_FALSE(edit->hasFrame()) << id;
        return edit->text();
    };
    Shown shown{text(IDC_INFO_NAME), text(IDC_INFO_ADDRESS), text(IDC_INFO_PORT),
                text(IDC_INFO_USER), text(IDC_INFO_CHANNEL)};
    QTest::mouseClick(FindControl<QPushButton>(dlg, IDC_INFO_OK), Qt::LeftButton);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    return shown;
}
} // namespace

TEST(DVRInformationTest, ShowsTheRecordReadOnlyWithoutThePassword)
{
    TestApplication();
    const auto info = MakeConnectInfo(u"Shop", u"10.0.0.5", u"80", 0, u"john doe", u"secret");
    const Shown shown = ShowInfo(&info);
    EXPECT_EQ(shown.name, "Shop");
    EXPECT_EQ(shown.address, "10.0.0.5");
    EXPECT_EQ(shown.port, "80");
    EXPECT_EQ(shown.user, "john_doe");
    EXPECT_EQ(shown.channel, "CH-01");
}

TEST(DVRInformationTest, ChannelIsTheLowestOfTheSixteenChannelBits)
{
    TestApplication();
    const struct
    {
        uint32_t mask;
        QString channel;
    } cases[] = {{0x1, "CH-01"},   {0x8000, "CH-16"}, {0x10000, ""},
                 {0x80000000, ""}, {0, ""},           {0x0C, "CH-03"}};
    for (const auto& c : cases)
    {
        auto info = MakeConnectInfo(u"Shop", u"10.0.0.5", u"0", 0, u"ADMIN", u"");
        info.ChannelMask = c.mask;
        const Shown shown = ShowInfo(&info);
        EXPECT_EQ(shown.channel, c.channel) << c.mask;
        EXPECT_EQ(shown.port, "0");
    }
}

TEST(DVRInformationTest, ARecordNeverFilledShowsEmptyTextsAndPortZero)
{
    TestApplication();
    const Shown shown = ShowInfo(nullptr);
    EXPECT_EQ(shown.name, "");
    EXPECT_EQ(shown.address, "");
    EXPECT_EQ(shown.port, "0");
    EXPECT_EQ(shown.user, "");
    EXPECT_EQ(shown.channel, "");
}
