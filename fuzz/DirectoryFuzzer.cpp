// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes may be the directory file: loading never fails, every line is a row
// or kept, and a save and a second load give back every row and every line the
// reader could not use.
#include "directory/DvrDirectory.h"
#include "platform/SilentMessageBox.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace
{
std::filesystem::path ScratchFile()
{
    // tmpfs where there is one: the save's fsync costs nothing there.
    const std::filesystem::path base = std::filesystem::exists("/dev/shm")
                                           ? std::filesystem::path("/dev/shm")
                                           : std::filesystem::temp_directory_path();
    std::string folder = (base / "quillon-directory-fuzz.XXXXXX").string();
    if (::mkdtemp(folder.data()) == nullptr)
    {
        std::abort();
    }
    return std::filesystem::path(folder) / "IPList.db";
}

// Lines of the file as the reader cuts them: at each U+000A, the last one without it too.
size_t LineCount(const uint8_t* data, size_t size)
{
    size_t lines = 0;
    bool open = false;
    for (size_t i = 0; i + 1 < size; i += 2)
    {
        const bool end = data[i] == 0x0A && data[i + 1] == 0;
        lines += end ? 1 : 0;
        open = !end;
    }
    return lines + (open ? 1 : 0);
}

bool SameRows(const DvrRowList& a, const DvrRowList& b)
{
    if (a.Rows.size() != b.Rows.size() || a.UnreadLines != b.UnreadLines)
    {
        return false;
    }
    for (size_t i = 0; i < a.Rows.size(); ++i)
    {
        for (int column = 0; column < kColumnCount; ++column)
        {
            if (a.Rows[i].Columns[column] != b.Rows[i].Columns[column])
            {
                return false;
            }
        }
        if (a.Rows[i].Password != b.Rows[i].Password)
        {
            return false;
        }
    }
    return true;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::filesystem::path file = ScratchFile();
    static SilentMessageBox boxes;
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    DvrRowList first;
    LoadDirectory(first, file, boxes);
    if (!first.ReadFailure.empty() ||
        first.Rows.size() + first.UnreadLines.size() != LineCount(data, size))
    {
        std::abort();
    }
    const DvrRowList loaded = first;
    if (!SaveDirectory(first, file))
    {
        std::abort();
    }
    DvrRowList second;
    LoadDirectory(second, file, boxes);
    if (!SameRows(loaded, second))
    {
        std::abort();
    }
    // Each line alone, as the Add DVR path and the file reader see them.
    std::u16string text;
    for (size_t i = 0; i + 1 < size; i += 2)
    {
        text += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    }
    if (const auto entry = ParseEntryLine(text))
    {
        DvrRowList rows;
        if (!AddEntry(rows, *entry, boxes) ||
            !ParseEntryLine(FormatEntryLine(rows.Rows.front())).has_value())
        {
            std::abort();
        }
    }
    return 0;
}
