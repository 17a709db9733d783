// SPDX-License-Identifier: GPL-3.0-or-later
#include "decode/JpegImageBuffers.h"

#include <algorithm>
#include <new>
#include <utility>

JpegImageBuffers::JpegImageBuffers()
{
    m_spares.reserve(kMaxSpares);
}

JpegImageBuffers::~JpegImageBuffers() = default;

uint8_t* JpegImageBuffers::PreparePending(size_t size)
{
    if (m_pending.bytes && m_pending.size == size)
    {
        return m_pending.bytes.get();
    }
    if (m_pending.bytes)
    {
        if (m_spares.size() == kMaxSpares)
        {
            m_spares.erase(m_spares.begin());
        }
        m_spares.push_back(std::move(m_pending));
    }
    const auto spare = std::find_if(m_spares.begin(), m_spares.end(),
                                    [size](const Buffer& b) { return b.size == size; });
    if (spare != m_spares.end())
    {
        m_pending = std::move(*spare);
        m_spares.erase(spare);
        return m_pending.bytes.get();
    }
    m_pending = Buffer{};
    // Zero-filled once: the decode never writes the row padding, so it stays zero.
    m_pending.bytes.reset(new (std::nothrow) uint8_t[size]());
    if (!m_pending.bytes && !m_spares.empty())
    {
        // The pictures of other sizes give way to the one being decoded now.
        m_spares.clear();
        m_pending.bytes.reset(new (std::nothrow) uint8_t[size]());
    }
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
