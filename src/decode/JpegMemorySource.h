// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include <jpeglib.h>

// A source manager over bytes the caller keeps. It never supplies more than
// the buffer: a read past the end suspends the library instead of looping.
struct JpegMemorySource
{
    jpeg_source_mgr pub;
    const JOCTET* data;
    size_t length;
};

// Installs the source on the decompressor, allocating it from the permanent
// pool the first time, so it goes away with the decompressor.
void SetJpegMemorySource(j_decompress_ptr cinfo, const uint8_t* data, size_t length);
