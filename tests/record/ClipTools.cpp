// SPDX-License-Identifier: GPL-3.0-or-later
#include "ClipTools.h"

#include "support/TempFolder.h"
#include "support/TestJpegEncoder.h"

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace
{
// Runs a shell command; its output (and errors, with 2>&1) and its exit status.
std::string Run(const std::string& command, int& status)
{
    std::string output;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr)
    {
        status = -1;
        return output;
    }
    char buffer[4096];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
    {
        output.append(buffer, got);
    }
    const int raw = ::pclose(pipe);
    status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return output;
}

std::string Quoted(const std::filesystem::path& path)
{
    return "'" + path.string() + "'";
}
} // namespace

ProbedClip Probe(const std::filesystem::path& file)
{
    ProbedClip clip;
    const std::string output =
        Run("ffprobe -v error -show_entries stream=codec_name,width,height:format_tags:packet=pts "
            "-of default=noprint_wrappers=1 " +
                Quoted(file) + " 2>&1",
            clip.exitStatus);
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line))
    {
        const size_t equals = line.find('=');
        if (equals == std::string::npos)
        {
            clip.errors += line + '\n';
            continue;
        }
        std::string key = line.substr(0, equals);
        const std::string value = line.substr(equals + 1);
        if (key == "pts")
        {
            clip.pts.push_back(std::stoll(value));
        }
        else if (key == "codec_name")
        {
            clip.codecs.push_back(value);
        }
        else if (key == "width")
        {
            clip.width = std::stoi(value);
        }
        else if (key == "height")
        {
            clip.height = std::stoi(value);
        }
        else if (key.starts_with("TAG:"))
        {
            key = key.substr(4);
            std::transform(key.begin(), key.end(), key.begin(), ::tolower);
            clip.tags[key] = value;
        }
        else
        {
            clip.errors += line + '\n';
        }
    }
    return clip;
}

std::vector<std::vector<uint8_t>> ExtractJpegs(const std::filesystem::path& file)
{
    TempFolder out;
    int status = 0;
    Run("ffmpeg -nostdin -v error -i " + Quoted(file) + " -c copy -f image2 " +
            Quoted(out.Path() / "f%05d.jpg") + " 2>&1",
        status);
    std::vector<std::vector<uint8_t>> jpegs;
    for (const std::string& name : FolderNames(out.Path()))
    {
        const std::string bytes = ReadBytes(out.Path() / name);
        jpegs.emplace_back(bytes.begin(), bytes.end());
    }
    return jpegs;
}

std::string DecodeErrors(const std::filesystem::path& file)
{
    int status = 0;
    std::string output =
        Run("ffmpeg -nostdin -v error -i " + Quoted(file) + " -f null - 2>&1", status);
    if (status != 0)
    {
        output += "exit " + std::to_string(status);
    }
    return output;
}

std::vector<uint8_t> NumberedJpeg(int number, int width, int height)
{
    TestJpegSpec spec;
    spec.width = width;
    spec.height = height;
    spec.quality = 75;
    return EncodeTestJpeg(spec, [number](int x, int y, int component)
                          { return PatternSample(x + number * 3, y + number, component); });
}

HistoryFrameInfo FrameAt(std::chrono::steady_clock::time_point arrived, uint8_t channel)
{
    HistoryFrameInfo info;
    info.arrived = arrived;
    info.arrivedClock = std::chrono::system_clock::now() -
                        std::chrono::duration_cast<std::chrono::system_clock::duration>(
                            std::chrono::steady_clock::now() - arrived);
    info.channel = channel;
    info.kind = 2;
    return info;
}

std::vector<std::string> FolderNames(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ignored))
    {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}
