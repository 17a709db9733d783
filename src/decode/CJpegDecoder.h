// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "decode/BitmapInfoHeader.h"
#include "decode/JpegImageBuffers.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

class IMessageBox;
struct jpeg_decompress_struct;

// Turns one JPEG held in memory into a 24-bit picture: blue-green-red pixels,
// rows bottom-up, each row padded to 4 bytes; pictures of at least 704 x 480
// are de-interlaced. Fatal library errors are shown as message boxes. One
// decompressor serves every frame, so a steady stream allocates nothing of ours.
// A picture may be decoded at the library's 1/2, 1/4 or 1/8 scale; the scaling
// already merges the fields, so a scaled picture is not de-interlaced.
class CJpegDecoder
{
public:
    static constexpr int32_t kMaxWidth = 7680;
    static constexpr int32_t kMaxHeight = 4320;

    // commitLock, when given, is held while a new picture replaces the old
    // one, so a reader holding it never sees a picture half-replaced.
    explicit CJpegDecoder(IMessageBox& messageBox, std::mutex* commitLock = nullptr);
    virtual ~CJpegDecoder();

    CJpegDecoder(const CJpegDecoder&) = delete;
    CJpegDecoder& operator=(const CJpegDecoder&) = delete;

    // Only the decoding thread calls this. The bytes are read, never kept.
    // A failed decode, at any step, leaves the previous picture as it was, and
    // so does one whose mayCommit, asked under the commit lock, says false.
    bool Decode(const uint8_t* data, size_t length, const std::function<bool()>& mayCommit = {});
    // Decoding thread: later pictures are decoded at the smallest scale whose size
    // still covers width x height; a width of 0 or less decodes at full size.
    void SetCoverSize(int32_t width, int32_t height);

    // The current picture; read under the commit lock from other threads.
    bool HasPicture() const;
    int32_t GetWidth() const;
    int32_t GetHeight() const;
    uint32_t GetStride() const;
    // The size the JPEG declares, before any scaling.
    int32_t GetSourceWidth() const;
    int32_t GetSourceHeight() const;
    const BitmapInfoHeader& GetBitmapInfoHeader() const;
    // Row 0 is the bottom row of the picture; null before the first picture.
    const uint8_t* GetBits() const;

private:
    struct Decoded
    {
        int32_t width;
        int32_t height;
        uint32_t stride;
        int32_t sourceWidth;
        int32_t sourceHeight;
    };
    struct Decompressor;

    bool Decompress(Decompressor& decompressor, const uint8_t* data, size_t length,
                    Decoded& decoded);
    bool Commit(const Decoded& decoded, const std::function<bool()>& mayCommit);

    IMessageBox& m_messageBox;
    // Made by the first decode and kept, with its error and source managers.
    std::unique_ptr<Decompressor> m_pDecompressor;
    std::mutex* m_pCommitLock;
    int32_t m_nCoverWidth = 0;
    int32_t m_nCoverHeight = 0;
    int32_t m_nSourceWidth = 0;
    int32_t m_nSourceHeight = 0;
    int32_t m_nHeight = 0;
    int32_t m_nWidth = 0;
    uint32_t m_nStride = 0;
    BitmapInfoHeader m_bmih;
    const uint8_t* m_pBits = nullptr;
    JpegImageBuffers m_buffers;
};
