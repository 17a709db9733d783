#include "CommandLine.h"

#include "FormFields.h"

#include <charconv>
#include <fstream>
#include <iterator>
#include <optional>
#include <string_view>

namespace
{
std::optional<unsigned> ParseChannel(std::string_view text, unsigned channelCount)
{
    const auto number = ParseDecimal(text, DvrSimSettings::kMaxChannels);
    if (!number || *number == 0 || *number > channelCount)
    {
        return std::nullopt;
    }
    return *number - 1;
}

std::optional<PictureSize> ParseSize(std::string_view text)
{
    const size_t x = text.find('x');
    if (x == std::string_view::npos)
    {
        return std::nullopt;
    }
    const auto width = ParseDecimal(text.substr(0, x), 4096);
    const auto height = ParseDecimal(text.substr(x + 1), 4096);
    if (!width || !height || *width < 8 || *height < 8)
    {
        return std::nullopt;
    }
    return PictureSize{*width, *height};
}

std::optional<std::vector<size_t>> ParseSizes(std::string_view text)
{
    std::vector<size_t> sizes;
    size_t at = 0;
    while (at <= text.size())
    {
        const size_t comma = std::min(text.find(',', at), text.size());
        const auto size = ParseDecimal(text.substr(at, comma - at), 1 << 20);
        if (!size || *size == 0)
        {
            return std::nullopt;
        }
        sizes.push_back(*size);
        at = comma + 1;
    }
    return sizes;
}

std::optional<double> ParseRate(std::string_view text)
{
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !(value > 0 && value <= 1000))
    {
        return std::nullopt;
    }
    return value;
}

std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
    {
        return std::nullopt;
    }
    std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in),
                               std::istreambuf_iterator<char>()};
    if (in.bad())
    {
        return std::nullopt;
    }
    return bytes;
}
} // namespace

CommandLine::Result CommandLine::Parse(const std::vector<std::string>& args)
{
    Result result;
    DvrSimSettings& s = result.settings;
    DvrMisbehaviour& faults = s.misbehaviour;
    bool accountsGiven = false;
    // Channel options are checked once the channel count is known.
    std::vector<std::string> sizeOptions;
    std::vector<std::string> lossOptions;
    std::vector<std::vector<uint8_t>> replay;

    for (size_t i = 0; i < args.size(); ++i)
    {
        const std::string& option = args[i];
        if (option == "--pre-encoded")
        {
            s.frameSource.preEncoded = true;
            continue;
        }
        auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= args.size())
            {
                return std::nullopt;
            }
            return args[++i];
        };
        auto fail = [&](const std::string& why)
        {
            result.error = option + ": " + why;
            return result;
        };

        if (option == "--help" || option == "-h")
        {
            result.showHelp = true;
            return result;
        }
        const bool flag = option == "--silent-after-login" || option == "--close-after-login" ||
                          option == "--close-before-packets" || option == "--damaged-jpeg" ||
                          option == "--wrong-end-marker" || option == "--oversize-length" ||
                          option == "--no-headers" || option == "--huge-jpeg";
        if (flag)
        {
            faults.silentAfterLogin |= option == "--silent-after-login";
            faults.closeAfterLogin |= option == "--close-after-login";
            faults.closeBeforePackets |= option == "--close-before-packets";
            faults.damagedJpeg |= option == "--damaged-jpeg";
            faults.wrongEndMarker |= option == "--wrong-end-marker";
            faults.oversizeLength |= option == "--oversize-length";
            faults.noHeaders |= option == "--no-headers";
            faults.hugeJpeg |= option == "--huge-jpeg";
            continue;
        }
        const std::optional<std::string> text = value();
        if (!text)
        {
            return option.starts_with("--") ? fail("needs a value")
                                            : fail("unknown option (see --help)");
        }
        if (option == "--port")
        {
            const auto port = ParseDecimal(*text, 65535);
            if (!port)
            {
                return fail("not a port number: " + *text);
            }
            s.port = static_cast<uint16_t>(*port);
        }
        else if (option == "--bind")
        {
            s.bindAddress = *text;
        }
        else if (option == "--channels")
        {
            const auto count = ParseDecimal(*text, DvrSimSettings::kMaxChannels);
            if (!count || *count == 0)
            {
                return fail("must be 1 to 16");
            }
            s.channelCount = *count;
        }
        else if (option == "--account")
        {
            const size_t colon = text->find(':');
            if (colon == std::string::npos || colon == 0)
            {
                return fail("expected USER:PASSWORD");
            }
            if (!accountsGiven)
            {
                s.accounts.clear();
                accountsGiven = true;
            }
            s.accounts.push_back({text->substr(0, colon), text->substr(colon + 1)});
        }
        else if (option == "--size")
        {
            sizeOptions.push_back(*text);
        }
        else if (option == "--video-loss")
        {
            lossOptions.push_back(*text);
        }
        else if (option == "--fps" && *text == "max")
        {
            s.frameSource.unthrottled = true;
        }
        else if (option == "--fps")
        {
            const auto rate = ParseRate(*text);
            if (!rate)
            {
                return fail("must be a number above 0 and at most 1000");
            }
            s.framesPerSecond = *rate;
        }
        else if (option == "--client-limit")
        {
            const auto limit = ParseDecimal(*text, 255);
            if (!limit || *limit == 0)
            {
                return fail("must be 1 to 255");
            }
            s.clientLimit = *limit;
        }
        else if (option == "--write-sizes")
        {
            const auto sizes = ParseSizes(*text);
            if (!sizes)
            {
                return fail("expected sizes like 1,7,512");
            }
            faults.writeSizes = *sizes;
        }
        else if (option == "--close-after-bytes")
        {
            const auto count = ParseDecimal(*text, 1u << 30);
            if (!count || *count == 0)
            {
                return fail("expected a byte count over 0");
            }
            faults.closeAfterBytes = *count;
        }
        else if (option == "--declared-length")
        {
            const auto length = ParseDecimal(*text, UINT32_MAX);
            if (!length || *length == 0)
            {
                return fail("expected a length over 0");
            }
            faults.declaredLength = static_cast<uint32_t>(*length);
        }
        else if (option == "--junk")
        {
            const auto count = ParseDecimal(*text, 1 << 20);
            if (!count)
            {
                return fail("expected a byte count");
            }
            faults.junkBytes = *count;
        }
        else if (option == "--replay")
        {
            std::optional<std::vector<uint8_t>> jpeg = ReadWholeFile(*text);
            if (!jpeg || jpeg->empty())
            {
                return fail("cannot read " + *text);
            }
            replay.push_back(std::move(*jpeg));
        }
        else if (option == "--refuse")
        {
            const auto code = ParseDecimal(*text, 255);
            if (!code || *code == 0)
            {
                return fail("expected an error code 1 to 255");
            }
            faults.refuseLoginCode = static_cast<uint8_t>(*code);
        }
        else
        {
            return fail("unknown option (see --help)");
        }
    }

    if (!replay.empty())
    {
        s.frameSource.replay =
            std::make_shared<const std::vector<std::vector<uint8_t>>>(std::move(replay));
    }
    for (const std::string& option : sizeOptions)
    {
        const size_t equals = option.find('=');
        const auto channel =
            ParseChannel(std::string_view(option).substr(0, equals), s.channelCount);
        const auto size =
            equals == std::string::npos ? std::nullopt : ParseSize(option.substr(equals + 1));
        if (!channel || !size)
        {
            result.error = "--size " + option + ": expected CH=WIDTHxHEIGHT, CH 1 to " +
                           std::to_string(s.channelCount) + ", sides 8 to 4096";
            return result;
        }
        s.sizes[*channel] = *size;
    }
    for (const std::string& option : lossOptions)
    {
        const auto channel = ParseChannel(option, s.channelCount);
        if (!channel)
        {
            result.error = "--video-loss " + option + ": expected a channel 1 to " +
                           std::to_string(s.channelCount);
            return result;
        }
        s.videoLossMask = static_cast<uint16_t>(s.videoLossMask | (1u << *channel));
    }
    return result;
}

std::string CommandLine::Usage()
{
    return R"(Usage: quillon-dvrsim [options]

Serves a simulated DVR: the login stream and the command forms of
/cgi-bin/webapp.cgi over HTTP/1.0. Stop it with Ctrl-C.

  --port N              port to listen on; 0 picks a free one (default 0)
  --bind ADDRESS        IPv4 address to listen on (default 127.0.0.1)
  --channels N          channels of the DVR, 1 to 16 (default 4)
  --account USER:PASS   an account; repeat for more (default ADMIN:1234)
  --size CH=WxH         picture size of channel CH (1 = CH-01; default 320x240)
  --video-loss CH       channel CH has no video (repeatable)
  --fps RATE            frames per second of every stream (default 5)
  --client-limit N      streams at once before error 4 (default 16)
  --fps max             frames as fast as each client takes them
  --pre-encoded         encode each channel's picture once and send it again
  --replay FILE.jpg     send this JPEG on every channel; repeat for more, in turn

Faults on purpose, for testing clients:
  --silent-after-login  send the login reply, then nothing
  --close-after-login   send the login reply, then close
  --close-before-packets  close before sending any packet
  --write-sizes A,B,..  write the body in pieces of these sizes, repeated
  --junk N              N junk bytes before every frame packet
  --damaged-jpeg        frames carry a JPEG no decoder accepts
  --wrong-end-marker    frame packets end with a wrong end marker
  --oversize-length     frame packets declare a length over the limit
  --close-after-bytes N cut the connection after N bytes of the body
  --declared-length N   frame packets declare a payload length of N
  --huge-jpeg           frames carry a JPEG that declares 65535 x 65535
  --no-headers          answer the login with the packet stream only, no HTTP headers
  --refuse CODE         answer every login with error packet CODE
  --help                show this text
)";
}
