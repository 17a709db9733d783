// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Makes JPEGs for tests and benchmarks with libjpeg's own compressor.
struct TestJpegSpec
{
    int width = 16;
    int height = 16;
    // 1 grey, 3 RGB (stored as YCbCr), 4 CMYK.
    int components = 3;
    bool progressive = false;
    int quality = 90;
};

// sample(x, y, component) gives each input sample.
std::vector<uint8_t> EncodeTestJpeg(const TestJpegSpec& spec,
                                    const std::function<uint8_t(int, int, int)>& sample);

// A busy pattern of gradients and edges, so every row differs from its neighbours.
uint8_t PatternSample(int x, int y, int component);

// Writes bytes to a fresh file under the temporary folder and returns its path.
std::string WriteTempFile(const std::vector<uint8_t>& bytes);
