// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct DvrConnectInfo;

constexpr int kLoginMode = 8;
constexpr int kCommandMode = 5;
constexpr int kProtocolVersion = 3000;

constexpr uint32_t OP_SELECT_CHANNEL = 3;
constexpr uint32_t OP_LOGOUT = 5;
constexpr uint32_t OP_PTZ = 7;

constexpr char kCgiPath[] = "/cgi-bin/webapp.cgi";
constexpr char kCommandObject[] = "/cgi-bin/webapp.cgi?";
constexpr char kLoginAgent[] = "Palmeye";
constexpr char kCommandAgent[] = "DODIZERARAZ";
constexpr char kCommandContentType[] = "Content-Type: application/x-www-form-urlencoded";

// Packet framing of the login response stream.
constexpr uint8_t kStartMarker[4] = {0xFB, 0xFB, 0xFB, 0xFC};
constexpr uint8_t kEndMarker[4] = {0xFB, 0xFB, 0xFB, 0xFD};
constexpr uint32_t kPacketHeaderSize = 10; // start marker, client id, type, length
constexpr uint32_t kPacketOverhead = 14;   // header and end marker
constexpr uint32_t kMaxPayloadLength = 524284;

enum PacketType : uint8_t
{
    PKT_ERROR = 1,
    PKT_FRAME = 13,
    PKT_LOGIN_REPLY = 20,
};

// The login reply's payload. Byte 0 is the DVR's channel count; the rest is
// carried to the main frame unread.
struct DvrInfoBlock
{
    static constexpr size_t kSize = 214;
    uint8_t bytes[kSize];

    unsigned ChannelCount() const { return bytes[0]; }
};

// Camera commands name one channel: the lowest set bit among bits 0 to 15, or 0.
unsigned ChannelIndexFromMask(uint32_t mask);

// "/cgi-bin/webapp.cgi?MODE=8&ID=..&PW=..&VER=3000&CH=<hex mask>". User and
// password are percent-encoded as UTF-8, all but letters, digits and "-._~".
std::u16string BuildLoginObject(const DvrConnectInfo& info);
std::u16string EncodeQueryValue(std::u16string_view text);

std::u16string FormatSelectChannelBody(unsigned clientId, uint32_t channelMask);
std::u16string FormatLogoutBody(unsigned clientId);
std::u16string FormatCameraCommandBody(unsigned clientId, unsigned channelIndex,
                                       std::u16string_view commandText);

// DVR error codes of an error packet: the string id of their message.
unsigned ErrorStringId(uint8_t errorCode);

// One whole packet as the DVR sends it; for the simulator, tests and benchmarks.
std::vector<uint8_t> BuildPacket(uint8_t clientId, uint8_t type, const uint8_t* payload,
                                 uint32_t length);
// The same packet appended to out, its payload the pieces one after another, so a
// sender holding the payload in parts copies each byte once.
void AppendPacket(std::vector<uint8_t>& out, uint8_t clientId, uint8_t type,
                  std::initializer_list<std::span<const uint8_t>> payload);
