#include "decode/JpegImageBuffers.h"

#include <new>
#include <utility>

JpegImageBuffers::JpegImageBuffers() = default;

JpegImageBuffers::~JpegImageBuffers() = default;

uint8_t* JpegImageBuffers::PreparePending(size_t size)
{
    if (m_pending.bytes && m_pending.size == size)
    {
        return m_pending.bytes.get();
    }
    m_pending = Buffer{};
    // Zero-filled once: the decode never writes the row padding, so it stays zero.
    m_pending.bytes.reset(new (std::nothrow) uint8_t[size]());
    if (!m_pending.bytes)
    {
        return nullptr;
    }
    m_pending.size = size;
    return m_pending.bytes.get();
}

void JpegImageBuffers::CommitPending()
{
    std::swap(m_padded, m_pending);
}

const uint8_t* JpegImageBuffers::GetPadded() const
{
    return m_padded.bytes.get();
}
