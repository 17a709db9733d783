// SPDX-License-Identifier: GPL-3.0-or-later
#include "directory/CWallFile.h"

#include "platform/TextCodec.h"

#include <charconv>
#include <optional>
#include <sstream>
#include <system_error>

namespace
{
constexpr int kMinColumns = 2;
constexpr int kMaxColumns = 4;
constexpr int kMaxChannel = 15;

// "NUMBER REST": the number and the rest after one space.
std::optional<std::pair<int, std::string_view>> TakeNumber(std::string_view text)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end == text.data())
    {
        return std::nullopt;
    }
    std::string_view rest(end, static_cast<size_t>(text.data() + text.size() - end));
    if (!rest.empty())
    {
        if (rest.front() != ' ')
        {
            return std::nullopt;
        }
        rest.remove_prefix(1);
    }
    return std::pair{value, rest};
}

bool ParseWalls(const std::string& bytes, std::vector<NamedWall>& walls)
{
    std::istringstream in(bytes);
    for (std::string line; std::getline(in, line);)
    {
        const std::string_view text(line);
        if (text.empty() || text.front() == '#')
        {
            continue;
        }
        if (text.starts_with("wall "))
        {
            const auto columns = TakeNumber(text.substr(5));
            if (!columns || columns->first < kMinColumns || columns->first > kMaxColumns ||
                columns->second.empty())
            {
                return false;
            }
            walls.push_back({FromUtf8(columns->second), columns->first,
                             std::vector<WallTile>(static_cast<size_t>(columns->first) *
                                                   static_cast<size_t>(columns->first))});
            continue;
        }
        if (!text.starts_with("tile ") || walls.empty())
        {
            return false;
        }
        const auto index = TakeNumber(text.substr(5));
        const auto channel = index ? TakeNumber(index->second) : std::nullopt;
        std::vector<WallTile>& tiles = walls.back().tiles;
        if (!channel || index->first < 0 || static_cast<size_t>(index->first) >= tiles.size() ||
            channel->first < 0 || channel->first > kMaxChannel || channel->second.empty())
        {
            return false;
        }
        tiles[static_cast<size_t>(index->first)] = {FromUtf8(channel->second), channel->first};
    }
    return true;
}

// Beside the file, under a name no earlier damaged copy has.
std::filesystem::path AsideName(const std::filesystem::path& file)
{
    std::filesystem::path aside = file;
    aside += ".damaged";
    std::error_code unknown;
    for (int n = 2; std::filesystem::exists(aside, unknown); ++n)
    {
        aside = file;
        aside += ".damaged-" + std::to_string(n);
    }
    return aside;
}
} // namespace

CWallFile::CWallFile(std::filesystem::path file, AtomicFileWriter writer, FileReader reader)
    : m_file(std::move(file)), m_writer(std::move(writer)), m_reader(std::move(reader))
{
}

bool CWallFile::Load(std::vector<NamedWall>& walls, std::string& error)
{
    walls.clear();
    m_bKeepInPlace = false;
    std::string bytes;
    std::string reason;
    switch (m_reader.Read(m_file, bytes, reason))
    {
    case FileReader::Result::Missing:
        return true;
    case FileReader::Result::Unreadable:
        m_bKeepInPlace = true;
        error = "The walls file " + m_file.string() + " cannot be read (" + reason +
                "); nothing will be saved to it.";
        return false;
    case FileReader::Result::Read:
        break;
    }
    if (ParseWalls(bytes, walls))
    {
        return true;
    }
    walls.clear();
    const std::filesystem::path aside = AsideName(m_file);
    std::error_code failed;
    std::filesystem::rename(m_file, aside, failed);
    m_bKeepInPlace = static_cast<bool>(failed);
    error = failed ? "The walls file " + m_file.string() +
                         " cannot be read and could not be moved aside; it is left as it is."
                   : "The walls file " + m_file.string() + " cannot be read; it was kept as " +
                         aside.string() + ".";
    return false;
}

bool CWallFile::Save(const std::vector<NamedWall>& walls) const
{
    if (m_bKeepInPlace)
    {
        return false;
    }
    std::string bytes = "# Quillon walls\n";
    for (const NamedWall& wall : walls)
    {
        bytes += "wall " + std::to_string(wall.columns) + " " + ToUtf8(wall.name) + "\n";
        for (size_t i = 0; i < wall.tiles.size(); ++i)
        {
            if (!wall.tiles[i].dvrName.empty())
            {
                bytes += "tile " + std::to_string(i) + " " + std::to_string(wall.tiles[i].channel) +
                         " " + ToUtf8(wall.tiles[i].dvrName) + "\n";
            }
        }
    }
    std::error_code ignored;
    std::filesystem::create_directories(m_file.parent_path(), ignored);
    return m_writer.Replace(m_file, bytes);
}
