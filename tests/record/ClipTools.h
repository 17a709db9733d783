// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/CFrameHistory.h"
#include "history/CHistoryBudget.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

// What ffprobe, a reader independent of our writer, finds in a file.
struct ProbedClip
{
    int exitStatus = -1;
    std::string errors;
    std::vector<std::string> codecs; // one per stream
    int width = 0;
    int height = 0;
    std::vector<int64_t> pts;                // of every packet, in milliseconds
    std::map<std::string, std::string> tags; // the file's, keys in lower case
};
ProbedClip Probe(const std::filesystem::path& file);

// `ffmpeg -i FILE -c copy -f image2`: every packet as a file of its own, in order.
std::vector<std::vector<uint8_t>> ExtractJpegs(const std::filesystem::path& file);

// What `ffmpeg -v error -i FILE -f null -` prints while decoding every frame;
// "exit N" is added when it fails.
std::string DecodeErrors(const std::filesystem::path& file);

// Distinct JPEGs of the decoder tests' busy pattern, each shifted by its number.
std::vector<uint8_t> NumberedJpeg(int number, int width = 176, int height = 144);

// A frame as the receiver stores it.
HistoryFrameInfo FrameAt(std::chrono::steady_clock::time_point arrived, uint8_t channel = 2);

// A camera's history and the distinct pictures stored in it, all made before the first
// is stored, so that storing takes no time out of a pre-roll.
struct StoredCamera
{
    explicit StoredCamera(int pictures)
    {
        for (int n = 0; n < pictures; ++n)
        {
            jpegs.push_back(NumberedJpeg(n, 96, 64));
        }
    }
    void Store(std::chrono::steady_clock::time_point at, uint8_t channel = 2)
    {
        const std::vector<uint8_t>& jpeg = jpegs.at(arrivals.size());
        arrivals.push_back(at);
        history.Store(jpeg.data(), jpeg.size(), FrameAt(at, channel));
    }
    // The pictures stored from the `from`th to before the `to`th, in order.
    std::vector<std::vector<uint8_t>> Stored(size_t from, size_t to = SIZE_MAX) const
    {
        return {jpegs.begin() + static_cast<long>(from),
                jpegs.begin() + static_cast<long>(std::min(to, arrivals.size()))};
    }

    CHistoryBudget budget{64 << 20};
    CFrameHistory history{budget};
    std::vector<std::vector<uint8_t>> jpegs;
    std::vector<std::chrono::steady_clock::time_point> arrivals;
};

// The names in a folder, sorted.
std::vector<std::string> FolderNames(const std::filesystem::path& folder);
