// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "directory/AtomicFileWriter.h"
#include "directory/FileReader.h"

#include <filesystem>
#include <string>
#include <vector>

// One tile of a named wall: a directory entry by name and a channel; no name, no camera.
struct WallTile
{
    std::u16string dvrName;
    int channel = 0;

    bool operator==(const WallTile&) const = default;
};

struct NamedWall
{
    std::u16string name;
    int columns = 2;
    std::vector<WallTile> tiles; // columns x columns, row by row

    bool operator==(const NamedWall&) const = default;
};

// The user's named walls, one UTF-8 file in the configuration folder:
//   wall COLUMNS NAME
//   tile INDEX CHANNEL DVR-NAME
// written whole on every save. A file that cannot be read as walls is never
// overwritten: a damaged one is renamed aside, one that cannot be read at all
// is left alone, and the caller tells the user, once.
class CWallFile
{
public:
    explicit CWallFile(std::filesystem::path file, AtomicFileWriter writer = AtomicFileWriter(),
                       FileReader reader = FileReader());

    // False with `error` set when the file was damaged or could not be read; the
    // walls then start empty. A missing file is no walls.
    bool Load(std::vector<NamedWall>& walls, std::string& error);
    // False when the file could not be written, or when the last Load left an
    // unreadable or damaged file in its place; a Load that reads the file or
    // moves it aside lets saves through again.
    bool Save(const std::vector<NamedWall>& walls) const;
    const std::filesystem::path& Path() const { return m_file; }

private:
    std::filesystem::path m_file;
    AtomicFileWriter m_writer;
    FileReader m_reader;
    bool m_bKeepInPlace = false; // the walls in hand did not come from the file there
};
