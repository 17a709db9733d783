#include "decode/CJpegDecoder.h"

#include "decode/JpegErrorHandler.h"
#include "decode/JpegMemorySource.h"

#include <cstring>

namespace
{
constexpr uint8_t kUnconvertedFill = 0;
constexpr uint32_t kBitmapInfoHeaderSize = 40;

uint32_t StrideOf(int32_t width)
{
    return ((static_cast<uint32_t>(width) * 24 + 31) / 32) * 4;
}

// Floor of the mean of each byte pair, eight bytes at a time: the low bit of
// each byte's difference is dropped before the shift, so no carry crosses bytes.
void AverageRows(const uint8_t* below, const uint8_t* above, uint8_t* middle, size_t count)
{
    constexpr uint64_t kHighSevenBits = 0xFEFEFEFEFEFEFEFEull;
    size_t i = 0;
    for (; i + 8 <= count; i += 8)
    {
        uint64_t a;
        uint64_t b;
        std::memcpy(&a, below + i, 8);
        std::memcpy(&b, above + i, 8);
        const uint64_t mean = (a & b) + (((a ^ b) & kHighSevenBits) >> 1);
        std::memcpy(middle + i, &mean, 8);
    }
    for (; i < count; ++i)
    {
        middle[i] = static_cast<uint8_t>((below[i] + above[i]) / 2);
    }
}

// Pictures of at least 704 x 480 are de-interlaced. Rows in memory order (row
// 0 the bottom one): every odd row below the last full pair becomes the
// rounded-down average of its neighbours, and the row after the last pair a
// copy of the row before it. Rows arrive from the top of memory down, so each
// even row completes its odd neighbour while both are still in cache.
class RowDeinterlacer
{
public:
    RowDeinterlacer(uint8_t* bits, int32_t width, int32_t height, uint32_t stride)
        : m_bits(bits), m_rowBytes(static_cast<size_t>(width) * 3), m_stride(stride),
          m_lastPairRow(2 * (height / 2 - 1)), m_active(width >= 704 && height >= 480)
    {
    }

    void OnRowArrived(int32_t row) const
    {
        if (!m_active || row % 2 != 0 || row > m_lastPairRow)
        {
            return;
        }
        uint8_t* even = m_bits + static_cast<size_t>(row) * m_stride;
        if (row < m_lastPairRow)
        {
            AverageRows(even, even + 2 * static_cast<size_t>(m_stride), even + m_stride,
                        m_rowBytes);
        }
        else
        {
            std::memcpy(even + m_stride, even, m_rowBytes);
        }
    }

private:
    uint8_t* m_bits;
    size_t m_rowBytes;
    uint32_t m_stride;
    int32_t m_lastPairRow;
    bool m_active;
};

bool FitsSizeLimit(const jpeg_decompress_struct& cinfo)
{
    return cinfo.image_width <= static_cast<JDIMENSION>(CJpegDecoder::kMaxWidth) &&
           cinfo.image_height <= static_cast<JDIMENSION>(CJpegDecoder::kMaxHeight);
}
} // namespace

CJpegDecoder::CJpegDecoder(IMessageBox& messageBox, std::mutex* commitLock)
    : m_messageBox(messageBox), m_pCommitLock(commitLock)
{
}

CJpegDecoder::~CJpegDecoder() = default;

bool CJpegDecoder::Decode(const uint8_t* data, size_t length,
                          const std::function<bool()>& mayCommit)
{
    JpegErrorHandler errorHandler;
    jpeg_decompress_struct cinfo{};
    cinfo.err = InitJpegErrorHandler(errorHandler, m_messageBox);
    if (setjmp(errorHandler.jump) != 0)
    {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    Decoded decoded{};
    const bool ok = Decompress(&cinfo, data, length, decoded);
    jpeg_destroy_decompress(&cinfo);
    if (!ok)
    {
        return false;
    }
    return Commit(decoded, mayCommit);
}

// Runs between the jump point and the library's calls: a fatal error may leave
// it at any library call, so it holds nothing that needs destroying.
bool CJpegDecoder::Decompress(jpeg_decompress_struct* cinfo, const uint8_t* data, size_t length,
                              Decoded& decoded)
{
    SetJpegMemorySource(cinfo, data, length);
    // A header cut short leaves the decompressor in a state that start refuses
    // with the library's own error; only a complete header is measured here.
    if (jpeg_read_header(cinfo, TRUE) == JPEG_HEADER_OK)
    {
        if (!FitsSizeLimit(*cinfo))
        {
            return false;
        }
        // The library's own swizzle gives the very bytes of its default RGB
        // (or grey) output in blue-green-red order, so rows need no pass of ours.
        if (cinfo->out_color_space == JCS_RGB || cinfo->out_color_space == JCS_GRAYSCALE)
        {
            cinfo->out_color_space = JCS_EXT_BGR;
        }
    }
    if (!jpeg_start_decompress(cinfo))
    {
        return false;
    }

    decoded.width = static_cast<int32_t>(cinfo->output_width);
    decoded.height = static_cast<int32_t>(cinfo->output_height);
    decoded.stride = StrideOf(decoded.width);
    const size_t rowBytes = static_cast<size_t>(decoded.width) * 3;
    uint8_t* bits = m_buffers.PreparePending(static_cast<size_t>(decoded.stride) * decoded.height);
    if (bits == nullptr)
    {
        return false;
    }

    const bool converted = cinfo->output_components == 3;
    JSAMPARRAY scratch = nullptr;
    if (!converted)
    {
        scratch = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                              cinfo->output_width * cinfo->output_components, 1);
    }
    const RowDeinterlacer deinterlacer(bits, decoded.width, decoded.height, decoded.stride);
    while (cinfo->output_scanline < cinfo->output_height)
    {
        // Bottom-up: the picture's top row goes last in memory.
        const auto rowIndex =
            static_cast<int32_t>(decoded.height - 1 - static_cast<int32_t>(cinfo->output_scanline));
        uint8_t* row = bits + static_cast<size_t>(rowIndex) * decoded.stride;
        JSAMPROW target = row;
        if (jpeg_read_scanlines(cinfo, converted ? &target : scratch, 1) != 1)
        {
            // The data ended inside the picture: no row may be made up.
            return false;
        }
        if (!converted)
        {
            std::memset(row, kUnconvertedFill, rowBytes);
        }
        std::memset(row + rowBytes, 0, decoded.stride - rowBytes);
        deinterlacer.OnRowArrived(rowIndex);
    }
    // Every row has arrived: only the library's own check of the data after them remains.
    jpeg_finish_decompress(cinfo);
    return true;
}

bool CJpegDecoder::Commit(const Decoded& decoded, const std::function<bool()>& mayCommit)
{
    std::unique_lock<std::mutex> lock;
    if (m_pCommitLock != nullptr)
    {
        lock = std::unique_lock<std::mutex>(*m_pCommitLock);
    }
    if (mayCommit && !mayCommit())
    {
        return false;
    }
    m_buffers.CommitPending();
    m_nWidth = decoded.width;
    m_nHeight = decoded.height;
    m_nStride = decoded.stride;
    m_bmih = BitmapInfoHeader{};
    m_bmih.biSize = kBitmapInfoHeaderSize;
    m_bmih.biWidth = decoded.width;
    m_bmih.biHeight = decoded.height;
    m_bmih.biPlanes = 1;
    m_bmih.biBitCount = 24;
    m_bmih.biCompression = 0;
    m_bmih.biSizeImage =
        static_cast<uint32_t>(decoded.width) * static_cast<uint32_t>(decoded.height) * 3;
    m_pBits = m_buffers.GetPadded();
    return true;
}

bool CJpegDecoder::HasPicture() const
{
    return m_pBits != nullptr;
}

int32_t CJpegDecoder::GetWidth() const
{
    return m_nWidth;
}

int32_t CJpegDecoder::GetHeight() const
{
    return m_nHeight;
}

uint32_t CJpegDecoder::GetStride() const
{
    return m_nStride;
}

const BitmapInfoHeader& CJpegDecoder::GetBitmapInfoHeader() const
{
    return m_bmih;
}

const uint8_t* CJpegDecoder::GetBits() const
{
    return m_pBits;
}
