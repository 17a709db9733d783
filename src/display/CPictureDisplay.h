// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "decode/CJpegDecoder.h"
#include "display/CFrameStatistics.h"
#include "display/PictureRect.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

class IMessageBox;
class IPictureWindow;

// Turns frame packets into the picture the window shows: the frame's JPEG, or
// the logo for a channel that has lost its video. The receiver thread decodes
// and asks for a repaint; the window's thread paints the committed picture.
class CPictureDisplay
{
public:
    CPictureDisplay(IPictureWindow& window, IMessageBox& messageBox);
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
    // Any thread: a picture nobody sees is not decoded; its frames still count.
    void SetDecoding(bool decoding) { m_bDecoding = decoding; }
    // Window's thread, before the first frame: the receiver no longer decodes; it
    // keeps the newest frame's JPEG for TakeNewestJpeg, and a window that shows many
    // (a wall) has its own workers decode it, at the scale and size it shows.
    void DecodeElsewhere() { m_bDecodeElsewhere = true; }
    // Hands over the newest frame's JPEG, if one came since the last, by swapping
    // it with jpeg, so the buffers go round and none is allocated once grown.
    bool TakeNewestJpeg(std::vector<uint8_t>& jpeg);
    // A frame has come since the last Clear: there is something to show.
    bool HasFrame();
    // Frames committed and their packets' bytes, for the live statistics.
    const CFrameStatistics& GetStatistics() const { return m_statistics; }

private:
    void DecodeAndShow(const uint8_t* data, size_t length, const std::function<bool()>& isCurrent,
                       uint32_t packetLength = 0);
    void KeepNewest(const uint8_t* data, size_t length, const std::function<bool()>& isCurrent,
                    uint32_t packetLength);
    bool HasPictureLocked() const;
    PictureRect ComputePlacementLocked();

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
    std::atomic<bool> m_bDecoding{true};

    // Decoding elsewhere. The receiver fills m_arrivedJpeg and swaps it with
    // m_latestJpeg under the picture lock; TakeNewestJpeg swaps m_latestJpeg out under it.
    bool m_bDecodeElsewhere = false;
    std::vector<uint8_t> m_arrivedJpeg;
    std::vector<uint8_t> m_latestJpeg;
    bool m_bNewJpeg = false;
};
