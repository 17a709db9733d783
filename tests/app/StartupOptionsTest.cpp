#include "app/StartupOptions.h"
#include "directory/DirectoryEntries.h"

#include "support/TempFolder.h"
#include "support/ViewerFixture.h"

#include <gtest/gtest.h>

using StartupViewerTest = ViewerFixture;

TEST(StartupOptionsTest, AnEntryIsAddedOnceAndFoundByName)
{
    TempFolder folder;
    const auto file = folder.Path() / "IPList.db";
    WriteBytes(file, Utf16Le(u"Shop,10.0.0.5,80,2\n"));
    QString error;
    ASSERT_TRUE(AddDirectoryEntry(file, u"Demo DVR,127.0.0.1,8080,0,ADMIN,1234", error));
    const std::string once = ReadBytes(file);
    EXPECT_EQ(once, Utf16Le(u"Shop,10.0.0.5,80,2\nDemo DVR,127.0.0.1,8080,0,ADMIN,1234\n"));
    // The same name again, even with other values, leaves the directory as it is.
    ASSERT_TRUE(AddDirectoryEntry(file, u"Demo DVR,127.0.0.1,9090,1,ADMIN,9999", error));
    EXPECT_EQ(ReadBytes(file), once);

    const auto entry = FindDirectoryEntry(file, u"Demo DVR", error);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->Port, u"8080");
    EXPECT_EQ(entry->Channel, 0);
    EXPECT_EQ(entry->User, u"ADMIN");
    EXPECT_EQ(entry->Password, u"1234");

    EXPECT_FALSE(FindDirectoryEntry(file, u"Shop", error));
    EXPECT_TRUE(error.contains("no saved user and password"));
    EXPECT_FALSE(FindDirectoryEntry(file, u"Nowhere", error));
    EXPECT_TRUE(error.contains("no DVR named"));
}

TEST(StartupOptionsTest, UnusableInputIsRefusedAndTheDirectoryKept)
{
    TempFolder folder;
    const auto file = folder.Path() / "IPList.db";
    WriteBytes(file, Utf16Le(u"Shop,10.0.0.5,80,2\n"));
    // Refused as Add DVR refuses, with the field named; an empty field is not skipped.
    const struct
    {
        std::u16string line;
        const char* told;
    } cases[] = {{u"Demo,127.0.0.1,8080", "Name,Address,Port,Channel"},
                 {u"Demo,,127.0.0.1,8080,0", "Name,Address,Port,Channel"},
                 {u"Demo,127.0.0.1,,0", "the port is empty"},
                 {u"Demo,u@127.0.0.1,8080,0,ADMIN,1234", "the address"},
                 {u"Demo,127.0.0.1,70000,0", "the port \"70000\""},
                 {u"Demo,127.0.0.1,8080,x", "the channel \"x\""},
                 {u"Demo,127.0.0.1,8080,16,ADMIN,1234", "the channel \"16\""},
                 {u"Demo,127.0.0.1,8080,0,AD MIN,1234", "the user"},
                 {u"Demo,127.0.0.1,8080,0,ADMIN,12\n34", "the password"},
                 {u"Demo,127.0.0.1,8080,0,ADMIN,1234567", "the password"},
                 {u"\"Demo\",127.0.0.1,8080,0", "the name \"Demo\" is in quotes"},
                 {u"Again,10.0.0.5,80,2", "under another name"}};
    for (const auto& c : cases)
    {
        QString error;
        EXPECT_FALSE(AddDirectoryEntry(file, c.line, error)) << error.toStdString();
        EXPECT_TRUE(error.contains(c.told)) << error.toStdString();
    }
    EXPECT_EQ(ReadBytes(file), Utf16Le(u"Shop,10.0.0.5,80,2\n"));

    StartupOptions options;
    QString error;
    EXPECT_FALSE(ParseStartupOptions({"quillon", "--size", "240"}, options, error));
    EXPECT_FALSE(ParseStartupOptions({"quillon", "stray"}, options, error));
    ASSERT_TRUE(ParseStartupOptions({"quillon", "--connect", "Demo DVR", "--size", "240x320"},
                                    options, error));
    EXPECT_EQ(options.connectName, "Demo DVR");
    EXPECT_EQ(options.windowSize, QSize(240, 320));
}

// --ptz: PTZ Control comes once the connection enables it, however late.
TEST_F(StartupViewerTest, ThePtzPanelsShowOnceTheItemIsEnabled)
{
    StartViewer(u"Gate,127.0.0.1," + Port() + u",0,ADMIN,1234\n");
    TriggerOnceEnabled(Item(ID_PTZ_CONTROL));
    EXPECT_FALSE(View().GetPTZPanels()->IsShown());
    ConnectToRow(0);
    ASSERT_TRUE(ProcessEventsUntil([&] { return View().GetPTZPanels()->IsShown(); }));
}
