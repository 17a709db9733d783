// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandLine.h"

#include "FormFields.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <iterator>
#include <optional>
#include <span>
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

// What the options gather before the settings are whole: channel options are
// checked once the channel count is known.
struct Gathered
{
    DvrSimSettings& s;
    bool accountsGiven = false;
    std::vector<std::string> sizeOptions;
    std::vector<std::string> lossOptions;
    std::vector<std::vector<uint8_t>> replay;
    std::vector<std::string> replayOnOptions;
};

// Takes the option's value (empty for a flag); returns why it is not usable, or nothing.
using Setter = std::optional<std::string> (*)(Gathered& g, const std::string& value);

struct Option
{
    std::string_view name;
    std::string_view argument; // empty: a flag
    std::string_view help;
    Setter set;
    bool fault = false;          // listed among the faults on purpose
    std::string_view alias = {}; // an older name that means the same
};

template <typename Number>
std::optional<std::string> SetNumber(const std::string& value, size_t min, size_t max,
                                     Number& target, const std::string& why)
{
    const auto number = ParseDecimal(value, max);
    if (!number || *number < min)
    {
        return why;
    }
    target = static_cast<Number>(*number);
    return std::nullopt;
}

constexpr std::optional<std::string> kTaken = std::nullopt;

const Option kOptions[] = {
    {"--port", "N", "port to listen on; 0 picks a free one (default 0)",
     [](Gathered& g, const std::string& v)
     { return SetNumber(v, 0, 65535, g.s.port, "not a port number: " + v); }},
    {"--bind", "ADDRESS", "IPv4 address to listen on (default 127.0.0.1)",
     [](Gathered& g, const std::string& v)
     {
         g.s.bindAddress = v;
         return kTaken;
     }},
    {"--channels", "N", "channels of the DVR, 1 to 16 (default 4)",
     [](Gathered& g, const std::string& v) {
         return SetNumber(v, 1, DvrSimSettings::kMaxChannels, g.s.channelCount, "must be 1 to 16");
     }},
    {"--account", "USER:PASS", "an account; repeat for more (default ADMIN:1234)",
     [](Gathered& g, const std::string& v) -> std::optional<std::string>
     {
         const size_t colon = v.find(':');
         if (colon == std::string::npos || colon == 0)
         {
             return "expected USER:PASSWORD";
         }
         if (!std::exchange(g.accountsGiven, true))
         {
             g.s.accounts.clear();
         }
         g.s.accounts.push_back({v.substr(0, colon), v.substr(colon + 1)});
         return kTaken;
     }},
    {"--size", "CH=WxH", "picture size of channel CH (1 = CH-01; default 320x240)",
     [](Gathered& g, const std::string& v)
     {
         g.sizeOptions.push_back(v);
         return kTaken;
     }},
    {"--video-loss", "CH", "channel CH has no video (repeatable)",
     [](Gathered& g, const std::string& v)
     {
         g.lossOptions.push_back(v);
         return kTaken;
     }},
    {"--fps", "RATE",
     "frames per second of every stream (default 5); max: as fast as each "
     "client takes them",
     [](Gathered& g, const std::string& v) -> std::optional<std::string>
     {
         if (v == "max")
         {
             g.s.frameSource.unthrottled = true;
             return kTaken;
         }
         const auto rate = ParseRate(v);
         if (!rate)
         {
             return "must be a number above 0 and at most 1000";
         }
         g.s.framesPerSecond = *rate;
         return kTaken;
     }},
    {"--max-clients", "N", "streams at once before error 4 (default 16)",
     [](Gathered& g, const std::string& v)
     { return SetNumber(v, 1, 255, g.s.clientLimit, "must be 1 to 255"); },
     false, "--client-limit"},
    {"--pre-encoded", "", "encode each channel's picture once and send it again",
     [](Gathered& g, const std::string&)
     {
         g.s.frameSource.preEncoded = true;
         return kTaken;
     }},
    {"--replay", "FILE.jpg", "send this JPEG on every channel; repeat for more, in turn",
     [](Gathered& g, const std::string& v) -> std::optional<std::string>
     {
         std::optional<std::vector<uint8_t>> jpeg = ReadWholeFile(v);
         if (!jpeg || jpeg->empty())
         {
             return "cannot read " + v;
         }
         g.replay.push_back(std::move(*jpeg));
         return kTaken;
     }},
    {"--replay-on", "CH",
     "play the replay on channel CH only (repeatable); the others show its first JPEG",
     [](Gathered& g, const std::string& v)
     {
         g.replayOnOptions.push_back(v);
         return kTaken;
     }},
    {"--silent-after-login", "", "send the login reply, then nothing",
     [](Gathered& g, const std::string&)
     {
         g.s.misbehaviour.silentAfterLogin = true;
         return kTaken;
     },
     true},
    {"--close-after-login", "", "send the login reply, then close",
     [](Gathered& g, const std::string&)
     {
         g.s.misbehaviour.closeAfterLogin = true;
         return kTaken;
     },
     true},
    {"--close-before-packets", "", "close before sending any packet",
     [](Gathered& g, const std::string&)
     {
         g.s.misbehaviour.closeBeforePackets = true;
         return kTaken;
     },
     true},
    {"--write-sizes", "A,B,..", "write the body in pieces of these sizes, repeated",
     [](Gathered& g, const std::string& v) -> std::optional<std::string>
     {
         const auto sizes = ParseSizes(v);
         if (!sizes)
         {
             return "expected sizes like 1,7,512";
         }
         g.s.misbehaviour.writeSizes = *sizes;
         return kTaken;
     },
     true},
    {"--junk", "N", "N junk bytes before every frame packet",
     [](Gathered& g, const std::string& v)
     { return SetNumber(v, 0, 1 << 20, g.s.misbehaviour.junkBytes, "expected a byte count"); },
     true},
    {"--damaged-jpeg", "", "frames carry a JPEG no decoder accepts",
     [](Gathered& g, const std::string&)
     {
         g.s.misbehaviour.damagedJpeg = true;
         return kTaken;
     },
     true},
    {"--wrong-end-marker", "", "frame packets end with a wrong end marker",
     [](Gathered& g, const std::string&)
     {
         g.s.misbehaviour.wrongEndMarker = true;
         return kTaken;
     },
     true},
    {"--oversize-length", "", "frame packets declare a length over the limit",
     [](Gathered& g, const std::string&)
     {
         g.s.misbehaviour.oversizeLength = true;
         return kTaken;
     },
     true},
    {"--close-after-bytes", "N", "cut the connection after N bytes of the body",
     [](Gathered& g, const std::string& v)
     {
         return SetNumber(v, 1, 1u << 30, g.s.misbehaviour.closeAfterBytes,
                          "expected a byte count over 0");
     },
     true},
    {"--declared-length", "N", "frame packets declare a payload length of N",
     [](Gathered& g, const std::string& v)
     {
         return SetNumber(v, 1, UINT32_MAX, g.s.misbehaviour.declaredLength,
                          "expected a length over 0");
     },
     true},
    {"--huge-jpeg", "", "frames carry a JPEG that declares 65535 x 65535",
     [](Gathered& g, const std::string&)
     {
         g.s.misbehaviour.hugeJpeg = true;
         return kTaken;
     },
     true},
    {"--no-headers", "", "answer the login with the packet stream only, no HTTP headers",
     [](Gathered& g, const std::string&)
     {
         g.s.misbehaviour.noHeaders = true;
         return kTaken;
     },
     true},
    {"--answer-status", "CODE", "answer every request with HTTP status CODE, as a web server",
     [](Gathered& g, const std::string& v)
     {
         return SetNumber(v, 100, 599, g.s.misbehaviour.answerStatus,
                          "expected an HTTP status 100 to 599");
     },
     true},
    {"--refuse", "CODE", "answer every login with error packet CODE",
     [](Gathered& g, const std::string& v)
     {
         return SetNumber(v, 1, 255, g.s.misbehaviour.refuseLoginCode,
                          "expected an error code 1 to 255");
     },
     true},
};

const Option* FindOption(std::string_view name)
{
    const auto it = std::find_if(
        std::begin(kOptions), std::end(kOptions),
        [&](const Option& o) { return o.name == name || (!o.alias.empty() && o.alias == name); });
    return it == std::end(kOptions) ? nullptr : &*it;
}

void AppendHelp(std::string& text, bool faults)
{
    constexpr size_t kHelpColumn = 24;
    for (const Option& option : kOptions)
    {
        if (option.fault != faults)
        {
            continue;
        }
        std::string line = "  " + std::string(option.name);
        if (!option.argument.empty())
        {
            line += " " + std::string(option.argument);
        }
        line += line.size() + 1 < kHelpColumn ? std::string(kHelpColumn - line.size(), ' ') : " ";
        line += option.help;
        if (!option.alias.empty())
        {
            line += " (also " + std::string(option.alias) + ")";
        }
        text += line + "\n";
    }
}
} // namespace

CommandLine::Result CommandLine::Parse(const std::vector<std::string>& args)
{
    Result result;
    Gathered gathered{result.settings, false, {}, {}, {}, {}};
    DvrSimSettings& s = result.settings;
    for (size_t i = 0; i < args.size(); ++i)
    {
        const std::string& name = args[i];
        if (name == "--help" || name == "-h")
        {
            result.showHelp = true;
            return result;
        }
        const Option* option = FindOption(name);
        if (option == nullptr)
        {
            result.error = name + ": unknown option (see --help)";
            return result;
        }
        std::string value;
        if (!option->argument.empty())
        {
            if (i + 1 >= args.size())
            {
                result.error = name + ": needs a value";
                return result;
            }
            value = args[++i];
        }
        if (const auto why = option->set(gathered, value))
        {
            result.error = name + ": " + *why;
            return result;
        }
    }

    if (!gathered.replay.empty())
    {
        s.frameSource.replay =
            std::make_shared<const std::vector<std::vector<uint8_t>>>(std::move(gathered.replay));
    }
    for (const std::string& option : gathered.sizeOptions)
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
    for (const std::string& option : gathered.lossOptions)
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
    if (!gathered.replayOnOptions.empty())
    {
        s.frameSource.replayChannels = 0;
    }
    for (const std::string& option : gathered.replayOnOptions)
    {
        const auto channel = ParseChannel(option, s.channelCount);
        if (!channel)
        {
            result.error = "--replay-on " + option + ": expected a channel 1 to " +
                           std::to_string(s.channelCount);
            return result;
        }
        s.frameSource.replayChannels =
            static_cast<uint16_t>(s.frameSource.replayChannels | (1u << *channel));
    }
    return result;
}

std::string CommandLine::Usage()
{
    std::string text = R"(Usage: quillon-dvrsim [options]

Serves a simulated DVR: the login stream and the command forms of
/cgi-bin/webapp.cgi over HTTP/1.0. Stop it with Ctrl-C.

)";
    AppendHelp(text, false);
    text += "\nFaults on purpose, for testing clients:\n";
    AppendHelp(text, true);
    text += "  --help                show this text\n";
    return text;
}
