// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/CPacketParser.h"

#include "protocol/ByteOrder.h"
#include "protocol/Protocol.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace
{
struct Packet
{
    uint8_t clientId;
    uint8_t type;
    std::vector<uint8_t> payload;

    bool operator==(const Packet& other) const
    {
        return type == other.type && payload == other.payload && clientId == other.clientId;
    }
};

std::vector<uint8_t> Payload(size_t size, uint32_t seed)
{
    std::vector<uint8_t> bytes(size);
    std::mt19937 random(seed);
    for (auto& b : bytes)
    {
        b = static_cast<uint8_t>(random());
    }
    return bytes;
}

void Append(std::vector<uint8_t>& stream, const Packet& packet)
{
    const auto bytes =
        BuildPacket(packet.clientId, packet.type, packet.payload.data(), packet.payload.size());
    stream.insert(stream.end(), bytes.begin(), bytes.end());
}

void AppendBytes(std::vector<uint8_t>& stream, std::initializer_list<uint8_t> bytes)
{
    stream.insert(stream.end(), bytes);
}

class ParserHarness
{
public:
    ParserHarness() : m_out(CPacketParser::kOutputSize) { m_parser.InitBuffers(); }

    // Feeds one chunk and drains the parser, as the receiver does.
    void Feed(const uint8_t* bytes, uint32_t count)
    {
        const uint8_t* next = bytes;
        uint32_t n = count;
        while (m_parser.Feed(m_out.data(), next, n) == 1)
        {
            const uint32_t length = ReadLittleEndian32(&m_out[1]);
            received.push_back({m_parser.GetClientId(), m_out[0],
                                std::vector<uint8_t>(&m_out[5], &m_out[5] + length)});
            next = nullptr;
            n = 0;
        }
    }

    void FeedInChunks(const std::vector<uint8_t>& stream, size_t chunk)
    {
        for (size_t at = 0; at < stream.size(); at += chunk)
        {
            Feed(stream.data() + at, static_cast<uint32_t>(std::min(chunk, stream.size() - at)));
        }
    }

    CPacketParser m_parser;
    std::vector<uint8_t> m_out;
    std::vector<Packet> received;
};

std::vector<Packet> MixedPackets()
{
    return {
        {7, PKT_LOGIN_REPLY, Payload(214, 1)},
        {7, PKT_FRAME, Payload(3000, 2)},
        {7, PKT_FRAME, {}},
        {7, 99, Payload(11, 3)},
        {7, PKT_FRAME, Payload(kMaxPayloadLength, 4)},
        {7, PKT_FRAME, Payload(1, 5)},
        {7, PKT_FRAME, Payload(60000, 6)},
        {7, PKT_ERROR, {2}},
    };
}
} // namespace

TEST(PacketParserTest, EveryChunkSizeGivesTheSamePackets)
{
    const auto packets = MixedPackets();
    std::vector<uint8_t> stream;
    for (const auto& p : packets)
    {
        Append(stream, p);
    }
    for (size_t chunk = 1; chunk <= 512; ++chunk)
    {
        ParserHarness harness;
        harness.FeedInChunks(stream, chunk);
        ASSERT_EQ(harness.received, packets) << "chunk size " << chunk;
    }
}

TEST(PacketParserTest, DamageBetweenPacketsLosesNoValidPacket)
{
    const std::vector<Packet> valid = {
        {3, PKT_LOGIN_REPLY, Payload(214, 10)},
        {3, PKT_FRAME, Payload(700, 11)},
        {3, PKT_FRAME, Payload(5, 12)},
        {3, PKT_FRAME, Payload(2000, 13)},
        {3, PKT_FRAME, Payload(40, 14)},
        {3, PKT_FRAME, Payload(900, 15)},
    };
    std::vector<uint8_t> stream;
    Append(stream, valid[0]);
    // Junk without markers, then a lone start marker just before the next packet.
    const auto junk = Payload(37, 20);
    stream.insert(stream.end(), junk.begin(), junk.end());
    AppendBytes(stream, {0xFB, 0xFB, 0xFB, 0xFC, 0xFB, 0xFB});
    Append(stream, valid[1]);
    // A packet whose end marker is wrong.
    auto bad = BuildPacket(3, PKT_FRAME, Payload(300, 21).data(), 300);
    bad.back() = 0xFE;
    stream.insert(stream.end(), bad.begin(), bad.end());
    Append(stream, valid[2]);
    // A declared length over the limit.
    AppendBytes(stream, {0xFB, 0xFB, 0xFB, 0xFC, 3, PKT_FRAME, 0x00, 0x07, 0xFF, 0xFD, 1, 2, 3});
    Append(stream, valid[3]);
    // A packet cut short: its declared length swallows the packets after it.
    AppendBytes(stream, {0xFB, 0xFB, 0xFB, 0xFC, 3, PKT_FRAME, 0x00, 0x00, 0x04, 0x00, 9, 9});
    Append(stream, valid[4]);
    Append(stream, valid[5]);
    // Enough stream after it for the cut packet's length to run out.
    const std::vector<Packet> tail = {{3, PKT_FRAME, Payload(1500, 16)}};
    Append(stream, tail[0]);

    auto expected = valid;
    expected.insert(expected.end(), tail.begin(), tail.end());
    for (size_t chunk = 1; chunk <= 512; ++chunk)
    {
        ParserHarness harness;
        harness.FeedInChunks(stream, chunk);
        ASSERT_EQ(harness.received, expected) << "chunk size " << chunk;
    }
}

TEST(PacketParserTest, StartMarkerInTheLastBytesOfAChunkIsNotLost)
{
    const Packet packet{5, PKT_FRAME, Payload(100, 30)};
    std::vector<uint8_t> stream(50, 0x11);
    Append(stream, packet);
    ParserHarness harness;
    // The first chunk ends two bytes into the start marker.
    harness.Feed(stream.data(), 52);
    EXPECT_TRUE(harness.received.empty());
    harness.Feed(stream.data() + 52, static_cast<uint32_t>(stream.size() - 52));
    ASSERT_EQ(harness.received.size(), 1u);
    EXPECT_EQ(harness.received[0], packet);
}

TEST(PacketParserTest, OnePacketPerCallAndHeldPacketsComeOutWithoutNewBytes)
{
    std::vector<uint8_t> stream;
    Append(stream, Packet{9, PKT_FRAME, Payload(20, 31)});
    Append(stream, Packet{9, PKT_FRAME, {}});
    CPacketParser parser;
    parser.InitBuffers();
    std::vector<uint8_t> out(CPacketParser::kOutputSize);
    ASSERT_EQ(parser.Feed(out.data(), stream.data(), static_cast<uint32_t>(stream.size())), 1);
    EXPECT_EQ(ReadLittleEndian32(&out[1]), 20u);
    ASSERT_EQ(parser.Feed(out.data(), nullptr, 0), 1);
    EXPECT_EQ(out[0], PKT_FRAME);
    EXPECT_EQ(ReadLittleEndian32(&out[1]), 0u);
    EXPECT_EQ(parser.Feed(out.data(), nullptr, 0), 0);
}

TEST(PacketParserTest, ErrorPacketDropsTheRestOfItsChunkOnly)
{
    std::vector<uint8_t> chunk;
    Append(chunk, Packet{4, PKT_ERROR, {7}});
    Append(chunk, Packet{4, PKT_FRAME, Payload(10, 32)});
    std::vector<uint8_t> next;
    Append(next, Packet{4, PKT_FRAME, Payload(12, 33)});

    ParserHarness harness;
    harness.Feed(chunk.data(), static_cast<uint32_t>(chunk.size()));
    ASSERT_EQ(harness.received.size(), 1u);
    EXPECT_EQ(harness.received[0].type, PKT_ERROR);
    EXPECT_EQ(harness.received[0].payload, std::vector<uint8_t>{7});
    harness.Feed(next.data(), static_cast<uint32_t>(next.size()));
    ASSERT_EQ(harness.received.size(), 2u);
    EXPECT_EQ(harness.received[1].payload.size(), 12u);
}

TEST(PacketParserTest, LengthOverTheLimitIsNeverAPacket)
{
    // A "payload" of 524,285 bytes with a correct end marker after it.
    const uint32_t length = kMaxPayloadLength + 1;
    std::vector<uint8_t> stream = {0xFB, 0xFB, 0xFB, 0xFC, 1, PKT_FRAME};
    stream.resize(stream.size() + 4);
    WriteBigEndian32(&stream[6], length);
    stream.resize(stream.size() + length, 0x22);
    AppendBytes(stream, {0xFB, 0xFB, 0xFB, 0xFD});
    ParserHarness harness;
    harness.FeedInChunks(stream, 512);
    EXPECT_TRUE(harness.received.empty());
}

TEST(PacketParserTest, ClientIdIsThatOfThePacketJustHandedOut)
{
    std::vector<uint8_t> stream;
    Append(stream, Packet{17, PKT_LOGIN_REPLY, Payload(214, 40)});
    Append(stream, Packet{200, PKT_FRAME, Payload(8, 41)});
    ParserHarness harness;
    harness.FeedInChunks(stream, 512);
    ASSERT_EQ(harness.received.size(), 2u);
    EXPECT_EQ(harness.received[0].clientId, 17);
    EXPECT_EQ(harness.received[1].clientId, 200);
}

TEST(PacketParserTest, WithoutBuffersOrAfterFreeingNothingIsHandedOut)
{
    std::vector<uint8_t> stream;
    Append(stream, Packet{1, PKT_FRAME, Payload(8, 42)});
    CPacketParser parser;
    std::vector<uint8_t> out(CPacketParser::kOutputSize);
    EXPECT_EQ(parser.Feed(out.data(), stream.data(), static_cast<uint32_t>(stream.size())), 0);
    parser.InitBuffers();
    parser.Feed(out.data(), stream.data(), 20); // a packet in the middle
    parser.FreeBuffers();
    parser.InitBuffers();
    // A new connection starts clean: the old half packet does not come back.
    EXPECT_EQ(parser.Feed(out.data(), stream.data() + 20, static_cast<uint32_t>(stream.size() - 20)),
              0);
    EXPECT_EQ(parser.Feed(out.data(), stream.data(), static_cast<uint32_t>(stream.size())), 1);
}

TEST(PacketParserTest, OversizedFeedStillWorks)
{
    std::vector<uint8_t> stream;
    for (int i = 0; i < 3; ++i)
    {
        Append(stream, Packet{1, PKT_FRAME, Payload(kMaxPayloadLength, 50 + i)});
    }
    ParserHarness harness;
    harness.Feed(stream.data(), static_cast<uint32_t>(stream.size()));
    EXPECT_EQ(harness.received.size(), 3u);
}
