// SPDX-License-Identifier: GPL-3.0-or-later
#include "decode/JpegMemorySource.h"

namespace
{
JpegMemorySource* SourceOf(j_decompress_ptr cinfo)
{
    return reinterpret_cast<JpegMemorySource*>(cinfo->src);
}

void InitSource(j_decompress_ptr cinfo)
{
    JpegMemorySource* source = SourceOf(cinfo);
    source->pub.next_input_byte = source->data;
    source->pub.bytes_in_buffer = source->length;
}

// Nothing beyond the buffer: suspending makes the library return without a row.
boolean FillInputBuffer(j_decompress_ptr)
{
    return FALSE;
}

void SkipInputData(j_decompress_ptr cinfo, long count)
{
    if (count <= 0)
    {
        return;
    }
    jpeg_source_mgr& pub = SourceOf(cinfo)->pub;
    const auto bytes = static_cast<size_t>(count);
    if (bytes > pub.bytes_in_buffer)
    {
        pub.bytes_in_buffer = 0;
        return;
    }
    pub.next_input_byte += bytes;
    pub.bytes_in_buffer -= bytes;
}

void TermSource(j_decompress_ptr) {}
} // namespace

void SetJpegMemorySource(j_decompress_ptr cinfo, const uint8_t* data, size_t length)
{
    if (cinfo->src == nullptr)
    {
        cinfo->src = static_cast<jpeg_source_mgr*>((*cinfo->mem->alloc_small)(
            reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(JpegMemorySource)));
    }
    JpegMemorySource* source = SourceOf(cinfo);
    source->pub.init_source = InitSource;
    source->pub.fill_input_buffer = FillInputBuffer;
    source->pub.skip_input_data = SkipInputData;
    source->pub.resync_to_restart = jpeg_resync_to_restart;
    source->pub.term_source = TermSource;
    source->data = data;
    source->length = length;
    source->pub.next_input_byte = data;
    source->pub.bytes_in_buffer = length;
}
