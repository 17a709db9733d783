// SPDX-License-Identifier: GPL-3.0-or-later
#include "DvrStream.h"

#include "JpegEncoder.h"
#include "SimulatorState.h"
#include "TestScene.h"

#include "protocol/ByteOrder.h"
#include "protocol/CFrameHeader.h"
#include "protocol/Protocol.h"

#include <algorithm>
#include <cstring>

namespace
{
constexpr int kJpegQuality = 75;
// Bytes of frame data before the JPEG, so that the picture does not start right
// after the header and readers must honour the data and image lengths.
constexpr size_t kDataPrefix = DvrStream::kDataPrefix;
// Near misses of the start marker: a sound deframer skips them without losing a packet.
constexpr uint8_t kJunk[] = {0xFB, 0xFB, 0xFB, 'J', 'U', 'N', 'K', 0x00};

// Zero width and height in the frame header: every decoder stops with an error
// instead of showing a half picture.
void Damage(std::vector<uint8_t>& jpeg)
{
    for (size_t i = 0; i + 9 <= jpeg.size(); ++i)
    {
        if (jpeg[i] == 0xFF && jpeg[i + 1] >= 0xC0 && jpeg[i + 1] <= 0xC2)
        {
            std::fill_n(jpeg.begin() + static_cast<std::ptrdiff_t>(i + 5), 4, uint8_t{0});
            return;
        }
    }
    std::fill(jpeg.begin(), jpeg.end(), uint8_t{0});
}

// The largest size a JPEG can declare, over data for a small picture.
void Enlarge(std::vector<uint8_t>& jpeg)
{
    for (size_t i = 0; i + 9 <= jpeg.size(); ++i)
    {
        if (jpeg[i] == 0xFF && jpeg[i + 1] >= 0xC0 && jpeg[i + 1] <= 0xC2)
        {
            std::fill_n(jpeg.begin() + static_cast<std::ptrdiff_t>(i + 5), 4, uint8_t{0xFF});
            return;
        }
    }
}
} // namespace

DvrStream::DvrStream(SimulatorState& state, uint8_t clientId, std::function<bool()> clientGone)
    : m_state(state), m_clientId(clientId), m_clientGone(std::move(clientGone)),
      m_loginFaults(state.Settings().misbehaviour)
{
}

DvrStream::~DvrStream()
{
    m_state.Release(m_clientId);
}

long DvrStream::Read(uint8_t* out, size_t max)
{
    const auto& sizes = m_loginFaults.writeSizes;
    // A piece of a chosen size may span packets, as the fault means the body as a whole.
    size_t wanted =
        sizes.empty() ? max : std::min(max, std::max<size_t>(1, sizes[m_pieces++ % sizes.size()]));
    if (const size_t cut = m_loginFaults.closeAfterBytes; cut > 0)
    {
        if (m_bodyBytes >= cut)
        {
            return kAbort;
        }
        wanted = std::min(wanted, cut - m_bodyBytes);
    }
    size_t copied = 0;
    while (copied < wanted)
    {
        if (m_sent == m_pending.size())
        {
            if (copied > 0 && sizes.empty())
            {
                break;
            }
            m_pending.clear();
            m_sent = 0;
            const long result = Refill();
            if (result < 0)
            {
                m_bodyBytes += copied;
                return copied > 0 ? static_cast<long>(copied) : result;
            }
        }
        const size_t count = std::min(wanted - copied, m_pending.size() - m_sent);
        std::memcpy(out + copied, m_pending.data() + m_sent, count);
        m_sent += count;
        copied += count;
        if (m_sent == m_pending.size() && m_pendingFrame != 0)
        {
            // The server writes what Read returns at once: this is when the frame leaves.
            m_state.NoteFrameSent(m_clientId, m_pendingFrame);
            m_pendingFrame = 0;
        }
    }
    m_bodyBytes += copied;
    return static_cast<long>(copied);
}

long DvrStream::Refill()
{
    using Clock = std::chrono::steady_clock;
    if (m_phase == Phase::LoginReply)
    {
        if (m_loginFaults.closeBeforePackets)
        {
            return kAbort;
        }
        QueueLoginReply(m_state.Settings());
        m_phase = Phase::FirstFrame;
        return 0;
    }
    if (m_phase == Phase::FirstFrame)
    {
        if (m_loginFaults.closeAfterLogin)
        {
            return kAbort;
        }
        if (m_loginFaults.silentAfterLogin)
        {
            m_state.WaitForTurn(m_clientId, Clock::time_point::max(), m_clientGone);
            return kEndOfStream;
        }
        m_phase = Phase::Frames;
        m_due = Clock::now();
    }
    if (m_state.Settings().frameSource.unthrottled)
    {
        m_due = Clock::now();
    }
    const auto turn = m_state.WaitForTurn(m_clientId, m_due, m_clientGone);
    if (!turn.go)
    {
        return kEndOfStream;
    }
    const DvrSimSettings settings = m_state.Settings();
    QueueFrame(settings, turn.channel);
    const auto period = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(1.0 / std::max(0.01, settings.framesPerSecond)));
    // After a stall (a slow client) go on at the normal rate instead of in a burst.
    m_due = std::max(m_due + period, Clock::now());
    return 0;
}

void DvrStream::QueueLoginReply(const DvrSimSettings& settings)
{
    DvrInfoBlock info{};
    info.bytes[0] = static_cast<uint8_t>(settings.channelCount);
    const size_t nameLength = std::min(settings.modelName.size(), size_t{63});
    std::memcpy(&info.bytes[1], settings.modelName.data(), nameLength);
    m_pending = BuildPacket(m_clientId, PKT_LOGIN_REPLY, info.bytes, DvrInfoBlock::kSize);
}

const std::vector<uint8_t>& DvrStream::FrameJpeg(const DvrSimSettings& settings, unsigned channel)
{
    const DvrFrameSource& source = settings.frameSource;
    if (source.replay && !source.replay->empty())
    {
        if (((source.replayChannels >> channel) & 1u) == 0)
        {
            return source.replay->front();
        }
        return (*source.replay)[m_replayed++ % source.replay->size()];
    }
    const auto now = std::chrono::system_clock::now();
    const PictureSize size = settings.sizes[channel];
    const bool lost = (settings.videoLossMask & (1u << channel)) != 0;
    Encoded& encoded = m_encoded[channel];
    const bool same = !encoded.jpeg.empty() && encoded.size.width == size.width &&
                      encoded.size.height == size.height && encoded.lost == lost;
    if (source.preEncoded && same)
    {
        return encoded.jpeg;
    }
    m_rendered =
        JpegEncoder::Encode(lost ? TestScene::RenderNoVideo(channel, size, now)
                                 : TestScene::Render(channel, m_state.Camera(channel), size, now),
                            kJpegQuality);
    if (source.preEncoded)
    {
        encoded = {m_rendered, size, lost};
    }
    return m_rendered;
}

// The packet is built where it is sent from: the JPEG's bytes are copied once.
void DvrStream::QueueFrame(const DvrSimSettings& settings, unsigned channel)
{
    const std::vector<uint8_t>* jpeg = &FrameJpeg(settings, channel);
    const DvrMisbehaviour& faults = settings.misbehaviour;
    if (faults.damagedJpeg || faults.hugeJpeg)
    {
        m_faulty = *jpeg;
        if (faults.damagedJpeg)
        {
            Damage(m_faulty);
        }
        if (faults.hugeJpeg)
        {
            Enlarge(m_faulty);
        }
        jpeg = &m_faulty;
    }

    uint8_t header[CFrameHeader::kSize + kDataPrefix] = {};
    FrameHeaderFields fields;
    fields.dataLength = static_cast<uint32_t>(kDataPrefix + jpeg->size());
    fields.videoLossMask = settings.videoLossMask;
    fields.channel = channel;
    fields.imageLength = static_cast<uint32_t>(jpeg->size());
    WriteFrameHeader(header, fields);
    WriteBigEndian32(&header[CFrameHeader::kSize], ++m_frameNumber);

    for (size_t i = 0; i < faults.junkBytes; ++i)
    {
        m_pending.push_back(kJunk[i % sizeof kJunk]);
    }
    const size_t start = m_pending.size();
    AppendPacket(m_pending, m_clientId, PKT_FRAME, {std::span<const uint8_t>(header), *jpeg});
    if (faults.wrongEndMarker)
    {
        m_pending.back() = 0xFE;
    }
    if (faults.oversizeLength)
    {
        WriteBigEndian32(&m_pending[start + 6], kMaxPayloadLength + 1);
    }
    if (faults.declaredLength != 0)
    {
        WriteBigEndian32(&m_pending[start + 6], faults.declaredLength);
    }
    m_pendingFrame = m_frameNumber;
}
