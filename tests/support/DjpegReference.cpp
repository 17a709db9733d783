// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/DjpegReference.h"

#include "protocol/ByteOrder.h"

#include <cstdio>
#include <sstream>

namespace
{
std::string RunCommand(const std::string& command)
{
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
    {
        return output;
    }
    char buffer[65536];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
    {
        output.append(buffer, n);
    }
    pclose(pipe);
    return output;
}

std::string Quoted(const std::string& path)
{
    return "'" + path + "'";
}
} // namespace

bool DecodeWithDjpeg(const std::string& path, ReferencePicture& picture, int denominator)
{
    const std::string scale =
        denominator > 1 ? "-scale 1/" + std::to_string(denominator) + " " : std::string();
    const std::string bmp = RunCommand("djpeg -bmp " + scale + Quoted(path) + " 2>/dev/null");
    if (bmp.size() < 54 || bmp[0] != 'B' || bmp[1] != 'M')
    {
        return false;
    }
    const auto* bytes = reinterpret_cast<const uint8_t*>(bmp.data());
    const uint32_t offset = ReadLittleEndian32(bytes + 10);
    picture.width = static_cast<int32_t>(ReadLittleEndian32(bytes + 18));
    picture.height = static_cast<int32_t>(ReadLittleEndian32(bytes + 22));
    const unsigned bitCount = bytes[28] | (bytes[29] << 8);
    picture.stride = (static_cast<size_t>(picture.width) * 3 + 3) / 4 * 4;
    if (bitCount != 24 || bmp.size() < offset + picture.stride * picture.height)
    {
        return false;
    }
    picture.bits.assign(bytes + offset, bytes + offset + picture.stride * picture.height);
    return true;
}

std::string DjpegErrorMessage(const std::string& path)
{
    std::string message = RunCommand("djpeg -bmp " + Quoted(path) + " 2>&1 >/dev/null");
    const std::string prefix = "djpeg: ";
    if (message.rfind(prefix, 0) == 0)
    {
        message.erase(0, prefix.size());
    }
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r'))
    {
        message.pop_back();
    }
    return message;
}

bool DecodeGreyWithDjpeg(const std::string& path, ReferencePicture& picture)
{
    const std::string pgm = RunCommand("djpeg -pnm " + Quoted(path) + " 2>/dev/null");
    std::istringstream in(pgm);
    std::string magic;
    int maxValue = 0;
    in >> magic >> picture.width >> picture.height >> maxValue;
    if (magic != "P5" || maxValue != 255)
    {
        return false;
    }
    in.get();
    const auto start = static_cast<size_t>(in.tellg());
    picture.stride = static_cast<size_t>(picture.width);
    if (pgm.size() < start + picture.stride * picture.height)
    {
        return false;
    }
    picture.bits.assign(pgm.begin() + static_cast<std::ptrdiff_t>(start), pgm.end());
    return true;
}

void ReferenceDeinterlace(ReferencePicture& picture)
{
    const size_t rowBytes = static_cast<size_t>(picture.width) * 3;
    auto row = [&](int index)
    { return picture.bits.data() + static_cast<size_t>(index) * picture.stride; };
    const int n = picture.height / 2 - 1;
    for (int k = 0; k < n; ++k)
    {
        for (size_t i = 0; i < rowBytes; ++i)
        {
            row(2 * k + 1)[i] = static_cast<uint8_t>((row(2 * k)[i] + row(2 * k + 2)[i]) / 2);
        }
    }
    for (size_t i = 0; i < rowBytes; ++i)
    {
        row(2 * n + 1)[i] = row(2 * n)[i];
    }
}
