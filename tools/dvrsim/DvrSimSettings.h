// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

struct DvrAccount
{
    std::string user;
    std::string password;
};

struct PictureSize
{
    unsigned width = 320;
    unsigned height = 240;
};

// Faults the simulator commits on purpose, so that clients can be tested against them.
// The first four and noHeaders are taken when a login is admitted; the frame faults (junk, JPEG,
// end marker, length, pause) apply from the next frame of every stream; the refusal to the next
// login.
struct DvrMisbehaviour
{
    bool silentAfterLogin =
        false; // login reply, then nothing until logout, stop or the client leaves
    bool closeAfterLogin = false;    // login reply, then the connection is closed
    bool closeBeforePackets = false; // response headers, then the connection is closed
    std::vector<size_t>
        writeSizes;       // body written in pieces of these sizes, repeated; empty: whole packets
    size_t junkBytes = 0; // junk bytes before every frame packet
    bool damagedJpeg = false;    // frames carry a JPEG that every decoder rejects
    bool wrongEndMarker = false; // frame packets end with 0xFB 0xFB 0xFB 0xFE
    bool oversizeLength = false; // frame packets declare a payload length over the limit
    uint8_t refuseLoginCode = 0; // not 0: every login is answered with this error code
    bool noHeaders = false;     // the login is answered with the bare packet stream, no status line
    size_t closeAfterBytes = 0; // not 0: the connection is cut after this many body bytes
    uint32_t declaredLength = 0; // not 0: frame packets declare this payload length
    bool hugeJpeg = false;       // frames carry a JPEG that declares 65535 x 65535 pixels
    bool pauseFrames = false;    // no frames while set; every stream stays open
    // Not 0: every request is answered with this HTTP status and a line of text, as
    // a web server that is no DVR answers.
    unsigned answerStatus = 0;
};

// Where frames come from. Pre-encoded frames and replays cost the simulator next
// to nothing, so that an unthrottled stream measures the client, not the encoder.
struct DvrFrameSource
{
    bool preEncoded = false;  // each channel's picture encoded once, then sent again
    bool unthrottled = false; // frames as fast as the client takes them; the rate is ignored
    // Not null and not empty: these JPEGs in turn, on every channel. Shared, so
    // that copying the settings stays cheap.
    std::shared_ptr<const std::vector<std::vector<uint8_t>>> replay;
    // Bit n: channel n plays the replay in turn; any other holds its first JPEG, a
    // still scene of the same camera.
    uint16_t replayChannels = 0xFFFF;
};

struct DvrSimSettings
{
    static constexpr unsigned kMaxChannels = 16;

    std::string bindAddress = "127.0.0.1";
    uint16_t port = 0; // 0: the system picks a free port
    unsigned channelCount = 4;
    std::vector<DvrAccount> accounts = {{"ADMIN", "1234"}};
    std::array<PictureSize, kMaxChannels> sizes{};
    uint16_t videoLossMask = 0; // bit n: channel n has no video
    double framesPerSecond = 5;
    unsigned clientLimit = 16; // logins beyond this many streams get error 4
    std::string modelName = "QUILLON DVR SIMULATOR";
    DvrMisbehaviour misbehaviour;
    DvrFrameSource frameSource;
};

// One request as it arrived, for tests to compare byte for byte.
struct DvrRequestRecord
{
    std::string method;
    std::string target;
    std::string version;
    std::vector<std::pair<std::string, std::string>> headers; // in arrival order, names as sent
    std::string body;
    std::string outcome; // what the simulator made of it, e.g. "login client 3 channel 0"
    std::chrono::steady_clock::time_point received; // when the request was complete
};

// Position of one channel's camera.
struct CameraState
{
    int pan = 0;    // degrees, 0 to 359
    int tilt = 0;   // degrees, -60 to 60
    int zoom = 10;  // tenths of magnification, 10 to 100
    int focus = 50; // 0 (near) to 99 (far)

    bool operator==(const CameraState&) const = default;
};
