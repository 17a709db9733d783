// SPDX-License-Identifier: GPL-3.0-or-later
#include "JpegEncoder.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace
{
struct ErrorManager
{
    jpeg_error_mgr base;
    std::jmp_buf escape;
};

// libjpeg's own handler ends the process; jump back and report instead.
void OnError(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->escape, 1);
}

// Kept apart from any C++ object with a destructor, which a longjmp would skip.
bool Compress(const uint8_t* samples, unsigned width, unsigned height,
              const JpegEncoder::Options& options, unsigned char** out, unsigned long* size)
{
    jpeg_compress_struct info;
    ErrorManager errors;
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = OnError;
    if (setjmp(errors.escape))
    {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, out, size);
    info.image_width = width;
    info.image_height = height;
    info.input_components = options.components;
    info.in_color_space = options.components == 1   ? JCS_GRAYSCALE
                          : options.components == 4 ? JCS_CMYK
                                                    : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, options.quality, TRUE);
    if (options.progressive)
    {
        jpeg_simple_progression(&info);
    }
    jpeg_start_compress(&info, TRUE);
    const size_t stride = size_t{width} * static_cast<size_t>(options.components);
    while (info.next_scanline < info.image_height)
    {
        JSAMPROW row = const_cast<JSAMPROW>(samples + info.next_scanline * stride);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}
} // namespace

std::vector<uint8_t> JpegEncoder::Encode(const uint8_t* samples, unsigned width, unsigned height,
                                         const Options& options)
{
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    const bool ok = width > 0 && height > 0 && (options.components == 1 ||
                                                 options.components == 3 || options.components == 4) &&
                    Compress(samples, width, height, options, &buffer, &size);
    std::vector<uint8_t> jpeg;
    if (ok)
    {
        jpeg.assign(buffer, buffer + size);
    }
    std::free(buffer);
    return jpeg;
}

std::vector<uint8_t> JpegEncoder::Encode(const RgbImage& image, int quality)
{
    return Encode(image.pixels.data(), image.width, image.height, {.components = 3, .quality = quality});
}
