// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/CPacketParser.h"

#include "protocol/ByteOrder.h"
#include "protocol/Protocol.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace
{
// A whole largest packet, plus room for the chunk that completes it and the
// bytes carried in front of it.
constexpr size_t kInitialCapacity = kPacketOverhead + kMaxPayloadLength + 20480;

bool IsMarker(const uint8_t* p, const uint8_t (&marker)[4])
{
    return std::memcmp(p, marker, 4) == 0;
}
} // namespace

CPacketParser::CPacketParser()
{
    std::memset(m_header, 0, sizeof m_header);
}

CPacketParser::~CPacketParser() = default;

void CPacketParser::InitBuffers()
{
    m_count = 0;
    m_nHandedOut = 0;
    if (!m_pending)
    {
        m_pending = std::make_unique_for_overwrite<uint8_t[]>(kInitialCapacity);
        m_capacity = kInitialCapacity;
    }
}

void CPacketParser::FreeBuffers()
{
    m_pending.reset();
    m_capacity = 0;
    m_count = 0;
    m_nHandedOut = 0;
}

void CPacketParser::Append(const uint8_t* bytes, uint32_t count)
{
    if (m_count + count > m_capacity)
    {
        // Only a caller that feeds more than a chunk at a time gets here.
        const size_t capacity = std::max(m_capacity * 2, m_count + count);
        auto grown = std::make_unique_for_overwrite<uint8_t[]>(capacity);
        std::memcpy(grown.get(), m_pending.get(), m_count);
        m_pending = std::move(grown);
        m_capacity = capacity;
    }
    std::memcpy(m_pending.get() + m_count, bytes, count);
    m_count += count;
}

void CPacketParser::Discard(size_t count)
{
    if (count == 0)
    {
        return;
    }
    std::memmove(m_pending.get(), m_pending.get() + count, m_count - count);
    m_count -= count;
}

void CPacketParser::KeepPossibleMarkerTail()
{
    // Carry the tail: a start marker may be split across two reads.
    size_t keep = std::min<size_t>(m_count, 3);
    while (keep > 0 && std::memcmp(m_pending.get() + m_count - keep, kStartMarker, keep) != 0)
    {
        --keep;
    }
    Discard(m_count - keep);
}

int CPacketParser::Feed(uint8_t* out, const uint8_t* bytes, uint32_t count)
{
    Packet packet;
    if (Next(packet, bytes, count) == 0)
    {
        return 0;
    }
    out[0] = packet.type;
    WriteLittleEndian32(out + 1, packet.length);
    std::memcpy(out + 5, packet.payload, packet.length);
    return 1;
}

int CPacketParser::Next(Packet& packet, const uint8_t* bytes, uint32_t count)
{
    if (!m_pending)
    {
        return 0;
    }
    Discard(std::exchange(m_nHandedOut, 0));
    if (count > 0 && bytes != nullptr)
    {
        Append(bytes, count);
    }

    const uint8_t* data = m_pending.get();
    size_t i = 0;
    for (;;)
    {
        const uint8_t* found = nullptr;
        for (; i + 4 <= m_count; ++i)
        {
            if (data[i] == kStartMarker[0] && IsMarker(data + i, kStartMarker))
            {
                found = data + i;
                break;
            }
        }
        if (found == nullptr)
        {
            KeepPossibleMarkerTail();
            return 0;
        }
        if (i + kPacketHeaderSize > m_count)
        {
            Discard(i);
            return 0;
        }
        std::memcpy(m_header, found + 4, sizeof m_header);
        const uint32_t length = ReadBigEndian32(m_header + 2);
        if (length > kMaxPayloadLength)
        {
            ++i;
            continue;
        }
        const size_t packetEnd = i + kPacketOverhead + length;
        if (packetEnd > m_count)
        {
            // The packet goes on in later chunks: hold it at the front.
            Discard(i);
            return 0;
        }
        if (!IsMarker(data + packetEnd - 4, kEndMarker))
        {
            ++i;
            continue;
        }
        packet.type = m_header[1];
        packet.payload = found + kPacketHeaderSize;
        packet.length = length;
        // The stream ends with an error; what follows it is not read.
        m_nHandedOut = m_header[1] == PKT_ERROR ? m_count : packetEnd;
        return 1;
    }
}
