#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

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
    // runs out. The same size as the last time reuses the buffer; a new buffer
    // starts zero-filled.
    uint8_t* PreparePending(size_t size);
    // The pending buffer becomes the committed picture; the old one is kept
    // for the next decode.
    void CommitPending();
    const uint8_t* GetPadded() const;

private:
    std::unique_ptr<uint8_t[]> m_pPadded;
    size_t m_nPaddedSize = 0;
    std::unique_ptr<uint8_t[]> m_pPending;
    size_t m_nPendingSize = 0;
};
