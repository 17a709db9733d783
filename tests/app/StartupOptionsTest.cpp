// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/StartupOptions.h"
#include "directory/DirectoryEntries.h"

#include "support/FakePasswordStore.h"
#include "support/TempFolder.h"
#include "support/ViewerFixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace
{
// Standard input as a pipe that holds `text` and then ends.
struct PipedInput
{
    explicit PipedInput(const std::string& text)
    {
        int ends[2];
        EXPECT_EQ(::pipe(ends), 0);
        ::write(ends[1], text.data(), text.size());
        ::close(ends[1]);
        fd = ends[0];
    }
    ~PipedInput() { ::close(fd); }
    PasswordReader Reader()
    {
        return [this](std::u16string& password) { return ++reads, ReadPasswordLine(fd, password); };
    }
    int fd = -1;
    int reads = 0;
};
} // namespace

using StartupViewerTest = ViewerFixture;

TEST(StartupOptionsTest, AnEntryIsAddedOnceAndFoundByName)
{
    TempFolder folder;
    const auto file = folder.Path() / "IPList.db";
    WriteBytes(file, Utf16Le(u"Shop,10.0.0.5,80,2\n"));
    QString error;
    ASSERT_EQ(AddDirectoryEntry(file, u"Demo DVR,127.0.0.1,8080,0,ADMIN,1234", error),
              AddEntryResult::Added);
    const std::string once = ReadBytes(file);
    EXPECT_EQ(once, Utf16Le(u"Shop,10.0.0.5,80,2\nDemo DVR,127.0.0.1,8080,0,ADMIN,1234\n"));
    // The same name again, even with other values, leaves the directory as it is.
    ASSERT_EQ(AddDirectoryEntry(file, u"Demo DVR,127.0.0.1,9090,1,ADMIN,9999", error),
              AddEntryResult::NameTaken);
    EXPECT_EQ(ReadBytes(file), once);
    EXPECT_TRUE(error.contains("has a DVR named \"Demo DVR\" already")) << error.toStdString();
    EXPECT_FALSE(error.contains("9999"));

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
    // Refused as Add DVR refuses, with the field named and never the password shown;
    // an empty field is not skipped.
    const struct
    {
        std::u16string line;
        const char* told;
        const char* secret;
    } cases[] = {{u"Demo,127.0.0.1,8080", "Name,Address,Port,Channel", ""},
                 {u"Demo,127.0.0.1,8080,0,ADMIN,s3cret,x", "Name,Address,Port,Channel", "s3cret"},
                 {u"Demo,,127.0.0.1,8080,0,s3cret", "the address is empty", "s3cret"},
                 {u"Demo,127.0.0.1,,0,ADMIN,s3cret", "the port is empty", "s3cret"},
                 {u"Demo,u@127.0.0.1,8080,0,ADMIN,s3cret", "the address", "s3cret"},
                 {u"Demo,127.0.0.1,70000,0", "the port \"70000\"", ""},
                 {u"Demo,127.0.0.1,8080,x,ADMIN,s3cret", "the channel \"x\"", "s3cret"},
                 {u"Demo,127.0.0.1,8080,16,ADMIN,s3cret", "the channel \"16\"", "s3cret"},
                 {u"Demo,127.0.0.1,8080,0,AD MIN,s3cret", "the user", "s3cret"},
                 {u"Demo,127.0.0.1,8080,0,,s3cret", "the user is empty", "s3cret"},
                 {u"Demo,127.0.0.1,8080,0,ADMIN,", "the password is empty", ""},
                 {u"Demo,127.0.0.1,8080,0,ADMIN,s3\ncr", "the password", "s3\ncr"},
                 {u"Demo,127.0.0.1,8080,0,ADMIN,s3cret7", "the password", "s3cret7"},
                 {u"Demo,127.0.0.1,8080,0,ADMIN,\"s3cr\"", "the password is in quotes", "s3cr"},
                 {u"\"Demo\",127.0.0.1,8080,0", "the name \"Demo\" is in quotes", ""},
                 {u"Again,10.0.0.5,80,2,ADMIN,s3cret", "under another name", "s3cret"}};
    for (const auto& c : cases)
    {
        QString error;
        EXPECT_EQ(AddDirectoryEntry(file, c.line, error), AddEntryResult::Refused)
            << error.toStdString();
        EXPECT_TRUE(error.contains(c.told)) << error.toStdString();
        EXPECT_TRUE(*c.secret == 0 || !error.contains(c.secret)) << error.toStdString();
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

// A line ending with the user takes the password from standard input; with the
// keyring on, the login goes there and its line has none, or nothing is added.
TEST(StartupOptionsTest, APasswordFromStandardInputOrTheKeyringIsAddedWholeOrNotAtAll)
{
    TempFolder folder;
    const auto file = folder.Path() / "IPList.db";
    const std::string shop = Utf16Le(u"Shop,10.0.0.5,80,2\n");
    WriteBytes(file, shop);
    QString error;
    const struct
    {
        const char* piped;
        const char* told;
    } refused[] = {
        {"\nnot read\n", "the password is empty"}, {"", "no password came"}, {"s3cret7\n", ""}};
    for (const auto& c : refused)
    {
        PipedInput input(c.piped);
        EXPECT_EQ(
            AddDirectoryEntry(file, u"Gate,10.0.0.9,80,0,admin", error, nullptr, input.Reader()),
            AddEntryResult::Refused);
        EXPECT_TRUE(error.contains(c.told) && !error.contains("s3cret")) << error.toStdString();
    }
    EXPECT_EQ(ReadBytes(file), shop);

    PipedInput typed("s3cret\r\nnext line\n");
    ASSERT_EQ(AddDirectoryEntry(file, u"Gate,10.0.0.9,80,0,admin", error, nullptr, typed.Reader()),
              AddEntryResult::Added);
    EXPECT_EQ(ReadBytes(file), shop + Utf16Le(u"Gate,10.0.0.9,80,0,admin,s3cret\n"));
    // A name taken, or a line refused, asks for nothing.
    EXPECT_EQ(AddDirectoryEntry(file, u"Gate,10.0.0.9,81,0,admin", error, nullptr, typed.Reader()),
              AddEntryResult::NameTaken);
    EXPECT_EQ(AddDirectoryEntry(file, u"Yard,10.0.0.9,80,x,admin", error, nullptr, typed.Reader()),
              AddEntryResult::Refused);
    EXPECT_EQ(typed.reads, 1);

    WriteBytes(file, shop);
    FakePasswordStore keyring;
    keyring.refuse = true;
    PipedInput again("s3cret\n");
    EXPECT_EQ(AddDirectoryEntry(file, u"Gate,10.0.0.9,80,0,admin", error, &keyring, again.Reader()),
              AddEntryResult::Refused);
    EXPECT_TRUE(error.contains("could not be kept in the keyring")) << error.toStdString();
    EXPECT_FALSE(error.contains("s3cret"));
    EXPECT_EQ(ReadBytes(file), shop);
    EXPECT_TRUE(keyring.items.empty());

    keyring.refuse = false;
    keyring.items[u"Yard,10.0.0.7,80,0"] = u"old,old";
    ASSERT_EQ(AddDirectoryEntry(file, u"Yard,10.0.0.7,80,0,admin,s3cret", error, &keyring),
              AddEntryResult::Added);
    EXPECT_EQ(ReadBytes(file), shop + Utf16Le(u"Yard,10.0.0.7,80,0\n"));
    EXPECT_EQ(keyring.items[u"Yard,10.0.0.7,80,0"], u"admin,s3cret");

    // A directory that cannot be saved puts back what the keyring held.
    keyring.items[u"Gate,10.0.0.9,80,0"] = u"old,old";
    const auto itemsBefore = keyring.items;
    EXPECT_EQ(AddDirectoryEntry(folder.Path() / "missing" / "IPList.db",
                                u"Gate,10.0.0.9,80,0,admin,s3cret", error, &keyring),
              AddEntryResult::Refused);
    EXPECT_EQ(keyring.items, itemsBefore);
}

// On a terminal the typed password is not echoed, and the echo comes back after.
TEST(StartupOptionsTest, APasswordTypedOnATerminalIsNotEchoed)
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const int terminal = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
    ASSERT_GE(terminal, 0);
    const auto echoing = [terminal]
    {
        struct termios now;
        ::tcgetattr(terminal, &now);
        return (now.c_lflag & ECHO) != 0;
    };
    ASSERT_TRUE(echoing());
    std::u16string password;
    bool read = false;
    std::thread reader([&] { read = ReadPasswordLine(terminal, password); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (echoing() && std::chrono::steady_clock::now() < deadline)
    {
        std::this_thread::yield();
    }
    EXPECT_FALSE(echoing());
    ::write(master, "s3cret\n", 7);
    reader.join();
    EXPECT_TRUE(read);
    EXPECT_EQ(password, u"s3cret");
    EXPECT_TRUE(echoing());
    ::fcntl(master, F_SETFL, O_NONBLOCK);
    std::string shown(256, '\0');
    const ssize_t got = ::read(master, shown.data(), shown.size());
    shown.resize(got > 0 ? got : 0);
    EXPECT_EQ(shown.find("s3cret"), std::string::npos) << shown;
    ::close(terminal);
    ::close(master);
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
