// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/Protocol.h"

#include "directory/DvrConnectInfo.h"
#include "platform/TextCodec.h"
#include "protocol/ByteOrder.h"
#include "res/ResourceIds.h"

#include <algorithm>
#include <cstdio>

namespace
{
// Only what no CGI query gives a meaning to goes as it is, so the DVR decodes
// exactly what was typed.
bool MustEncode(char16_t c)
{
    const bool unreserved = (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') ||
                            (c >= u'a' && c <= u'z') || c == u'-' || c == u'.' || c == u'_' ||
                            c == u'~';
    return !unreserved;
}

std::u16string Format(const char* format, auto... values)
{
    char buffer[128];
    const int n = std::snprintf(buffer, sizeof buffer, format, values...);
    // snprintf tells the length it wanted, which may exceed what it wrote.
    const size_t written = n > 0 ? std::min(static_cast<size_t>(n), sizeof buffer - 1) : 0;
    return FromAscii(std::string_view(buffer, written));
}
} // namespace

unsigned ChannelIndexFromMask(uint32_t mask)
{
    for (unsigned bit = 0; bit < 16; ++bit)
    {
        if (mask & (1u << bit))
        {
            return bit;
        }
    }
    return 0;
}

std::u16string EncodeQueryValue(std::u16string_view text)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::u16string out;
    size_t i = 0;
    while (i < text.size())
    {
        // Take a whole surrogate pair at once so it becomes one UTF-8 sequence.
        size_t n = 1;
        if (text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size() &&
            text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
        {
            n = 2;
        }
        if (!MustEncode(text[i]))
        {
            out += text[i];
        }
        else
        {
            for (unsigned char byte : ToUtf8(text.substr(i, n)))
            {
                out += u'%';
                out += static_cast<char16_t>(kHex[byte >> 4]);
                out += static_cast<char16_t>(kHex[byte & 0x0F]);
            }
        }
        i += n;
    }
    return out;
}

std::u16string BuildLoginObject(const DvrConnectInfo& info)
{
    std::u16string object = FromAscii(kCgiPath);
    object += Format("?MODE=%d&ID=", kLoginMode);
    object += EncodeQueryValue(FieldText(info.User));
    object += u"&PW=";
    object += EncodeQueryValue(FieldText(info.Password));
    object += Format("&VER=%d&CH=%x", kProtocolVersion, info.ChannelMask);
    return object;
}

std::u16string FormatSelectChannelBody(unsigned clientId, uint32_t channelMask)
{
    return Format("MODE=%d&CID=%d&OP=%d&CH=%x", kCommandMode, clientId, OP_SELECT_CHANNEL,
                  channelMask);
}

std::u16string FormatLogoutBody(unsigned clientId)
{
    return Format("MODE=%d&CID=%d&OP=%d", kCommandMode, clientId, OP_LOGOUT);
}

std::u16string FormatCameraCommandBody(unsigned clientId, unsigned channelIndex,
                                       std::u16string_view commandText)
{
    return Format("MODE=%d&CID=%d&OP=%d&CH=%d&LEN=1&REQ=", kCommandMode, clientId, OP_PTZ,
                  channelIndex) +
           std::u16string(commandText);
}

unsigned ErrorStringId(uint8_t errorCode)
{
    switch (errorCode)
    {
    case 1:
        return IDS_ERROR_USER_UNKNOWN;
    case 2:
        return IDS_ERROR_PASSWORD_MISS;
    case 3:
        return IDS_ERROR_PROTOCOL_VERSION;
    case 4:
        return IDS_ERROR_CLIENT_LIMIT;
    case 5:
        return IDS_ERROR_SUPER_EXIST;
    case 6:
        return IDS_ERROR_NO_VIDEO_DATA;
    case 7:
        return IDS_ERROR_NO_VIDEO_CHANNEL;
    case 14:
        return IDS_ERROR_CONNECTION_TIME_OUT;
    default:
        return IDS_ERROR_ETC;
    }
}

std::vector<uint8_t> BuildPacket(uint8_t clientId, uint8_t type, const uint8_t* payload,
                                 uint32_t length)
{
    std::vector<uint8_t> packet;
    AppendPacket(packet, clientId, type, {std::span<const uint8_t>(payload, length)});
    return packet;
}

void AppendPacket(std::vector<uint8_t>& out, uint8_t clientId, uint8_t type,
                  std::initializer_list<std::span<const uint8_t>> payload)
{
    size_t length = 0;
    for (const std::span<const uint8_t> piece : payload)
    {
        length += piece.size();
    }
    out.reserve(out.size() + kPacketOverhead + length);
    uint8_t header[kPacketHeaderSize];
    std::copy(std::begin(kStartMarker), std::end(kStartMarker), header);
    header[4] = clientId;
    header[5] = type;
    WriteBigEndian32(&header[6], static_cast<uint32_t>(length));
    out.insert(out.end(), std::begin(header), std::end(header));
    for (const std::span<const uint8_t> piece : payload)
    {
        out.insert(out.end(), piece.begin(), piece.end());
    }
    out.insert(out.end(), std::begin(kEndMarker), std::end(kEndMarker));
}
