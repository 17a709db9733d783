// SPDX-License-Identifier: GPL-3.0-or-later
#include "directory/DvrDirectory.h"

#include "support/RecordingMessageBox.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace
{
const std::u16string kSame = u"There is the same dvr connection.";

class DvrDirectoryTest : public ::testing::Test
{
protected:
    std::filesystem::path File() const { return m_folder.Path() / "IPList.db"; }

    void Load(const std::u16string& text)
    {
        WriteBytes(File(), Utf16Le(text));
        LoadDirectory(m_rows, File(), m_messages);
    }

    std::string SaveBytes()
    {
        EXPECT_TRUE(SaveDirectory(m_rows, File()));
        return ReadBytes(File());
    }

    TempFolder m_folder;
    DvrRowList m_rows;
    RecordingMessageBox m_messages;
};

DvrEntry Entry(std::u16string address, std::u16string port, int channel, std::u16string user = u"",
               std::u16string password = u"")
{
    return DvrEntry{u"Shop", std::move(address), std::move(port),
                    channel, std::move(user),    std::move(password)};
}
} // namespace

TEST(ParseEntryLineTest, TokensMakeAnEntryOnlyInTheFourAndSixFieldForms)
{
    const struct
    {
        std::u16string_view line;
        bool ok;
        DvrEntry entry;
    } cases[] = {
        {u"Shop,10.0.0.5,80,2", true, {u"Shop", u"10.0.0.5", u"80", 2, u"", u""}},
        {u"Shop,,10.0.0.5,80,2", true, {u"Shop", u"10.0.0.5", u"80", 2, u"", u""}},
        {u",,Shop,10.0.0.5,,,80,2,", true, {u"Shop", u"10.0.0.5", u"80", 2, u"", u""}},
        {u"Shop,10.0.0.5,80,2,ADMIN,1234",
         true,
         {u"Shop", u"10.0.0.5", u"80", 2, u"ADMIN", u"1234"}},
        {u" Shop ,host, 80,2", true, {u" Shop ", u"host", u" 80", 2, u"", u""}},
        {u"Shop,host,80,x", true, {u"Shop", u"host", u"80", 0, u"", u""}},
        {u"Shop,host,80, -3x", true, {u"Shop", u"host", u"80", -3, u"", u""}},
        {u"Shop,host,80,2\r", true, {u"Shop", u"host", u"80", 2, u"", u""}},
        {u"Shop,host,80,2,ADMIN,pw\r", true, {u"Shop", u"host", u"80", 2, u"ADMIN", u"pw\r"}},
        {u"Shop,host,80,2,ADMIN", false, {}},
        {u"Shop,host,80", false, {}},
        {u"Shop,host,80,2,ADMIN,pw,extra", false, {}},
        {u",,,", false, {}},
        {u"", false, {}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string(c.line.begin(), c.line.end()));
        const auto entry = ParseEntryLine(c.line);
        ASSERT_EQ(entry.has_value(), c.ok);
        if (c.ok)
        {
            EXPECT_EQ(entry->Name, c.entry.Name);
            EXPECT_EQ(entry->Address, c.entry.Address);
            EXPECT_EQ(entry->Port, c.entry.Port);
            EXPECT_EQ(entry->Channel, c.entry.Channel);
            EXPECT_EQ(entry->User, c.entry.User);
            EXPECT_EQ(entry->Password, c.entry.Password);
        }
    }
}

TEST_F(DvrDirectoryTest, AFourFieldLineRoundTripsByteForByte)
{
    Load(u"Shop,10.0.0.5,80,2\n");
    ASSERT_EQ(m_rows.Rows.size(), 1u);
    const DvrRow& row = m_rows.Rows[0];
    EXPECT_EQ(row.Columns[kColumnName], u"Shop");
    EXPECT_EQ(row.Columns[kColumnAddress], u"10.0.0.5");
    EXPECT_EQ(row.Columns[kColumnPort], u"80");
    EXPECT_EQ(row.Columns[kColumnChannel], u"3");
    EXPECT_EQ(row.Columns[kColumnUser], u"");
    EXPECT_EQ(SaveBytes(), Utf16Le(u"Shop,10.0.0.5,80,2\n"));
    EXPECT_TRUE(m_rows.Rows.empty());
}

TEST_F(DvrDirectoryTest, AnEmptyFieldIsDroppedAndTheSavedLineIsTheCleanOne)
{
    Load(u"Shop,,10.0.0.5,80,2");
    ASSERT_EQ(m_rows.Rows.size(), 1u);
    EXPECT_EQ(SaveBytes(), Utf16Le(u"Shop,10.0.0.5,80,2\n"));
}

TEST_F(DvrDirectoryTest, WrittenFileHasNoByteOrderMarkNoCarriageReturnAndEndsInALineFeed)
{
    AddEntry(m_rows, Entry(u"10.0.0.5", u"80", 0, u"ADMIN", u"1234"), m_messages);
    AddEntry(m_rows, Entry(u"10.0.0.6", u"8080", 15), m_messages);
    const std::string bytes = SaveBytes();
    EXPECT_EQ(bytes, Utf16Le(u"Shop,10.0.0.5,80,0,ADMIN,1234\nShop,10.0.0.6,8080,15\n"));
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_NE(bytes.substr(0, 2), std::string("\xFF\xFE", 2));
    EXPECT_EQ(bytes.substr(bytes.size() - 2), std::string("\x0A\x00", 2));
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
    {
        EXPECT_FALSE(bytes[i] == '\x0D' && bytes[i + 1] == '\0') << "at byte " << i;
    }
}

TEST_F(DvrDirectoryTest, SavedFileIsReadableAndWritableByItsOwnerOnly)
{
    WriteBytes(File(), "old");
    ::chmod(File().c_str(), 0644);
    AddEntry(m_rows, Entry(u"10.0.0.5", u"80", 0, u"ADMIN", u"secret"), m_messages);
    SaveBytes();
    struct stat info
    {
    };
    ASSERT_EQ(::stat(File().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

// The same camera under two names (say admin and guest) is one row, and the
// second line goes back to the file after the rows, before the lines never read.
TEST_F(DvrDirectoryTest, DuplicatesAtLoadShowTheMessageOnceAndAreWrittenBackAfterTheRows)
{
    Load(u"Shop,10.0.0.5,80,2\nOther name,10.0.0.5,80,2,GUEST,1\nSide,10.0.0.5,80,3\n"
         u"Zero,10.0.0.5,080,2\nBad,10.0.0.9,80,1,ADMIN\nShop,10.0.0.5,80,2\n");
    EXPECT_EQ(m_messages.Texts(), std::vector<std::u16string>{kSame});
    ASSERT_EQ(m_rows.Rows.size(), 3u);
    EXPECT_EQ(m_rows.Rows[1].Columns[kColumnName], u"Side");
    EXPECT_EQ(m_rows.Rows[2].Columns[kColumnPort], u"080");
    EXPECT_EQ(SaveBytes(), Utf16Le(u"Shop,10.0.0.5,80,2\nSide,10.0.0.5,80,3\nZero,10.0.0.5,080,2\n"
                                   u"Other name,10.0.0.5,80,2,GUEST,1\nBad,10.0.0.9,80,1,ADMIN\n"
                                   u"Shop,10.0.0.5,80,2\n"));
}

TEST_F(DvrDirectoryTest, AddingComparesAddressPortTextAndChannelExactly)
{
    const struct
    {
        DvrEntry entry;
        bool added;
    } cases[] = {
        {Entry(u"cam.example", u"80", 2), true},
        {Entry(u"cam.example", u"80", 2, u"ADMIN", u"pw"), false},
        {Entry(u"CAM.example", u"80", 2), true},
        {Entry(u"cam.example", u"080", 2), true},
        {Entry(u"cam.example", u"80", 3), true},
        {Entry(u"cam.example", u"80 ", 2), true},
    };
    for (const auto& c : cases)
    {
        m_messages.Clear();
        EXPECT_EQ(AddEntry(m_rows, c.entry, m_messages), c.added);
        EXPECT_EQ(m_messages.Texts().size(), c.added ? 0u : 1u);
    }
    EXPECT_EQ(m_rows.Rows.size(), 5u);
}

TEST_F(DvrDirectoryTest, OnlyAUserWithAPasswordIsSavedInTheSixFieldForm)
{
    AddEntry(m_rows, Entry(u"a", u"80", 0, u"ADMIN", u""), m_messages);
    AddEntry(m_rows, Entry(u"b", u"80", 0, u"", u"1234"), m_messages);
    AddEntry(m_rows, Entry(u"c", u"80", 0, u"USER_1", u"1234"), m_messages);
    EXPECT_EQ(m_rows.Rows[0].Columns[kColumnUser], u"");
    EXPECT_EQ(m_rows.Rows[1].Columns[kColumnUser], u"");
    EXPECT_EQ(m_rows.Rows[1].Password, u"1234");
    EXPECT_EQ(SaveBytes(), Utf16Le(u"Shop,a,80,0\nShop,b,80,0\nShop,c,80,0,USER_1,1234\n"));
}

TEST_F(DvrDirectoryTest, AFiveFieldLineEndsLoadingAndItAndTheLinesAfterItSurviveASave)
{
    const std::u16string tail = u"Bad,10.0.0.9,80,1,ADMIN\nLater,10.0.0.7,80,1\n";
    Load(u"Shop,10.0.0.5,80,2\n" + tail);
    ASSERT_EQ(m_rows.Rows.size(), 1u);
    AddEntry(m_rows, Entry(u"10.0.0.8", u"81", 0), m_messages);
    EXPECT_EQ(SaveBytes(), Utf16Le(u"Shop,10.0.0.5,80,2\nShop,10.0.0.8,81,0\n" + tail));
}

TEST_F(DvrDirectoryTest, AnEmptyFirstLineLoadsNothingAndLosesNothing)
{
    Load(u"\nShop,10.0.0.5,80,2");
    EXPECT_TRUE(m_rows.Rows.empty());
    EXPECT_EQ(SaveBytes(), Utf16Le(u"\nShop,10.0.0.5,80,2\n"));
}

TEST_F(DvrDirectoryTest, ACarriageReturnBeforeTheLineEndStaysInTheLastField)
{
    Load(u"Shop,10.0.0.5,80,2\r\nHome,10.0.0.6,80,0,ADMIN,pw\r\n");
    ASSERT_EQ(m_rows.Rows.size(), 2u);
    EXPECT_EQ(m_rows.Rows[0].Columns[kColumnChannel], u"3");
    EXPECT_EQ(m_rows.Rows[1].Password, u"pw\r");
}

TEST_F(DvrDirectoryTest, OverLongFieldsAreKeptWhole)
{
    const std::u16string name(80, u'n');
    const std::u16string password(20, u'p');
    const std::u16string line = name + u",10.0.0.5,80,2,ADMIN_LONG_USER," + password + u"\n";
    Load(line);
    ASSERT_EQ(m_rows.Rows.size(), 1u);
    EXPECT_EQ(m_rows.Rows[0].Password, password);
    EXPECT_EQ(SaveBytes(), Utf16Le(line));
}

TEST_F(DvrDirectoryTest, AMissingFileLoadsNothingSilentlyAndSavingCreatesAnEmptyFile)
{
    LoadDirectory(m_rows, File(), m_messages);
    EXPECT_TRUE(m_rows.Rows.empty());
    EXPECT_TRUE(m_messages.Texts().empty());
    EXPECT_EQ(SaveBytes(), "");
    EXPECT_TRUE(std::filesystem::exists(File()));
}

TEST_F(DvrDirectoryTest, AWriteFailingPartWayLeavesTheOldFileWholeAndTheRowsInPlace)
{
    const std::string old = Utf16Le(u"Old,10.0.0.1,80,0\n");
    WriteBytes(File(), old);
    AddEntry(m_rows, Entry(u"10.0.0.5", u"80", 0, u"ADMIN", u"1234"), m_messages);
    AddEntry(m_rows, Entry(u"10.0.0.6", u"80", 1), m_messages);
    size_t written = 0;
    const AtomicFileWriter failing(
        [&written](int fd, const void* data, size_t size) -> ssize_t
        {
            if (written >= 10)
            {
                errno = ENOSPC;
                return -1;
            }
            const size_t n = std::min<size_t>(size, 10 - written);
            written += n;
            return ::write(fd, data, n);
        });
    EXPECT_FALSE(SaveDirectory(m_rows, File(), failing));
    EXPECT_EQ(written, 10u);
    EXPECT_EQ(ReadBytes(File()), old);
    EXPECT_EQ(m_rows.Rows.size(), 2u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_folder.Path()), {}), 1)
        << "the unfinished new file is removed";
}

TEST_F(DvrDirectoryTest, ASaveThatCannotCreateItsFileFailsAndKeepsTheRows)
{
    AddEntry(m_rows, Entry(u"10.0.0.5", u"80", 0), m_messages);
    EXPECT_FALSE(SaveDirectory(m_rows, m_folder.Path() / "missing" / "IPList.db"));
    EXPECT_EQ(m_rows.Rows.size(), 1u);
}

// A folder others can write is one where anyone may replace the file of logins.
TEST(DirectoryFilePathTest, BesideTheProgramOnlyInAFolderWritableByTheUserAlone)
{
    TempFolder program;
    TempFolder data;
    struct stat info = {};
    ASSERT_EQ(::stat(program.Path().c_str(), &info), 0);
    const uid_t owner = info.st_uid;
    const uid_t other = owner + 1;
    const struct
    {
        mode_t mode;
        uid_t user;
        bool beside;
    } cases[] = {
        {0700, owner, true},   {0755, owner, true},  {0500, owner, false},
        {0775, owner, false},  {0757, owner, false}, {0777, owner, false},
        {01777, owner, false}, {0700, other, false}, {0755, other, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message()
                     << std::oct << c.mode << (c.user == owner ? " own" : " other's"));
        ASSERT_EQ(::chmod(program.Path().c_str(), c.mode), 0);
        EXPECT_EQ(GetDirectoryFilePath(data.Path(), program.Path(), c.user),
                  (c.beside ? program.Path() : data.Path()) / "IPList.db");
    }
    ::chmod(program.Path().c_str(), 0700);

    const auto fallback = data.Path() / "Quillon";
    EXPECT_EQ(GetDirectoryFilePath(fallback, program.Path() / "not-there"), fallback / "IPList.db");
    EXPECT_TRUE(std::filesystem::is_directory(fallback));

    const auto self = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    ASSERT_EQ(::stat(self.c_str(), &info), 0);
    const bool selfAlone = info.st_uid == ::geteuid() && (info.st_mode & 022) == 0;
    EXPECT_EQ(GetDirectoryFilePath(data.Path()), (selfAlone ? self : data.Path()) / "IPList.db");
}
