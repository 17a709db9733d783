// SPDX-License-Identifier: GPL-3.0-or-later
#include "record/ClipNames.h"

#include "directory/DvrEntry.h"
#include "platform/TextCodec.h"
#include "record/ClipErrors.h"

#include <cstdlib>
#include <ctime>
#include <fstream>

namespace
{
std::string SafeName(std::u16string_view dvrName)
{
    std::u16string name;
    const size_t first = dvrName.find_first_not_of(u" \t");
    const size_t last = dvrName.find_last_not_of(u" \t");
    if (first != std::u16string_view::npos)
    {
        for (const char16_t c : dvrName.substr(first, last - first + 1))
        {
            const bool unsafe =
                c < 0x20 || c == 0x7f ||
                std::u16string_view(u"/\\:*?\"<>|").find(c) != std::u16string_view::npos;
            name += unsafe ? u'_' : c;
        }
    }
    // A name of dots alone would be this folder or the one above.
    if (name.find_first_not_of(u'.') == std::u16string::npos)
    {
        name = u"DVR";
    }
    return ToUtf8(name);
}

std::filesystem::path EnvironmentPath(const char* name)
{
    const char* value = std::getenv(name);
    return value && *value == '/' ? std::filesystem::path(value) : std::filesystem::path();
}
} // namespace

std::string ClipFileName(std::u16string_view dvrName, int channel,
                         std::chrono::system_clock::time_point start)
{
    const std::time_t seconds =
        std::chrono::system_clock::to_time_t(std::chrono::floor<std::chrono::seconds>(start));
    std::tm local{};
    ::localtime_r(&seconds, &local);
    char when[32];
    std::strftime(when, sizeof when, "%Y-%m-%d_%H-%M-%S", &local);
    return SafeName(dvrName) + '_' + ToUtf8(ChannelLabel(channel)) + '_' + when + ".mkv";
}

std::filesystem::path ClipFolderIn(const std::filesystem::path& home,
                                   const std::filesystem::path& configHome)
{
    std::filesystem::path videos;
    std::ifstream dirs(configHome / "user-dirs.dirs");
    std::string line;
    while (std::getline(dirs, line))
    {
        constexpr std::string_view key = "XDG_VIDEOS_DIR=\"";
        if (!line.starts_with(key) || !line.ends_with('"'))
        {
            continue;
        }
        std::string value = line.substr(key.size(), line.size() - key.size() - 1);
        if (value.starts_with("$HOME"))
        {
            value = home.string() + value.substr(5);
        }
        if (value.starts_with('/'))
        {
            videos = std::filesystem::path(value).lexically_normal();
        }
    }
    // A videos folder set to home itself means the user turned it off.
    if (videos.empty() || videos == (home / "").lexically_normal() || videos == home)
    {
        videos = home / "Videos";
    }
    return videos / "Quillon";
}

std::filesystem::path MakeClipFolder(std::u16string& error)
{
    const std::filesystem::path home = EnvironmentPath("HOME");
    std::filesystem::path config = EnvironmentPath("XDG_CONFIG_HOME");
    if (config.empty())
    {
        config = home / ".config";
    }
    const std::filesystem::path folder = ClipFolderIn(home, config);
    std::error_code made;
    std::filesystem::create_directories(folder, made);
    if (made)
    {
        error = ClipErrorText(made.value(), folder / "");
        return {};
    }
    return folder;
}

std::filesystem::path UnusedClipPath(const std::filesystem::path& folder, const std::string& name)
{
    const std::filesystem::path given(name);
    std::filesystem::path candidate = folder / given;
    std::error_code ignored;
    for (int n = 2; std::filesystem::exists(candidate, ignored); ++n)
    {
        candidate =
            folder / (given.stem().string() + '_' + std::to_string(n) + given.extension().string());
    }
    return candidate;
}
