// SPDX-License-Identifier: GPL-3.0-or-later
#include "MotionScenes.h"

#include <turbojpeg.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace motion_scenes
{
std::string WalkingFramePath(int index)
{
    char name[32];
    std::snprintf(name, sizeof name, "/motion/walking-%02d.jpg", index);
    return QUILLON_TESTDATA_DIR + std::string(name);
}

std::vector<uint8_t> ReadWalkingFrame(int index)
{
    std::ifstream in(WalkingFramePath(index), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void MotionWatch::Count(CMotionDetector::Verdict verdict, CMotionDetector::Clock::duration since,
                        bool shown)
{
    ++verdicts[verdict];
    shownAsMotion = shownAsMotion || shown;
    if (verdict == CMotionDetector::Verdict::Motion)
    {
        firstMotion = firstMotion.value_or(since);
        secondsWithMotion.insert(std::chrono::duration_cast<std::chrono::seconds>(since).count());
    }
}

NoisyStill::NoisyStill(const std::vector<uint8_t>& jpeg)
{
    tjhandle handle = tjInitDecompress();
    int subsampling = 0;
    int colourspace = 0;
    if (tjDecompressHeader3(handle, jpeg.data(), jpeg.size(), &m_nWidth, &m_nHeight, &subsampling,
                            &colourspace) == 0)
    {
        m_grey.resize(static_cast<size_t>(m_nWidth) * static_cast<size_t>(m_nHeight));
        tjDecompress2(handle, jpeg.data(), jpeg.size(), m_grey.data(), m_nWidth, m_nWidth,
                      m_nHeight, TJPF_GRAY, 0);
    }
    tjDestroy(handle);
    m_work.resize(m_grey.size());
    // Twelve uniforms make a near-normal sample; drawn once, looked up per pixel.
    for (float& value : m_gaussian)
    {
        float sum = -6.0f;
        for (int i = 0; i < 12; ++i)
        {
            sum += static_cast<float>(Random() >> 40) / 16777216.0f;
        }
        value = sum;
    }
}

uint64_t NoisyStill::Random()
{
    uint64_t z = m_state += 0x9e3779b97f4a7c15ull;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
}

std::vector<uint8_t> NoisyStill::Frame(float gain, float offset)
{
    // Each grey level gets 256 noisy values drawn for this frame, and each pixel one of
    // its level's, by a byte of the generator: a look-up a pixel, fast in every build.
    const size_t base = Random();
    for (size_t v = 0; v < 256; ++v)
    {
        const float level = static_cast<float>(v) * gain + offset;
        // Shot noise grows with the light; read noise is there in the dark too.
        const float sigma = 2.0f + 0.015f * std::max(level, 0.0f);
        for (size_t k = 0; k < 256; ++k)
        {
            const float noisy = level + sigma * m_gaussian[(base + v * 256 + k) & 0xffff] + 0.5f;
            m_noisy[v * 256 + k] = static_cast<uint8_t>(std::clamp(noisy, 0.0f, 255.0f));
        }
    }
    uint64_t bits = 0;
    for (size_t i = 0; i < m_grey.size(); ++i)
    {
        if (i % 8 == 0)
        {
            bits = Random();
        }
        m_work[i] = m_noisy[m_grey[i] * 256u + (bits & 0xff)];
        bits >>= 8;
    }
    return EncodeGrey(m_work, m_nWidth, m_nHeight);
}

std::vector<uint8_t> EncodeGrey(const std::vector<uint8_t>& grey, int width, int height,
                                int quality)
{
    tjhandle handle = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    std::vector<uint8_t> jpeg;
    if (tjCompress2(handle, grey.data(), width, width, height, TJPF_GRAY, &out, &size, TJSAMP_GRAY,
                    quality, 0) == 0)
    {
        jpeg.assign(out, out + size);
    }
    tjFree(out);
    tjDestroy(handle);
    return jpeg;
}
} // namespace motion_scenes
