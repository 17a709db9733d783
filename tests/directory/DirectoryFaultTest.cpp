// The directory file against a disk that fails: full part-way, a folder that
// cannot be written, and values at the edge of what a line can hold.
#include "directory/DvrDirectory.h"

#include "support/FileSystemFaults.h"
#include "support/RecordingMessageBox.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace
{
const std::u16string kTwoRows = u"Gate,10.0.0.1,80,0\nYard,dvr.example,8080,3,ADMIN,1234\n";

std::vector<std::u16string> Names(const DvrRowList& rows)
{
    std::vector<std::u16string> names;
    for (const DvrRow& row : rows.Rows)
    {
        names.push_back(row.Columns[kColumnName]);
    }
    return names;
}
} // namespace

// Found by the directory fuzzer: the largest channel came back one lower.
TEST(DirectoryFaultTest, ChannelsAtTheEdgesOfAnIntSurviveASave)
{
    TempFolder folder;
    const auto file = folder.Path() / "IPList.db";
    const std::u16string text = u"Max,h,80,2147483647\nMin,h,80,-2147483648\n";
    WriteBytes(file, Utf16Le(text));
    RecordingMessageBox messages;
    DvrRowList rows;
    LoadDirectory(rows, file, messages);
    ASSERT_EQ(rows.Rows.size(), 2u);
    EXPECT_EQ(RowChannel(rows.Rows[0]), INT_MAX);
    EXPECT_EQ(RowChannel(rows.Rows[1]), INT_MIN);
    ASSERT_TRUE(SaveDirectory(rows, file));
    EXPECT_EQ(ReadBytes(file), Utf16Le(text));
}

TEST(DirectoryFaultTest, AFullDiskOrAReadOnlyFolderKeepsTheOldFileAndTheRows)
{
    TempFolder folder;
    const auto file = folder.Path() / "IPList.db";
    const std::string old = Utf16Le(kTwoRows);
    RecordingMessageBox messages;
    for (const char* fault : {"full", "read-only"})
    {
        SCOPED_TRACE(fault);
        WriteBytes(file, old);
        DvrRowList rows;
        LoadDirectory(rows, file, messages);
        ASSERT_TRUE(AddEntry(rows, {u"New", u"10.0.0.9", u"80", 1, u"ADMIN", u"9"}, messages));
        bool saved = true;
        if (std::string(fault) == "full")
        {
            // Room for less than the new file: the write stops part-way.
            FileSizeLimit full(old.size() / 2);
            saved = SaveDirectory(rows, file);
        }
        else
        {
            ReadOnlyFolder readOnly(folder.Path());
            saved = SaveDirectory(rows, file);
        }
        EXPECT_FALSE(saved);
        EXPECT_EQ(ReadBytes(file), old);
        EXPECT_EQ(Names(rows), (std::vector<std::u16string>{u"Gate", u"Yard", u"New"}));
        // No temporary file is left beside it.
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()),
                                std::filesystem::directory_iterator()),
                  1);
        ASSERT_TRUE(SaveDirectory(rows, file));
        DvrRowList again;
        LoadDirectory(again, file, messages);
        EXPECT_EQ(Names(again), (std::vector<std::u16string>{u"Gate", u"Yard", u"New"}));
    }
    EXPECT_TRUE(messages.Boxes().empty());
}
