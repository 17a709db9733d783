// SPDX-License-Identifier: GPL-3.0-or-later
#include "display/CPictureDisplay.h"

#include "display/LogoResource.h"
#include "platform/PictureWindow.h"
#include "protocol/CFrameHeader.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <utility>

namespace
{
constexpr uint8_t kLastIgnoredKind = 5;
constexpr unsigned kPictureDisplaySelector = 2;
constexpr unsigned kVideoLossChannels = 16;

// 704 x 240 frames carry one field of a 704 x 480 picture.
bool IsHalfHeightField(int32_t width, int32_t height)
{
    return width == 704 && height == 240;
}
} // namespace

CPictureDisplay::CPictureDisplay(IPictureWindow& window, IMessageBox& messageBox)
    : m_window(window), m_pLogo(kLogoJpeg), m_nLogoLength(static_cast<uint32_t>(kLogoJpegLength)),
      m_decoder(messageBox, &m_pictureLock)
{
}

CPictureDisplay::~CPictureDisplay() = default;

void CPictureDisplay::OnFramePacket(const uint8_t* payload, uint32_t length,
                                    const std::function<bool()>& isCurrent)
{
    CFrameHeader header;
    header.Read(payload, length);
    if (!header.IsValid() || header.GetKind() <= kLastIgnoredKind)
    {
        return;
    }
    if (!m_bDecoding)
    {
        m_statistics.OnFrame(length);
        return;
    }
    const unsigned channel = header.GetChannel();
    if (channel < kVideoLossChannels && (header.GetVideoLossMask() >> channel) & 1u)
    {
        DecodeAndShow(m_pLogo, m_nLogoLength, isCurrent, length);
        return;
    }
    if (header.GetDisplaySelector() != kPictureDisplaySelector)
    {
        return;
    }
    const uint32_t offset = header.GetPictureOffset();
    if (offset < length)
    {
        DecodeAndShow(payload + offset, length - offset, isCurrent, length);
    }
}

// A failed decode still counts: the previous picture is painted again. Both
// the commit and the mark are checked under the lock Clear takes, so a frame of
// a receiver already superseded can never show after a Clear.
void CPictureDisplay::DecodeAndShow(const uint8_t* data, size_t length,
                                    const std::function<bool()>& isCurrent, uint32_t packetLength)
{
    if (m_pPaintDecoder != nullptr)
    {
        KeepForPaint(data, length, isCurrent, packetLength);
        return;
    }
    SetCoverSize(m_decoder);
    m_decoder.Decode(data, length, isCurrent);
    {
        std::lock_guard<std::mutex> lock(m_pictureLock);
        if (isCurrent && !isCurrent())
        {
            return;
        }
        m_bHasPicture = true;
    }
    m_statistics.OnFrame(packetLength);
    Paint();
}

void CPictureDisplay::KeepForPaint(const uint8_t* data, size_t length,
                                   const std::function<bool()>& isCurrent, uint32_t packetLength)
{
    try
    {
        m_arrivedJpeg.assign(data, data + length);
    }
    catch (const std::bad_alloc&)
    {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_pictureLock);
        if (isCurrent && !isCurrent())
        {
            return;
        }
        std::swap(m_arrivedJpeg, m_latestJpeg);
        m_bNewJpeg = true;
        m_bHasPicture = true;
    }
    m_statistics.OnFrame(packetLength);
    Paint();
}

// In portrait the placement is as wide as the window and keeps the picture's
// shape, so covering the width covers it. The cover is in the device's pixels:
// a screen at twice the scale shows twice the picture's detail.
void CPictureDisplay::SetCoverSize(CJpegDecoder& decoder) const
{
    const int32_t clientWidth = m_window.ClientWidth();
    const int32_t clientHeight = m_window.ClientHeight();
    if (m_bScaledDecoding)
    {
        const double ratio = m_window.DevicePixelRatio() > 0 ? m_window.DevicePixelRatio() : 1;
        const auto deviceWidth = static_cast<int32_t>(std::ceil(clientWidth * ratio));
        const auto deviceHeight = static_cast<int32_t>(std::ceil(clientHeight * ratio));
        decoder.SetCoverSize(std::max(deviceWidth, 1),
                             clientWidth < clientHeight ? 0 : deviceHeight);
    }
    else
    {
        decoder.SetCoverSize(0, 0);
    }
}

bool CPictureDisplay::HasPictureLocked() const
{
    return m_bHasPicture && (m_pPaintDecoder != nullptr || m_decoder.HasPicture());
}

void CPictureDisplay::Paint()
{
    {
        std::lock_guard<std::mutex> lock(m_pictureLock);
        if (!HasPictureLocked())
        {
            return;
        }
    }
    if (m_window.Exists())
    {
        m_window.RepaintNow();
    }
}

PictureRect CPictureDisplay::GetPictureRect()
{
    std::lock_guard<std::mutex> lock(m_pictureLock);
    return ComputePlacementLocked();
}

void CPictureDisplay::Clear()
{
    std::lock_guard<std::mutex> lock(m_pictureLock);
    m_bHasPicture = false;
    m_bNewJpeg = false;
    m_shownJpeg.clear();
    m_statistics.Reset();
}

bool CPictureDisplay::PaintCommitted(
    const std::function<void(const CJpegDecoder&, const PictureRect&)>& draw)
{
    if (m_pPaintDecoder != nullptr)
    {
        return DecodeAndPaint(draw);
    }
    std::lock_guard<std::mutex> lock(m_pictureLock);
    if (!HasPictureLocked())
    {
        return false;
    }
    draw(m_decoder, ComputePlacementLocked());
    return true;
}

// The decode runs outside the lock, so the receiver keeps the next frame meanwhile.
bool CPictureDisplay::DecodeAndPaint(
    const std::function<void(const CJpegDecoder&, const PictureRect&)>& draw)
{
    bool arrived = false;
    {
        std::lock_guard<std::mutex> lock(m_pictureLock);
        if (!m_bHasPicture)
        {
            return false;
        }
        if (m_bNewJpeg)
        {
            std::swap(m_latestJpeg, m_paintJpeg);
            m_bNewJpeg = false;
            arrived = true;
        }
    }
    CJpegDecoder& decoder = *m_pPaintDecoder;
    SetCoverSize(decoder);
    if (arrived && decoder.Decode(m_paintJpeg.data(), m_paintJpeg.size()))
    {
        std::swap(m_paintJpeg, m_shownJpeg);
    }
    else if (m_shownJpeg.empty() || !decoder.Decode(m_shownJpeg.data(), m_shownJpeg.size()))
    {
        return false;
    }
    PictureRect placement;
    {
        std::lock_guard<std::mutex> lock(m_pictureLock);
        m_nShownSourceWidth = decoder.GetSourceWidth();
        m_nShownSourceHeight = decoder.GetSourceHeight();
        placement = ComputePlacementLocked();
    }
    draw(decoder, placement);
    return true;
}

// Landscape fills the client area; portrait keeps the picture's aspect ratio
// across the full width, centred. Before the first picture the whole area.
PictureRect CPictureDisplay::ComputePlacementLocked()
{
    const int32_t clientWidth = m_window.ClientWidth();
    const int32_t clientHeight = m_window.ClientHeight();
    PictureRect placement{0, 0, clientWidth, clientHeight};
    const bool painted = m_pPaintDecoder != nullptr;
    const int32_t width = painted ? m_nShownSourceWidth : m_decoder.GetSourceWidth();
    const int32_t height = painted ? m_nShownSourceHeight : m_decoder.GetSourceHeight();
    if (clientWidth < clientHeight && width > 0)
    {
        int64_t scaled = int64_t{height} * clientWidth / width;
        if (IsHalfHeightField(width, height))
        {
            scaled *= 2;
        }
        placement.top = static_cast<int32_t>((clientHeight - scaled) / 2);
        placement.bottom = static_cast<int32_t>(placement.top + scaled);
    }
    m_rcPlacement = placement;
    return placement;
}
