// SPDX-License-Identifier: GPL-3.0-or-later
#include "decode/CJpegDecoder.h"

#include "decode/JpegErrorHandler.h"
#include "decode/JpegMemorySource.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace
{
constexpr uint8_t kUnconvertedFill = 0;
constexpr uint32_t kBitmapInfoHeaderSize = 40;

uint32_t StrideOf(int32_t width)
{
    return ((static_cast<uint32_t>(width) * 24 + 31) / 32) * 4;
}

// Floor of the mean of each byte pair: the rounded-up mean less the low bit of
// the pair's difference, sixteen bytes at a time where SSE2 is there.
void AverageRowsSse2(const uint8_t* below, const uint8_t* above, uint8_t* middle, size_t count)
{
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i ones = _mm_set1_epi8(1);
    for (; i + 16 <= count; i += 16)
    {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(below + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(above + i));
        const __m128i odd = _mm_and_si128(_mm_xor_si128(a, b), ones);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(middle + i),
                         _mm_sub_epi8(_mm_avg_epu8(a, b), odd));
    }
#endif
    for (; i < count; ++i)
    {
        middle[i] = static_cast<uint8_t>((below[i] + above[i]) / 2);
    }
}

#if defined(__x86_64__)
// The same a whole cache line or half of one at a time: the averaged rows are
// written to memory that is not in the cache, and wider stores keep more of
// those writes in flight.
__attribute__((target("avx2"))) void AverageRowsAvx2(const uint8_t* below, const uint8_t* above,
                                                     uint8_t* middle, size_t count)
{
    size_t i = 0;
    const __m256i ones = _mm256_set1_epi8(1);
    for (; i + 32 <= count; i += 32)
    {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(below + i));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(above + i));
        const __m256i odd = _mm256_and_si256(_mm256_xor_si256(a, b), ones);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(middle + i),
                            _mm256_sub_epi8(_mm256_avg_epu8(a, b), odd));
    }
    AverageRowsSse2(below + i, above + i, middle + i, count - i);
}

__attribute__((target("avx512bw"))) void
AverageRowsAvx512(const uint8_t* below, const uint8_t* above, uint8_t* middle, size_t count)
{
    size_t i = 0;
    const __m512i ones = _mm512_set1_epi8(1);
    for (; i + 64 <= count; i += 64)
    {
        const __m512i a = _mm512_loadu_si512(below + i);
        const __m512i b = _mm512_loadu_si512(above + i);
        const __m512i odd = _mm512_and_si512(_mm512_xor_si512(a, b), ones);
        _mm512_storeu_si512(middle + i, _mm512_sub_epi8(_mm512_avg_epu8(a, b), odd));
    }
    AverageRowsSse2(below + i, above + i, middle + i, count - i);
}
#endif

using AverageRowsFunction = void (*)(const uint8_t*, const uint8_t*, uint8_t*, size_t);

// The widest the processor has, chosen once.
AverageRowsFunction ChooseAverageRows()
{
#if defined(__x86_64__)
    if (__builtin_cpu_supports("avx512bw"))
    {
        return AverageRowsAvx512;
    }
    if (__builtin_cpu_supports("avx2"))
    {
        return AverageRowsAvx2;
    }
#endif
    return AverageRowsSse2;
}

void AverageRows(const uint8_t* below, const uint8_t* above, uint8_t* middle, size_t count)
{
    static const AverageRowsFunction average = ChooseAverageRows();
    average(below, above, middle, count);
}

// Pictures of at least 704 x 480 are de-interlaced. Rows in memory order (row
// 0 the bottom one): every odd row below the last full pair becomes the
// rounded-down average of its neighbours, and the row after the last pair a
// copy of the row before it. That replaces every odd row, so the library aims
// those at a scratch row and does not convert their colours; each even row
// completes its odd neighbour as it arrives (from the top of memory down),
// while both are still in cache.
class RowDeinterlacer
{
public:
    RowDeinterlacer(uint8_t* bits, int32_t width, int32_t height, uint32_t stride, bool scaled)
        : m_bits(bits), m_rowBytes(static_cast<size_t>(width) * 3), m_stride(stride),
          m_lastPairRow(2 * (height / 2 - 1)), m_active(!scaled && width >= 704 && height >= 480)
    {
    }

    bool IsActive() const { return m_active; }

    static bool IsReplaced(int32_t row) { return row % 2 != 0; }

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

// The library's colour deconverter begins with these two methods, as it has
// since 6b; the second is wrapped so that rows about to be replaced are skipped.
struct ColorDeconverterMethods
{
    void (*startPass)(j_decompress_ptr);
    void (*colorConvert)(j_decompress_ptr, JSAMPIMAGE, JDIMENSION, JSAMPARRAY, int);
};

struct SkippedRows
{
    void (*convert)(j_decompress_ptr, JSAMPIMAGE, JDIMENSION, JSAMPARRAY, int) = nullptr;
    const JSAMPLE* scratch = nullptr;
};

// Converts only the rows the picture keeps: a row aimed at the scratch row is
// replaced by the de-interlacing, so its colours are never looked at.
void ConvertKeptRows(j_decompress_ptr cinfo, JSAMPIMAGE input, JDIMENSION inputRow,
                     JSAMPARRAY output, int rows)
{
    const auto& skipped = *static_cast<const SkippedRows*>(cinfo->client_data);
    int i = 0;
    while (i < rows)
    {
        if (output[i] == skipped.scratch)
        {
            ++i;
            continue;
        }
        int end = i + 1;
        while (end < rows && output[end] != skipped.scratch)
        {
            ++end;
        }
        skipped.convert(cinfo, input, inputRow + static_cast<JDIMENSION>(i), output + i, end - i);
        i = end;
    }
}

JDIMENSION ScaledSide(JDIMENSION side, unsigned denominator)
{
    return (side + denominator - 1) / denominator;
}

// The largest denominator whose picture is at least as large as the cover size.
unsigned CoveringDenominator(const jpeg_decompress_struct& cinfo, int32_t width, int32_t height)
{
    if (width <= 0)
    {
        return 1;
    }
    for (unsigned denominator : {8u, 4u, 2u})
    {
        if (ScaledSide(cinfo.image_width, denominator) >= static_cast<JDIMENSION>(width) &&
            ScaledSide(cinfo.image_height, denominator) >=
                static_cast<JDIMENSION>(std::max(height, 0)))
        {
            return denominator;
        }
    }
    return 1;
}

bool FitsSizeLimit(const jpeg_decompress_struct& cinfo)
{
    return cinfo.image_width <= static_cast<JDIMENSION>(CJpegDecoder::kMaxWidth) &&
           cinfo.image_height <= static_cast<JDIMENSION>(CJpegDecoder::kMaxHeight);
}
} // namespace

// The library's decompressor with its managers, and the row table and scratch
// row of the last picture; all of it lives from the first decode to the last.
struct CJpegDecoder::Decompressor
{
    jpeg_decompress_struct cinfo{};
    JpegErrorHandler errorHandler{};
    bool created = false;
    std::vector<JSAMPROW> rows;
    std::vector<JSAMPLE> scratch;
    SkippedRows skipped;
};

CJpegDecoder::CJpegDecoder(IMessageBox& messageBox, std::mutex* commitLock)
    : m_messageBox(messageBox), m_pCommitLock(commitLock)
{
}

CJpegDecoder::~CJpegDecoder()
{
    if (m_pDecompressor && m_pDecompressor->created)
    {
        jpeg_destroy_decompress(&m_pDecompressor->cinfo);
    }
}

bool CJpegDecoder::Decode(const uint8_t* data, size_t length,
                          const std::function<bool()>& mayCommit)
{
    if (!m_pDecompressor)
    {
        m_pDecompressor.reset(new (std::nothrow) Decompressor);
        if (!m_pDecompressor)
        {
            return false;
        }
        m_pDecompressor->cinfo.err =
            InitJpegErrorHandler(m_pDecompressor->errorHandler, m_messageBox);
    }
    Decompressor& d = *m_pDecompressor;
    jpeg_decompress_struct* cinfo = &d.cinfo;
    if (setjmp(d.errorHandler.jump) != 0)
    {
        if (d.created)
        {
            // Back to the state before a header, keeping the managers and pools.
            jpeg_abort_decompress(cinfo);
        }
        else
        {
            jpeg_destroy_decompress(cinfo);
        }
        return false;
    }
    if (!d.created)
    {
        jpeg_create_decompress(cinfo);
        d.created = true;
    }
    // The library shows the first warning of each picture, as with a new decompressor.
    d.errorHandler.pub.num_warnings = 0;
    Decoded decoded{};
    const bool ok = Decompress(d, data, length, decoded);
    // Whatever state the decode stopped in, the next one starts afresh.
    jpeg_abort_decompress(cinfo);
    if (!ok)
    {
        return false;
    }
    return Commit(decoded, mayCommit);
}

// Runs between the jump point and the library's calls: a fatal error may leave
// it at any library call, so it holds nothing that needs destroying.
bool CJpegDecoder::Decompress(Decompressor& d, const uint8_t* data, size_t length, Decoded& decoded)
{
    jpeg_decompress_struct* cinfo = &d.cinfo;
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
        cinfo->scale_num = 1;
        cinfo->scale_denom = CoveringDenominator(*cinfo, m_nCoverWidth, m_nCoverHeight);
    }
    if (!jpeg_start_decompress(cinfo))
    {
        return false;
    }

    decoded.width = static_cast<int32_t>(cinfo->output_width);
    decoded.height = static_cast<int32_t>(cinfo->output_height);
    decoded.stride = StrideOf(decoded.width);
    decoded.sourceWidth = static_cast<int32_t>(cinfo->image_width);
    decoded.sourceHeight = static_cast<int32_t>(cinfo->image_height);
    const size_t rowBytes = static_cast<size_t>(decoded.width) * 3;
    uint8_t* bits = m_buffers.PreparePending(static_cast<size_t>(decoded.stride) * decoded.height);
    if (bits == nullptr)
    {
        return false;
    }
    const bool converted = cinfo->output_components == 3;
    const RowDeinterlacer deinterlacer(bits, decoded.width, decoded.height, decoded.stride,
                                       cinfo->scale_denom > cinfo->scale_num);
    const bool skipReplaced = converted && deinterlacer.IsActive();
    const size_t scratchBytes =
        static_cast<size_t>(cinfo->output_width) * static_cast<size_t>(cinfo->output_components);
    const auto height = static_cast<size_t>(decoded.height);
    try
    {
        d.rows.resize(height);
        if (!converted || skipReplaced)
        {
            d.scratch.resize(scratchBytes);
        }
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }

    // The deconverter is made anew by each start, so it is wrapped for each picture.
    if (skipReplaced && cinfo->cconvert != nullptr)
    {
        auto* methods = reinterpret_cast<ColorDeconverterMethods*>(cinfo->cconvert);
        if (methods->colorConvert != ConvertKeptRows)
        {
            d.skipped.convert = methods->colorConvert;
            methods->colorConvert = ConvertKeptRows;
        }
        d.skipped.scratch = d.scratch.data();
        cinfo->client_data = &d.skipped;
    }

    // Bottom-up: scan line s lands in memory row height - 1 - s. Rows the
    // picture does not keep as decoded go to the scratch row.
    for (size_t s = 0; s < height; ++s)
    {
        const auto rowIndex = static_cast<int32_t>(height - 1 - s);
        const bool kept = converted && !(skipReplaced && RowDeinterlacer::IsReplaced(rowIndex));
        d.rows[s] = kept ? bits + static_cast<size_t>(rowIndex) * decoded.stride : d.scratch.data();
    }
    while (cinfo->output_scanline < cinfo->output_height)
    {
        const JDIMENSION first = cinfo->output_scanline;
        const JDIMENSION got =
            jpeg_read_scanlines(cinfo, d.rows.data() + first, cinfo->output_height - first);
        if (got == 0)
        {
            // The data ended inside the picture: no row may be made up.
            return false;
        }
        for (JDIMENSION s = first; s < first + got; ++s)
        {
            const auto rowIndex = static_cast<int32_t>(height - 1 - s);
            if (converted)
            {
                deinterlacer.OnRowArrived(rowIndex);
            }
            else
            {
                std::memset(bits + static_cast<size_t>(rowIndex) * decoded.stride, kUnconvertedFill,
                            rowBytes);
            }
        }
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
    m_nSourceWidth = decoded.sourceWidth;
    m_nSourceHeight = decoded.sourceHeight;
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

int32_t CJpegDecoder::GetSourceWidth() const
{
    return m_nSourceWidth;
}

int32_t CJpegDecoder::GetSourceHeight() const
{
    return m_nSourceHeight;
}

void CJpegDecoder::SetCoverSize(int32_t width, int32_t height)
{
    m_nCoverWidth = width;
    m_nCoverHeight = height;
}

const BitmapInfoHeader& CJpegDecoder::GetBitmapInfoHeader() const
{
    return m_bmih;
}

const uint8_t* CJpegDecoder::GetBits() const
{
    return m_pBits;
}
