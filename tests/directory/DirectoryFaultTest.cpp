// SPDX-License-Identifier: GPL-3.0-or-later
// The directory file against a disk that fails: full part-way, a folder that
// cannot be written, a file that cannot be read, and values at the edge of what
// a line can hold.
#include "directory/DvrDirectory.h"

#include "directory/CWallFile.h"
#include "platform/TextCodec.h"
#include "support/FileSystemFaults.h"
#include "support/RecordingMessageBox.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <map>
#include <optional>

namespace
{
const std::u16string kTwoRows = u"Gate,10.0.0.1,80,0\nYard,dvr.example,8080,3,ADMIN,1234\n";

// Every path under a folder with its kind and, for a plain file, its bytes.
std::map<std::string, std::string> Snapshot(const std::filesystem::path& folder)
{
    std::map<std::string, std::string> entries;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
    {
        const auto type = entry.symlink_status().type();
        entries[entry.path().string()] =
            std::to_string(static_cast<int>(type)) + ":" +
            (type == std::filesystem::file_type::regular ? ReadBytes(entry.path()) : std::string());
    }
    return entries;
}

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

// A file that is there but cannot be read loads as nothing; saving over it would
// lose the whole directory or every wall, so every save is refused and says why.
TEST(DirectoryFaultTest, AFileThatIsThereButCannotBeReadIsToldAndNeverSavedOver)
{
    const std::string old = Utf16Le(kTwoRows);
    const auto plainFile = [&](const std::filesystem::path& file) { WriteBytes(file, old); };
    const FileReader failingDisk(
        [calls = 0](int fd, void* data, size_t size) mutable -> ssize_t
        {
            errno = EIO;
            return ++calls > 1 ? -1 : ::read(fd, data, std::min<size_t>(size, 8));
        });
    const struct
    {
        const char* fault;
        const char* reason;
        const char* folder;
        std::function<void(const std::filesystem::path&)> make;
        FileReader reader;
    } cases[] = {
        {"another user's", "Permission denied", "", plainFile, FileReader()},
        {"a failing disk", "Input/output error", "", plainFile, failingDisk},
        {"a directory", "Is a directory", "",
         [&](const std::filesystem::path& file)
         {
             std::filesystem::create_directory(file);
             WriteBytes(file / "inside", old);
         },
         FileReader()},
        {"a FIFO", "not a regular file", "",
         [](const std::filesystem::path& file) { ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0); },
         FileReader()},
        {"under a file", "Not a directory", "plain",
         [&](const std::filesystem::path& file) { WriteBytes(file.parent_path(), old); },
         FileReader()},
    };
    for (const auto& c : cases)
    {
        for (const std::string name : {"IPList.db", "walls.conf"})
        {
            SCOPED_TRACE(std::string(c.fault) + " " + name);
            TempFolder folder;
            const auto file = folder.Path() / c.folder / name;
            c.make(file);
            const auto before = Snapshot(folder.Path());
            std::u16string told;
            {
                std::optional<FileOfAnotherUser> foreign;
                if (std::string(c.fault) == "another user's")
                {
                    foreign.emplace(file);
                }
                if (name == "IPList.db")
                {
                    RecordingMessageBox messages;
                    DvrRowList rows;
                    LoadDirectory(rows, file, messages, c.reader);
                    ASSERT_TRUE(
                        AddEntry(rows, {u"New", u"10.0.0.9", u"80", 1, u"ADMIN", u"9"}, messages));
                    EXPECT_FALSE(SaveDirectory(rows, file));
                    EXPECT_FALSE(SaveDirectory(rows, file)) << "nor any later save of these rows";
                    EXPECT_EQ(Names(rows), std::vector<std::u16string>{u"New"});
                    EXPECT_EQ(messages.Texts(), std::vector<std::u16string>{rows.ReadFailure});
                    told = rows.ReadFailure;
                }
                else
                {
                    CWallFile walls(file, AtomicFileWriter(), c.reader);
                    std::vector<NamedWall> loaded;
                    std::string error;
                    EXPECT_FALSE(walls.Load(loaded, error));
                    EXPECT_FALSE(walls.Save({{u"New", 2, std::vector<WallTile>(4)}}));
                    told = FromUtf8(error);
                }
            }
            EXPECT_EQ(told, (name == "IPList.db" ? u"The DVR directory " : u"The walls file ") +
                                FromUtf8(file.string()) + u" cannot be read (" +
                                FromUtf8(c.reason) + u"); nothing will be saved to it.");
            EXPECT_EQ(Snapshot(folder.Path()), before);
        }
    }
}
