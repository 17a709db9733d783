// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// Owns the committed picture's rows and the buffer the next decode fills.
// The next decode never writes into the committed rows, so a failed decode
// leaves them whole and a painter may read them until the commit.
class JpegImageBuffers
{
public:
    JpegImageBuffers();
    virtual ~JpegImageBuffers();

    JpegImageBuffers(const JpegImageBuffers&) = delete;
    JpegImageBuffers& operator=(const JpegImageBuffers&) = delete;

    // A buffer of exactly size bytes for the next picture, or null when memory
    // runs out. A size decoded before reuses its buffer; a new buffer starts
    // zero-filled.
    uint8_t* PreparePending(size_t size);
    // The pending buffer becomes the committed picture; the old one is kept
    // for the next decode.
    void CommitPending();
    const uint8_t* GetPadded() const;

private:
    // A buffer keeps its size with it: the committed one comes back as the
    // pending one, and is reused only for a picture of its own size.
    struct Buffer
    {
        std::unique_ptr<uint8_t[]> bytes;
        size_t size = 0;
    };

    // One decoder paints every tile of a wall, whose pictures may have many
    // sizes: each keeps a buffer of its own size, so none is made per picture.
    static constexpr size_t kMaxSpares = 16;

    Buffer m_padded;
    Buffer m_pending;
    std::vector<Buffer> m_spares; // the least recently used first
};
