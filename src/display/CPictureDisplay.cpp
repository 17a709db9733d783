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
    if (info.videoLoss)
    {
        return m_history.Store(nullptr, 0, info, isCurrent);
    }
    const uint64_t sequence = m_history.Store(data, length, info, isCurrent);
    if (sequence != 0)
    {
        LookForMotion(data, length, info);
    }
    return sequence;
}

// A mark never outlives its frames: what began before the oldest one kept goes.
void CPictureDisplay::LookForMotion(const uint8_t* data, size_t length,
                                    const HistoryFrameInfo& info)
{
    std::lock_guard<std::mutex> lock(m_motionFeedLock);
    if (m_motion.OnFrame(data, length, info.arrived) != CMotionDetector::Verdict::Skipped)
    {
        DropMarksBeforeHistory();
    }
}

void CPictureDisplay::LookAt(const uint8_t* bottomUpBgr, int32_t width, int32_t height,
                             uint32_t stride, int32_t sourceWidth, int32_t sourceHeight,
                             std::chrono::steady_clock::time_point arrived)
{
    // A size no scale of the frame gives is no picture of it to look at.
    if (!CLumaSampler::CanReduce(width, height, sourceWidth, sourceHeight))
    {
        return;
    }
    std::lock_guard<std::mutex> lock(m_motionFeedLock);
    if (m_motion.OnDecoded(bottomUpBgr, width, height, stride, sourceWidth, sourceHeight,
                           arrived) != CMotionDetector::Verdict::Skipped)
    {
        DropMarksBeforeHistory();
    }
}

// Under the feed lock.
void CPictureDisplay::DropMarksBeforeHistory()
{
    if (const std::optional<CFrameHistory::Span> span =
            m_bKeepsHistory ? m_history.GetSpan() : std::nullopt)
    {
        m_motion.GetIntervals().DropBefore(span->first);
    }
}

// A failed decode still counts: the previous picture is painted again. Both
// the commit and the mark are checked under the lock Clear takes, so a frame of
// a receiver already superseded can never show after a Clear.
void CPictureDisplay::DecodeAndShow(const uint8_t* data, size_t length,
                                    const std::function<bool()>& isCurrent, uint32_t packetLength,
                                    const HistoryFrameInfo& info)
{
    if (m_bDecodeElsewhere)
    {
        KeepForPaint(data, length, isCurrent, packetLength, info);
        return;
    }
    if (m_bKeepsHistory)
    {
        StoreInHistory(data, length, info, isCurrent);
    }
    else if (!info.videoLoss)
    {
        LookForMotion(data, length, info);
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
    AskForRepaint();
}

// The history's copy is the only one the receiver makes: TakeNewestJpeg takes
// the frame from there.
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
        m_latestArrived = info.arrived;
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
    m_bShowingPast = false;
    m_shownPast.reset();
    std::lock_guard<std::mutex> lock(m_pictureLock);
    m_bHasPicture = false;
    m_bNewJpeg = false;
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
    // A past frame shown again later is handed over again.
    m_nPastCopied = 0;
    {
        std::lock_guard<std::mutex> lock(m_pictureLock);
        // The workers placed a past frame last, not the newest.
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
        m_motion.Restart();
    }
}

// The sequences both displays knew now name other frames.
void CPictureDisplay::TakeHistoryFrom(CPictureDisplay& from)
{
    m_history.TakeFrom(from.m_history);
    {
        // A wall's worker may still be looking at a picture of either.
        std::scoped_lock feeds(m_motionFeedLock, from.m_motionFeedLock);
        m_motion.TakeFrom(from.m_motion);
    }
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
    if (m_bShowingPast && !m_bDecodeElsewhere)
    {
        return PaintPast(draw);
    }
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

bool CPictureDisplay::TakeNewestJpeg(std::vector<uint8_t>& jpeg, DecodeTarget* look)
{
    uint64_t sequence = 0;
    bool videoLoss = false;
    std::optional<std::chrono::steady_clock::time_point> liveArrived;
    if (m_bShowingPast)
    {
        if (m_nPastCopied == m_nPastSequence)
        {
            return false;
        }
        m_shownPast = m_history.Find(m_nPastSequence);
        if (!m_shownPast)
        {
            return false;
        }
        sequence = m_nPastSequence;
        videoLoss = m_shownPast->videoLoss;
    }
    else
    {
        std::lock_guard<std::mutex> lock(m_pictureLock);
        if (!m_bNewJpeg)
        {
            return false;
        }
        sequence = m_nLatestSequence;
        videoLoss = m_bLatestVideoLoss;
        m_bNewJpeg = false;
        liveArrived = m_latestArrived;
    }
    if (videoLoss)
    {
        jpeg.assign(m_pLogo, m_pLogo + m_nLogoLength);
    }
    // Dropped already when the history's share is below one frame.
    else if (!m_history.CopyFrame(sequence, jpeg))
    {
        if (m_bShowingPast)
        {
            m_shownPast.reset();
        }
        return false;
    }
    if (m_bShowingPast)
    {
        m_nPastCopied = sequence;
    }
    else if (look != nullptr && !videoLoss && m_motion.WantsDecodedLook(*liveArrived))
    {
        look->look = this;
        look->arrived = *liveArrived;
    }
    return true;
}

// The single view decodes a past frame once, into a decoder of its own.
bool CPictureDisplay::PaintPast(
    const std::function<void(const CJpegDecoder&, const PictureRect&)>& draw)
{
    const std::optional<HistoryFrameInfo> info = m_history.Find(m_nPastSequence);
    if (!info)
    {
        m_shownPast.reset();
        return false;
    }
    if (!m_pPastDecoder)
    {
        m_pPastDecoder = std::make_unique<CJpegDecoder>(m_pastBoxes);
    }
    CJpegDecoder& decoder = *m_pPastDecoder;
    if (m_nPastDecoded != m_nPastSequence)
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
        placement = ComputePlacementLocked();
    }
    draw(decoder, placement);
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
    const bool past = m_bShowingPast && !m_bDecodeElsewhere;
    m_rcPlacement = PlacePicture(m_window.ClientWidth(), m_window.ClientHeight(),
                                 past ? m_nPastSourceWidth : m_decoder.GetSourceWidth(),
                                 past ? m_nPastSourceHeight : m_decoder.GetSourceHeight());
    return m_rcPlacement;
}
