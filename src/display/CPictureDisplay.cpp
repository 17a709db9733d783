// SPDX-License-Identifier: GPL-3.0-or-later
#include "display/CPictureDisplay.h"

#include "display/LogoResource.h"
#include "platform/PictureWindow.h"
#include "protocol/CFrameHeader.h"

#include <algorithm>
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
    if (m_bDecodeElsewhere)
    {
        KeepNewest(data, length, isCurrent, packetLength);
        return;
    }
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

void CPictureDisplay::KeepNewest(const uint8_t* data, size_t length,
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

bool CPictureDisplay::HasPictureLocked() const
{
    return m_bHasPicture && m_decoder.HasPicture();
}

void CPictureDisplay::Paint()
{
    {
        std::lock_guard<std::mutex> lock(m_pictureLock);
        if (!m_bHasPicture || (!m_bDecodeElsewhere && !m_decoder.HasPicture()))
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
    m_statistics.Reset();
}

bool CPictureDisplay::PaintCommitted(
    const std::function<void(const CJpegDecoder&, const PictureRect&)>& draw)
{
    std::lock_guard<std::mutex> lock(m_pictureLock);
    if (!HasPictureLocked())
    {
        return false;
    }
    draw(m_decoder, ComputePlacementLocked());
    return true;
}

bool CPictureDisplay::HasFrame()
{
    std::lock_guard<std::mutex> lock(m_pictureLock);
    return m_bHasPicture;
}

bool CPictureDisplay::TakeNewestJpeg(std::vector<uint8_t>& jpeg)
{
    std::lock_guard<std::mutex> lock(m_pictureLock);
    if (!m_bNewJpeg)
    {
        return false;
    }
    std::swap(m_latestJpeg, jpeg);
    m_bNewJpeg = false;
    return true;
}

PictureRect PlacePicture(int32_t clientWidth, int32_t clientHeight, int32_t pictureWidth,
                         int32_t pictureHeight)
{
    PictureRect placement{0, 0, clientWidth, clientHeight};
    if (clientWidth < clientHeight && pictureWidth > 0)
    {
        int64_t scaled = int64_t{pictureHeight} * clientWidth / pictureWidth;
        if (IsHalfHeightField(pictureWidth, pictureHeight))
        {
            scaled *= 2;
        }
        placement.top = static_cast<int32_t>((clientHeight - scaled) / 2);
        placement.bottom = static_cast<int32_t>(placement.top + scaled);
    }
    return placement;
}

PictureRect CPictureDisplay::ComputePlacementLocked()
{
    m_rcPlacement = PlacePicture(m_window.ClientWidth(), m_window.ClientHeight(),
                                 m_decoder.GetSourceWidth(), m_decoder.GetSourceHeight());
    return m_rcPlacement;
}
