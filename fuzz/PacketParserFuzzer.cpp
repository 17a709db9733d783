// SPDX-License-Identifier: GPL-3.0-or-later
// The first bytes choose the read sizes; the rest is the stream. Whatever the
// bytes, the deframer must hand out only well-formed packets within the limit.
#include "protocol/ByteOrder.h"
#include "protocol/CPacketParser.h"
#include "protocol/Protocol.h"

#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
    {
        return 0;
    }
    const size_t chunk = 1 + (data[0] | (data[1] << 8)) % 512;
    data += 2;
    size -= 2;

    static std::vector<uint8_t> out(CPacketParser::kOutputSize);
    CPacketParser parser;
    parser.InitBuffers();
    for (size_t at = 0; at < size; at += chunk)
    {
        const uint8_t* bytes = data + at;
        auto count = static_cast<uint32_t>(std::min(chunk, size - at));
        while (parser.Feed(out.data(), bytes, count) == 1)
        {
            if (ReadLittleEndian32(&out[1]) > kMaxPayloadLength)
            {
                std::abort();
            }
            bytes = nullptr;
            count = 0;
        }
    }
    parser.FreeBuffers();
    return 0;
}
