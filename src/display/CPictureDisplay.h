// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "decode/CJpegDecoder.h"
#include "display/CDecodePool.h"
#include "display/CFrameStatistics.h"
#include "display/PictureRect.h"
#include "history/CFrameHistory.h"
#include "history/CHistoryBudget.h"
#include "motion/CMotionDetector.h"
#include "platform/SilentMessageBox.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class IMessageBox;
class IPictureWindow;

// Turns frame packets into the picture the window shows: the frame's JPEG, or
// the logo for a channel that has lost its video. The receiver thread decodes
// and asks for a repaint; the window's thread paints the committed picture.
// With a history budget every frame shown is also kept in the history, and the
// window's thread may paint one of those instead of the live picture.
class CPictureDisplay : private IDecodedPictureLook
{
public:
    // historyBudget null: no history is kept.
    CPictureDisplay(IPictureWindow& window, IMessageBox& messageBox,
                    CHistoryBudget* historyBudget = nullptr);
    virtual ~CPictureDisplay();

    CPictureDisplay(const CPictureDisplay&) = delete;
    CPictureDisplay& operator=(const CPictureDisplay&) = delete;

    // Receiver thread: one frame packet's payload, 80-byte header first. When
    // isCurrent is given and false under the picture lock, the frame is dropped.
    void OnFramePacket(const uint8_t* payload, uint32_t length,
                       const std::function<bool()>& isCurrent = {});
    // Asks the window for a repaint when there is a picture to paint.
    void Paint();
    // The placement for the current window and picture, also kept as m_rcPlacement.
    PictureRect GetPictureRect();
    // Disconnect: nothing is painted until the next frame leads to a decode.
    void Clear();
    // Window's thread: runs draw with the committed picture and its placement
    // under the one lock the receiver commits under; false if nothing to paint.
    bool PaintCommitted(const std::function<void(const CJpegDecoder&, const PictureRect&)>& draw);
    // Window's thread, before the first frame: the receiver no longer decodes; it
    // keeps the frames in the history for TakeNewestJpeg, and a window that shows
    // many (a wall) has its own workers decode them, at the scale and size it shows.
    void DecodeElsewhere() { m_bDecodeElsewhere = true; }
    // Window's thread, decoding elsewhere: the JPEG to show, if it changed since the
    // last one handed over: the newest frame while live, the frame of the moment
    // while looking back. jpeg's buffer is reused, so none is allocated once grown.
    // A live frame due a look for motion sets look and arrived in `look`, so the
    // worker that decodes it looks at its picture, and the receiver need not read it again.
    bool TakeNewestJpeg(std::vector<uint8_t>& jpeg, DecodeTarget* look = nullptr);
    // Whether the connection's camera shows motion: the receiver hands the detector
    // every frame it keeps, whether or not anybody sees it (a wall's worker its decoded
    // picture, when one is due a look), and its marks go as the history drops the
    // frames they stand for.
    CMotionDetector& GetMotion() { return m_motion; }
    const CMotionDetector& GetMotion() const { return m_motion; }
    // A frame has come since the last Clear: there is something to show.
    bool HasFrame();
    // Frames committed and their packets' bytes, for the live statistics.
    const CFrameStatistics& GetStatistics() const { return m_statistics; }

    // The connection's frames as they came. It keeps them only when a budget was
    // given; without one, a display that decodes elsewhere keeps the newest frame
    // there alone, to hand over.
    CFrameHistory& GetHistory() { return m_history; }
    const CFrameHistory& GetHistory() const { return m_history; }
    bool KeepsHistory() const { return m_bKeepsHistory; }
    // GUI thread. From now on PaintCommitted paints that frame of the history (or
    // TakeNewestJpeg hands it over), until ShowLive; live frames keep being stored.
    void ShowPast(uint64_t sequence);
    // GUI thread: back to live, the newest frame painted at once.
    void ShowLive();
    bool IsShowingPast() const { return m_bShowingPast; }
    // GUI thread: the past frame painted or handed over; nothing while live, or
    // when that frame was dropped or failed to decode (nothing is painted then).
    std::optional<HistoryFrameInfo> GetShownPast() const { return m_shownPast; }
    // GUI thread, as a connection starts or changes channel: a new history, unless
    // one was handed over to this display (TakeHistoryFrom) since the last start.
    // Given a channel, frames of another stay out of it: those the DVR sent
    // before it switched, still on their way.
    void StartHistory(std::optional<uint8_t> channel = std::nullopt);
    // GUI thread: the next StartHistory keeps the frames, as after a hand-over: the same
    // camera tried again after a failure goes on with the minutes before it.
    void KeepHistoryThroughNextStart() { m_bHistoryHandedOver = true; }
    // GUI thread, with both connections stopped: this display's history takes
    // over `from`'s frames and its detector the motion they showed, and keeps
    // them through its next StartHistory.
    void TakeHistoryFrom(CPictureDisplay& from);

private:
    void DecodeAndShow(const uint8_t* data, size_t length, const std::function<bool()>& isCurrent,
                       uint32_t packetLength, const HistoryFrameInfo& info);
    void KeepForPaint(const uint8_t* data, size_t length, const std::function<bool()>& isCurrent,
                      uint32_t packetLength, const HistoryFrameInfo& info);
    uint64_t StoreInHistory(const uint8_t* data, size_t length, const HistoryFrameInfo& info,
                            const std::function<bool()>& isCurrent);
    void LookForMotion(const uint8_t* data, size_t length, const HistoryFrameInfo& info);
    void LookAt(const uint8_t* bottomUpBgr, int32_t width, int32_t height, uint32_t stride,
                int32_t sourceWidth, int32_t sourceHeight,
                std::chrono::steady_clock::time_point arrived) override;
    void DropMarksBeforeHistory();
    bool PaintPast(const std::function<void(const CJpegDecoder&, const PictureRect&)>& draw);
    bool HasPictureLocked() const;
    PictureRect ComputePlacementLocked();
    void AskForRepaint();

    IPictureWindow& m_window;
    const uint8_t* m_pLogo;
    uint32_t m_nLogoLength;
    // Guards the decoder's committed picture, m_rcPlacement and m_bHasPicture:
    // the paint may run on the window's thread while the receiver commits the next picture.
    std::mutex m_pictureLock;
    CJpegDecoder m_decoder;
    PictureRect m_rcPlacement;
    bool m_bHasPicture = false;
    CFrameStatistics m_statistics;

    // The receiver stores, the GUI thread resets, hands over and reads, and so
    // may other readers; the history guards itself. Without a budget it takes
    // this one of none, so it keeps only the newest frame.
    CHistoryBudget m_noBudget{0};
    const bool m_bKeepsHistory;
    CFrameHistory m_history;
    // Written by the GUI thread while the receiver is held; -1: any channel.
    std::atomic<int> m_nHistoryChannel{-1};
    // Fed under m_motionFeedLock: a receiver that a new Start superseded may still be
    // finishing its last frame while the new one hands over its first.
    std::mutex m_motionFeedLock;
    CMotionDetector m_motion;

    // Decoding elsewhere. The receiver stores the frame in the history and, under
    // the picture lock, names it in m_nLatestSequence; TakeNewestJpeg copies it out.
    bool m_bDecodeElsewhere = false;
    uint64_t m_nLatestSequence = 0;
    std::chrono::steady_clock::time_point m_latestArrived;
    bool m_bLatestVideoLoss = false;
    bool m_bNewJpeg = false;

    // Looking back; GUI thread only, but for m_bShowingPast, which the receiver
    // reads to ask for no repaint of a picture that does not change. The single
    // view decodes the past frame once into m_pPastDecoder, from m_pastJpeg; a
    // display decoding elsewhere hands it over once (m_nPastCopied).
    std::atomic<bool> m_bShowingPast{false};
    uint64_t m_nPastSequence = 0;
    std::optional<HistoryFrameInfo> m_shownPast;
    uint64_t m_nPastCopied = 0;
    uint64_t m_nPastDecoded = 0;
    std::vector<uint8_t> m_pastJpeg;
    // A past frame that fails was already reported when it arrived.
    SilentMessageBox m_pastBoxes;
    std::unique_ptr<CJpegDecoder> m_pPastDecoder;
    bool m_bHistoryHandedOver = false;
    // The size of the past picture last painted, for the placement.
    int32_t m_nPastSourceWidth = 0;
    int32_t m_nPastSourceHeight = 0;
};
