// The directory file against a disk that fails: full part-way, a folder that
// cannot be written, a file that cannot be read, and values at the edge of what
// a line can hold.
#include "directory/DvrDirectory.h"

#include "FolderSnapshot.h"
#include "platform/TextCodec.h"
#include "support/FileSystemFaults.h"
#include "support/RecordingMessageBox.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <optional>

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

// A file that is there but cannot be read loads as nothing; saving those rows
// over it would lose the whole directory, so every save is refused and says why.
TEST(DirectoryFaultTest, AFileThatIsThereButCannotBeReadIsToldAndNeverSavedOver)
{
    const std::string old = Utf16Le(kTwoRows);
    const auto plainFile = [&](const std::filesystem::path& file) { WriteBytes(file, old); };
    const struct
    {
        const char* fault;
        const char* path; // inside the case's folder
        const char* reason;
        std::function<void(const std::filesystem::path&)> make;
        FileReader reader;
    } cases[] = {
        {"another user's", "IPList.db", "Permission denied", plainFile, FileReader()},
        {"a failing disk", "IPList.db", "Input/output error", plainFile, FailingDisk()},
        {"a directory", "IPList.db", "Is a directory",
         [&](const std::filesystem::path& file)
         {
             std::filesystem::create_directory(file);
             WriteBytes(file / "inside", old);
         },
         FileReader()},
        {"a FIFO", "IPList.db", "not a regular file",
         [](const std::filesystem::path& file) { ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0); },
         FileReader()},
        {"under a file", "plain/IPList.db", "Not a directory",
         [&](const std::filesystem::path& file) { WriteBytes(file.parent_path(), old); },
         FileReader()},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.fault);
        TempFolder folder;
        const auto file = folder.Path() / c.path;
        c.make(file);
        const auto before = Snapshot(folder.Path());
        RecordingMessageBox messages;
        DvrRowList rows;
        {
            std::optional<FileOfAnotherUser> foreign;
            if (std::string(c.fault) == "another user's")
            {
                foreign.emplace(file);
            }
            LoadDirectory(rows, file, messages, c.reader);
            ASSERT_TRUE(AddEntry(rows, {u"New", u"10.0.0.9", u"80", 1, u"ADMIN", u"9"}, messages));
            EXPECT_FALSE(SaveDirectory(rows, file));
            EXPECT_FALSE(SaveDirectory(rows, file)) << "nor any later save of these rows";
        }
        const std::u16string told = u"The DVR directory " + FromUtf8(file.string()) +
                                    u" cannot be read (" + FromUtf8(c.reason) +
                                    u"); nothing will be saved to it.";
        EXPECT_EQ(messages.Texts(), std::vector<std::u16string>{told});
        EXPECT_EQ(rows.ReadFailure, told);
        EXPECT_EQ(Names(rows), std::vector<std::u16string>{u"New"});
        EXPECT_EQ(Snapshot(folder.Path()), before);
    }
}
