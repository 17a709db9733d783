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

CPictureDisplay::CPictureDisplay(IPictureWindow& window, IMessageBox& messageBox,
                                 CHistoryBudget* historyBudget)
    : m_window(window), m_pLogo(kLogoJpeg), m_nLogoLength(static_cast<uint32_t>(kLogoJpegLength)),
      m_decoder(messageBox, &m_pictureLock), m_bKeepsHistory(historyBudget != nullptr),
      m_history(historyBudget != nullptr ? *historyBudget : m_noBudget)
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
    HistoryFrameInfo info;
    info.arrived = std::chrono::steady_clock::now();
    info.arrivedClock = std::chrono::system_clock::now();
    info.channel = header.GetChannel();
    info.kind = header.GetKind();
    info.packetLength = length;
    const unsigned channel = header.GetChannel();
    if (channel < kVideoLossChannels && (header.GetVideoLossMask() >> channel) & 1u)
    {
        info.videoLoss = true;
        DecodeAndShow(m_pLogo, m_nLogoLength, isCurrent, length, info);
        return;
    }
    if (header.GetDisplaySelector() != kPictureDisplaySelector)
    {
        return;
    }
    const uint32_t offset = header.GetPictureOffset();
    if (offset < length)
    {
        DecodeAndShow(payload + offset, length - offset, isCurrent, length, info);
    }
}

// A lost video is kept as such, without the logo's bytes.
uint64_t CPictureDisplay::StoreInHistory(const uint8_t* data, size_t length,
                                         const HistoryFrameInfo& info,
                                         const std::function<bool()>& isCurrent)
{
    const int channel = m_nHistoryChannel;
    if (channel >= 0 && info.channel != channel)
    {
        return 0;
    }
    return info.videoLoss ? m_history.Store(nullptr, 0, info, isCurrent)
                          : m_history.Store(data, length, info, isCurrent);
}

// A failed decode still counts: the previous picture is painted again. Both
// the commit and the mark are checked under the lock Clear takes, so a frame of
// a receiver already superseded can never show after a Clear.
void CPictureDisplay::DecodeAndShow(const uint8_t* data, size_t length,
                                    const std::function<bool()>& isCurrent, uint32_t packetLength,
                                    const HistoryFrameInfo& info)
{
    if (m_pPaintDecoder != nullptr)
    {
        KeepForPaint(data, length, isCurrent, packetLength, info);
        return;
    }
    if (m_bKeepsHistory)
    {
        StoreInHistory(data, length, info, isCurrent);
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
    AskForRepaint();
}

// The history's copy is the only one the receiver makes: the paint takes the
// frame from there.
void CPictureDisplay::KeepForPaint(const uint8_t* data, size_t length,
                                   const std::function<bool()>& isCurrent, uint32_t packetLength,
                                   const HistoryFrameInfo& info)
{
    const uint64_t sequence = StoreInHistory(data, length, info, isCurrent);
    if (sequence == 0)
    {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_pictureLock);
        if (isCurrent && !isCurrent())
        {
            return;
        }
        m_nLatestSequence = sequence;
        m_bLatestVideoLoss = info.videoLoss;
        m_bNewJpeg = true;
        m_bHasPicture = true;
    }
    m_statistics.OnFrame(packetLength);
    AskForRepaint();
}

// A past picture does not change with a live frame.
void CPictureDisplay::AskForRepaint()
{
    if (!m_bShowingPast)
    {
        Paint();
    }
}

// In portrait the placement is as wide as the window and keeps the picture's
// shape, so covering the width covers it.
void CPictureDisplay::SetCoverSize(CJpegDecoder& decoder) const
{
    const int32_t clientWidth = m_window.ClientWidth();
    const int32_t clientHeight = m_window.ClientHeight();
    if (m_bScaledDecoding)
    {
        decoder.SetCoverSize(std::max(clientWidth, 1),
                             clientWidth < clientHeight ? 0 : clientHeight);
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
    m_bShowingPast = false;
    m_shownPast.reset();
    std::lock_guard<std::mutex> lock(m_pictureLock);
    m_bHasPicture = false;
    m_bNewJpeg = false;
    m_shownJpeg.clear();
    m_statistics.Reset();
}

void CPictureDisplay::ShowPast(uint64_t sequence)
{
    m_nPastSequence = sequence;
    m_shownPast = m_history.Find(sequence);
    m_bShowingPast = true;
    if (m_window.Exists())
    {
        m_window.RepaintNow();
    }
}

void CPictureDisplay::ShowLive()
{
    m_bShowingPast = false;
    m_shownPast.reset();
    {
        std::lock_guard<std::mutex> lock(m_pictureLock);
        // The shared decoder and m_shownJpeg may hold an older frame than the newest.
        m_bNewJpeg = m_nLatestSequence != 0;
    }
    Paint();
}

void CPictureDisplay::StartHistory(std::optional<uint8_t> channel)
{
    m_nHistoryChannel = channel ? int{*channel} : -1;
    m_bShowingPast = false;
    m_shownPast.reset();
    m_nPastCopied = 0;
    m_nPastDecoded = 0;
    if (!std::exchange(m_bHistoryHandedOver, false))
    {
        m_history.Reset();
    }
}

// The sequences both displays knew now name other frames.
void CPictureDisplay::TakeHistoryFrom(CPictureDisplay& from)
{
    m_history.TakeFrom(from.m_history);
    m_bHistoryHandedOver = true;
    for (CPictureDisplay* display : {this, &from})
    {
        display->m_bShowingPast = false;
        display->m_shownPast.reset();
        display->m_nPastCopied = 0;
        display->m_nPastDecoded = 0;
        std::lock_guard<std::mutex> lock(display->m_pictureLock);
        display->m_nLatestSequence = 0;
        display->m_bNewJpeg = false;
    }
}

bool CPictureDisplay::PaintCommitted(
    const std::function<void(const CJpegDecoder&, const PictureRect&)>& draw)
{
    if (m_bShowingPast)
    {
        return PaintPast(draw);
    }
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
    uint64_t sequence = 0;
    bool videoLoss = false;
    {
        std::lock_guard<std::mutex> lock(m_pictureLock);
        if (!m_bHasPicture)
        {
            return false;
        }
        if (m_bNewJpeg)
        {
            sequence = m_nLatestSequence;
            videoLoss = m_bLatestVideoLoss;
            m_bNewJpeg = false;
            arrived = true;
        }
    }
    if (arrived && videoLoss)
    {
        m_paintJpeg.assign(m_pLogo, m_pLogo + m_nLogoLength);
    }
    else if (arrived)
    {
        // Dropped already when the history's share is below one frame.
        arrived = m_history.CopyFrame(sequence, m_paintJpeg);
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

// The single view decodes a past frame once, into a decoder of its own; tiles
// share theirs, so a tile decodes it again on every paint.
bool CPictureDisplay::PaintPast(
    const std::function<void(const CJpegDecoder&, const PictureRect&)>& draw)
{
    const std::optional<HistoryFrameInfo> info = m_history.Find(m_nPastSequence);
    if (!info)
    {
        m_shownPast.reset();
        return false;
    }
    const bool shared = m_pPaintDecoder != nullptr;
    if (!shared && !m_pPastDecoder)
    {
        m_pPastDecoder = std::make_unique<CJpegDecoder>(m_pastBoxes);
    }
    CJpegDecoder& decoder = shared ? *m_pPaintDecoder : *m_pPastDecoder;
    if (shared || m_nPastDecoded != m_nPastSequence)
    {
        m_nPastDecoded = 0;
        const uint8_t* data = m_pLogo;
        size_t length = m_nLogoLength;
        if (!info->videoLoss)
        {
            if (m_nPastCopied != m_nPastSequence)
            {
                m_nPastCopied = 0;
                if (!m_history.CopyFrame(m_nPastSequence, m_pastJpeg))
                {
                    m_shownPast.reset();
                    return false;
                }
                m_nPastCopied = m_nPastSequence;
            }
            data = m_pastJpeg.data();
            length = m_pastJpeg.size();
        }
        SetCoverSize(decoder);
        if (!decoder.Decode(data, length))
        {
            m_shownPast.reset();
            return false;
        }
        m_nPastDecoded = m_nPastSequence;
    }
    m_shownPast = info;
    PictureRect placement;
    {
        std::lock_guard<std::mutex> lock(m_pictureLock);
        m_nPastSourceWidth = decoder.GetSourceWidth();
        m_nPastSourceHeight = decoder.GetSourceHeight();
        placement = ComputePlacementLocked(m_nPastSourceWidth, m_nPastSourceHeight);
    }
    draw(decoder, placement);
    return true;
}

PictureRect CPictureDisplay::ComputePlacementLocked()
{
    if (m_bShowingPast)
    {
        return ComputePlacementLocked(m_nPastSourceWidth, m_nPastSourceHeight);
    }
    const bool painted = m_pPaintDecoder != nullptr;
    return ComputePlacementLocked(painted ? m_nShownSourceWidth : m_decoder.GetSourceWidth(),
                                  painted ? m_nShownSourceHeight : m_decoder.GetSourceHeight());
}

// Landscape fills the client area; portrait keeps the picture's aspect ratio
// across the full width, centred. Before the first picture the whole area.
PictureRect CPictureDisplay::ComputePlacementLocked(int32_t width, int32_t height)
{
    const int32_t clientWidth = m_window.ClientWidth();
    const int32_t clientHeight = m_window.ClientHeight();
    PictureRect placement{0, 0, clientWidth, clientHeight};
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
