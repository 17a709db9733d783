// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/CFrameHeader.h"

#include "protocol/ByteOrder.h"

#include <cstring>

namespace
{
constexpr size_t kMagicOffset = 0;
constexpr size_t kHeaderLengthOffset = 2;
constexpr size_t kDataLengthOffset = 8;
constexpr size_t kVideoLossOffset = 14;
constexpr size_t kKindOffset = 16;
constexpr size_t kDisplayOffset = 17;
constexpr size_t kChannelOffset = 53;
constexpr size_t kImageLengthOffset = 57;
} // namespace

CFrameHeader::CFrameHeader()
{
    std::memset(m_bytes, 0, sizeof m_bytes);
}

CFrameHeader::~CFrameHeader() = default;

void CFrameHeader::Read(const uint8_t* payload, size_t length)
{
    if (length < kSize)
    {
        std::memset(m_bytes, 0, sizeof m_bytes);
        return;
    }
    std::memcpy(m_bytes, payload, kSize);
}

bool CFrameHeader::IsValid() const
{
    return m_bytes[kMagicOffset] == 'U' && m_bytes[kMagicOffset + 1] == 'M' &&
           ReadBigEndian32(m_bytes + kHeaderLengthOffset) == kSize;
}

uint8_t CFrameHeader::GetKind() const
{
    return m_bytes[kKindOffset];
}

uint16_t CFrameHeader::GetVideoLossMask() const
{
    return ReadBigEndian16(m_bytes + kVideoLossOffset);
}

uint8_t CFrameHeader::GetChannel() const
{
    return static_cast<uint8_t>(ReadBigEndian32(m_bytes + kChannelOffset));
}

unsigned CFrameHeader::GetDisplaySelector() const
{
    return (ReadBigEndian32(m_bytes + kDisplayOffset) >> 22) & 0x3;
}

uint32_t CFrameHeader::GetPictureOffset() const
{
    return static_cast<uint32_t>(kSize) + ReadBigEndian32(m_bytes + kDataLengthOffset) -
           ReadBigEndian32(m_bytes + kImageLengthOffset);
}

void WriteFrameHeader(uint8_t* out, const FrameHeaderFields& fields)
{
    std::memset(out, 0, CFrameHeader::kSize);
    out[kMagicOffset] = 'U';
    out[kMagicOffset + 1] = 'M';
    WriteBigEndian32(out + kHeaderLengthOffset, CFrameHeader::kSize);
    WriteBigEndian32(out + kDataLengthOffset, fields.dataLength);
    WriteBigEndian16(out + kVideoLossOffset, fields.videoLossMask);
    out[kKindOffset] = fields.kind;
    WriteBigEndian32(out + kDisplayOffset, (fields.displaySelector & 0x3u) << 22);
    WriteBigEndian32(out + kChannelOffset, fields.channel);
    WriteBigEndian32(out + kImageLengthOffset, fields.imageLength);
}
