// SPDX-License-Identifier: GPL-3.0-or-later
#include "directory/CWallFile.h"

#include "support/FileSystemFaults.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace
{
std::string ReadAll(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const std::filesystem::path& file, const std::string& bytes)
{
    std::ofstream(file, std::ios::binary) << bytes;
}
} // namespace

TEST(WallFileTest, WallsComeBackAsSavedAndAMissingFileIsNoWalls)
{
    TempFolder folder;
    CWallFile file(folder.Path() / "config" / "walls.conf");
    std::vector<NamedWall> walls;
    std::string error;
    EXPECT_TRUE(file.Load(walls, error));
    EXPECT_TRUE(walls.empty());

    NamedWall gate{u"Gate and yard \u00e9", 2, std::vector<WallTile>(4)};
    gate.tiles[0] = {u"Gate", 3};
    gate.tiles[3] = {u"Yard, north", 15};
    const std::vector<NamedWall> saved = {gate, {u"Empty", 4, std::vector<WallTile>(16)}};
    ASSERT_TRUE(file.Save(saved));
    EXPECT_TRUE(file.Load(walls, error));
    EXPECT_EQ(walls, saved);
}

// Nothing of a file the viewer cannot read is lost: it is kept aside, told once,
// and neither the next save nor a second damaged file takes its place.
TEST(WallFileTest, ADamagedFileIsKeptAsideAndNeverOverwritten)
{
    TempFolder folder;
    const auto path = folder.Path() / "walls.conf";
    CWallFile file(path);
    const std::string damaged[] = {
        "wall 5 Too wide\n",
        "wall 2\n",
        "wall 2 A\ntile 4 0 Gate\n",
        "wall 2 A\ntile 0 16 Gate\n",
        "tile 0 0 Gate\n",
        "wall 2 A\ntile 0 0\n",
        "wall x A\n",
        "\x01\x02garbage\n",
        "wall 2 A\ntile 0 1Gate\n",
    };
    const std::vector<NamedWall> fresh = {{u"Fresh", 2, {{u"Gate", 1}, {}, {}, {}}}};
    for (const std::string& bytes : damaged)
    {
        SCOPED_TRACE(bytes);
        WriteAll(path, bytes);
        std::vector<NamedWall> walls;
        std::string error;
        EXPECT_FALSE(file.Load(walls, error));
        EXPECT_TRUE(walls.empty());
        EXPECT_NE(error.find("cannot be read"), std::string::npos) << error;
        EXPECT_FALSE(std::filesystem::exists(path));
        ASSERT_TRUE(file.Save(fresh));
        EXPECT_EQ(ReadAll(path), "# Quillon walls\nwall 2 Fresh\ntile 0 1 Gate\n");
    }
    EXPECT_EQ(ReadAll(folder.Path() / "walls.conf.damaged"), damaged[0]);
    for (size_t i = 1; i < std::size(damaged); ++i)
    {
        EXPECT_EQ(ReadAll(folder.Path() / ("walls.conf.damaged-" + std::to_string(i + 1))),
                  damaged[i]);
    }
}

// A damaged file that could not be moved aside holds saves back only until a
// load finds it repaired or can move it aside after all.
TEST(WallFileTest, SavesGoThroughAgainOnceTheFileIsRepairedOrMovedAside)
{
    TempFolder folder;
    const auto path = folder.Path() / "walls.conf";
    CWallFile file(path);
    const std::vector<NamedWall> gate = {{u"Gate", 2, {{u"Gate", 1}, {}, {}, {}}}};
    for (const bool repaired : {true, false})
    {
        SCOPED_TRACE(repaired ? "repaired" : "moved aside later");
        WriteAll(path, "wall 9 Broken\n");
        std::vector<NamedWall> walls;
        std::string error;
        {
            ReadOnlyFolder readOnly(folder.Path());
            EXPECT_FALSE(file.Load(walls, error));
            EXPECT_NE(error.find("could not be moved aside"), std::string::npos) << error;
        }
        EXPECT_FALSE(file.Save(gate));
        EXPECT_EQ(ReadAll(path), "wall 9 Broken\n");
        if (repaired)
        {
            WriteAll(path, "wall 2 Yard\n");
            ASSERT_TRUE(file.Load(walls, error));
            EXPECT_EQ(walls.size(), 1u);
        }
        else
        {
            EXPECT_FALSE(file.Load(walls, error));
            EXPECT_EQ(ReadAll(folder.Path() / "walls.conf.damaged"), "wall 9 Broken\n");
        }
        ASSERT_TRUE(file.Save(gate));
        ASSERT_TRUE(file.Load(walls, error));
        EXPECT_EQ(walls, gate);
    }
}
