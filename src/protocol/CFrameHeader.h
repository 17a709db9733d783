// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>

// The fields a DVR fills in; the reader above interprets them.
struct FrameHeaderFields
{
    uint32_t dataLength = 0;
    uint16_t videoLossMask = 0;
    uint8_t kind = 6;
    unsigned displaySelector = 2;
    uint32_t channel = 0;
    uint32_t imageLength = 0;
};

// Writes a valid header (magic "UM", header length 80) into 80 bytes.
void WriteFrameHeader(uint8_t* out, const FrameHeaderFields& fields);

// The 80-byte big-endian header at the start of a frame packet's payload.
class CFrameHeader
{
public:
    static constexpr size_t kSize = 80;

    CFrameHeader();
    virtual ~CFrameHeader();

    // Takes the first 80 bytes of the payload; a shorter payload leaves the
    // header all zeros, which is invalid.
    void Read(const uint8_t* payload, size_t length);

    bool IsValid() const;
    uint8_t GetKind() const;
    uint16_t GetVideoLossMask() const;
    uint8_t GetChannel() const;
    unsigned GetDisplaySelector() const;
    // 80 + D - P in unsigned 32-bit arithmetic: where the JPEG begins in the payload.
    uint32_t GetPictureOffset() const;

private:
    uint8_t m_bytes[kSize];
};
