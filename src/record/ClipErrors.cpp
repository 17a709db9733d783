// SPDX-License-Identifier: GPL-3.0-or-later
#include "record/ClipErrors.h"

#include "platform/TextCodec.h"
#include "res/ResourceIds.h"
#include "res/StringTable.h"

#include <cerrno>
#include <cstring>

namespace
{
std::u16string Filled(unsigned id, std::u16string_view first, std::u16string_view second = {})
{
    std::u16string text = LoadString(id);
    for (const auto& [mark, value] : {std::pair{u"%1", first}, std::pair{u"%2", second}})
    {
        const size_t at = text.find(mark);
        if (at != std::u16string::npos)
        {
            text.replace(at, 2, value);
        }
    }
    return text;
}
} // namespace

std::u16string ClipErrorText(int error, const std::filesystem::path& file)
{
    const std::u16string name = FromUtf8(file.string());
    switch (error)
    {
    case ENOSPC:
    case EDQUOT:
        return LoadString(IDS_CLIP_DISK_FULL);
    case EACCES:
    case EPERM:
    case EROFS:
    case ENOENT:
    case ENOTDIR:
        return Filled(IDS_CLIP_CANNOT_WRITE_FOLDER, FromUtf8(file.parent_path().string()));
    case EEXIST:
        return Filled(IDS_CLIP_EXISTS, name);
    case EFBIG:
        return Filled(IDS_CLIP_TOO_LARGE, name);
    default:
        return Filled(IDS_CLIP_WRITE_FAILED, name, FromUtf8(std::strerror(error)));
    }
}
