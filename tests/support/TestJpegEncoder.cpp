// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/TestJpegEncoder.h"

#include "JpegEncoder.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

std::vector<uint8_t> EncodeTestJpeg(const TestJpegSpec& spec,
                                    const std::function<uint8_t(int, int, int)>& sample)
{
    std::vector<uint8_t> samples(static_cast<size_t>(spec.width) * spec.height * spec.components);
    size_t at = 0;
    for (int y = 0; y < spec.height; ++y)
    {
        for (int x = 0; x < spec.width; ++x)
        {
            for (int c = 0; c < spec.components; ++c)
            {
                samples[at++] = sample(x, y, c);
            }
        }
    }
    return JpegEncoder::Encode(samples.data(), static_cast<unsigned>(spec.width),
                               static_cast<unsigned>(spec.height),
                               {.components = spec.components,
                                .quality = spec.quality,
                                .progressive = spec.progressive});
}

uint8_t PatternSample(int x, int y, int component)
{
    const int stripes = ((y / 3) % 2) * 60;
    const int blocks = (((x / 17) + (y / 11)) % 2) * 50;
    return static_cast<uint8_t>((x * (component + 1) + y * (3 - component) + stripes + blocks) &
                                0xFF);
}

std::string WriteTempFile(const std::vector<uint8_t>& bytes)
{
    char path[] = "/tmp/quillon-jpeg-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0)
    {
        return {};
    }
    size_t written = 0;
    while (written < bytes.size())
    {
        const ssize_t n = write(fd, bytes.data() + written, bytes.size() - written);
        if (n <= 0)
        {
            break;
        }
        written += static_cast<size_t>(n);
    }
    close(fd);
    return path;
}
