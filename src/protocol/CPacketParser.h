// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

// Cuts the login response stream, arriving in chunks, back into whole packets,
// one per call. Damage never costs a valid packet that follows it: the search
// resumes one byte after a rejected start marker, and a tail that may begin a
// start marker is kept for the next chunk.
class CPacketParser
{
public:
    // Output record: type (1 byte), payload length (4 bytes, little-endian), payload.
    static constexpr size_t kOutputSize = 5 + 524288;

    CPacketParser();
    virtual ~CPacketParser();

    CPacketParser(const CPacketParser&) = delete;
    CPacketParser& operator=(const CPacketParser&) = delete;

    // A packet where it was reassembled: payload is valid until the next call.
    struct Packet
    {
        uint8_t type = 0;
        const uint8_t* payload = nullptr;
        uint32_t length = 0;
    };

    // Returns 1 when a packet was written to out, 0 otherwise. Call again with no
    // new bytes until it returns 0, so held packets come out before the next read.
    int Feed(uint8_t* out, const uint8_t* bytes, uint32_t count);
    // Feed without the copy: a receiver that keeps the payload copies it once, from here.
    int Next(Packet& packet, const uint8_t* bytes, uint32_t count);

    // The client id of the last header found: that of the packet just handed out.
    uint8_t GetClientId() const { return m_header[0]; }

    void InitBuffers();
    void FreeBuffers();

private:
    void Append(const uint8_t* bytes, uint32_t count);
    void Discard(size_t count);
    void KeepPossibleMarkerTail();

    // Client id, type and big-endian payload length that followed the last start marker.
    uint8_t m_header[6];
    // Bytes received and not yet handed out or dropped; a packet being reassembled
    // always begins at offset 0.
    std::unique_ptr<uint8_t[]> m_pending;
    size_t m_capacity = 0;
    size_t m_count = 0;
    // The packet handed out last, dropped from the front at the next call.
    size_t m_nHandedOut = 0;
};
