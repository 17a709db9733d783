#include "TestJpegEncoder.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include <jpeglib.h>

std::vector<uint8_t> EncodeTestJpeg(const TestJpegSpec& spec,
                                    const std::function<uint8_t(int, int, int)>& sample)
{
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr error{};
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_compress(&cinfo);
    unsigned char* output = nullptr;
    unsigned long outputSize = 0;
    jpeg_mem_dest(&cinfo, &output, &outputSize);
    cinfo.image_width = static_cast<JDIMENSION>(spec.width);
    cinfo.image_height = static_cast<JDIMENSION>(spec.height);
    cinfo.input_components = spec.components;
    cinfo.in_color_space = spec.components == 1   ? JCS_GRAYSCALE
                           : spec.components == 4 ? JCS_CMYK
                                                  : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, spec.quality, TRUE);
    if (spec.progressive)
    {
        jpeg_simple_progression(&cinfo);
    }
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<uint8_t> row(static_cast<size_t>(spec.width) * spec.components);
    while (cinfo.next_scanline < cinfo.image_height)
    {
        const int y = static_cast<int>(cinfo.next_scanline);
        for (int x = 0; x < spec.width; ++x)
        {
            for (int c = 0; c < spec.components; ++c)
            {
                row[static_cast<size_t>(x) * spec.components + c] = sample(x, y, c);
            }
        }
        JSAMPROW rowPointer = row.data();
        jpeg_write_scanlines(&cinfo, &rowPointer, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<uint8_t> bytes(output, output + outputSize);
    std::free(output);
    return bytes;
}

uint8_t PatternSample(int x, int y, int component)
{
    const int stripes = ((y / 3) % 2) * 60;
    const int blocks = (((x / 17) + (y / 11)) % 2) * 50;
    return static_cast<uint8_t>((x * (component + 1) + y * (3 - component) + stripes + blocks) &
                                0xFF);
}

std::string WriteTempFile(const std::vector<uint8_t>& bytes)
{
    char path[] = "/tmp/quillon-jpeg-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0)
    {
        return {};
    }
    size_t written = 0;
    while (written < bytes.size())
    {
        const ssize_t n = write(fd, bytes.data() + written, bytes.size() - written);
        if (n <= 0)
        {
            break;
        }
        written += static_cast<size_t>(n);
    }
    close(fd);
    return path;
}
