#include "decode/JpegImageBuffers.h"

#include <new>
#include <utility>

JpegImageBuffers::JpegImageBuffers() = default;

JpegImageBuffers::~JpegImageBuffers() = default;

uint8_t* JpegImageBuffers::PreparePending(size_t size)
{
    if (m_pPending && m_nPendingSize == size)
    {
        return m_pPending.get();
    }
    m_pPending.reset();
    m_nPendingSize = 0;
    // Zero-filled once: the decode never writes the row padding, so it stays zero.
    m_pPending.reset(new (std::nothrow) uint8_t[size]());
    if (!m_pPending)
    {
        return nullptr;
    }
    m_nPendingSize = size;
    return m_pPending.get();
}

void JpegImageBuffers::CommitPending()
{
    std::swap(m_pPadded, m_pPending);
    std::swap(m_nPaddedSize, m_nPendingSize);
}

const uint8_t* JpegImageBuffers::GetPadded() const
{
    return m_pPadded.get();
}
