// SPDX-License-Identifier: GPL-3.0-or-later
#include "ClipTools.h"

#include "support/TempFolder.h"
#include "support/TestJpegEncoder.h"

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <functional>
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
    using Field = std::function<void(const std::string&)>;
    const std::map<std::string, Field> fields = {
        {"pts", [&](const std::string& value) { clip.pts.push_back(std::stoll(value)); }},
        {"codec_name", [&](const std::string& value) { clip.codecs.push_back(value); }},
        {"width", [&](const std::string& value) { clip.width = std::stoi(value); }},
        {"height", [&](const std::string& value) { clip.height = std::stoi(value); }}};
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line))
    {
        const size_t equals = std::min(line.find('='), line.size());
        std::string key = line.substr(0, equals);
        const auto field = fields.find(key);
        if (key.starts_with("TAG:") && equals < line.size())
        {
            std::transform(key.begin(), key.end(), key.begin(), ::tolower);
            clip.tags[key.substr(4)] = line.substr(equals + 1);
        }
        else if (field != fields.end() && equals < line.size())
        {
            field->second(line.substr(equals + 1));
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
