// SPDX-License-Identifier: GPL-3.0-or-later
#include "record/CClipWriter.h"

#include "directory/DvrEntry.h"
#include "platform/TextCodec.h"
#include "record/ClipErrors.h"
#include "res/ResourceIds.h"
#include "res/StringTable.h"

#include <fcntl.h>

extern "C"
{
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

#include <cerrno>
#include <cstdio>
#include <ctime>

namespace
{
constexpr int kIoBufferBytes = 256 * 1024;
// Closed clusters are all a cut file keeps, so none may hold more than a second.
constexpr const char* kClusterMilliseconds = "1000";
constexpr const char* kClusterBytes = "8388608";

// The picture's size from the first start-of-frame marker; false when there is none.
bool ReadJpegSize(const uint8_t* data, size_t length, int& width, int& height)
{
    if (length < 4 || data[0] != 0xFF || data[1] != 0xD8)
    {
        return false;
    }
    size_t at = 2;
    while (at + 4 <= length)
    {
        if (data[at] != 0xFF)
        {
            return false;
        }
        const uint8_t marker = data[at + 1];
        if (marker == 0xFF)
        {
            ++at;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8))
        {
            at += 2;
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA)
        {
            return false;
        }
        const size_t segment = (size_t{data[at + 2]} << 8) | data[at + 3];
        const bool startOfFrame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (startOfFrame)
        {
            if (segment < 7 || at + 9 > length)
            {
                return false;
            }
            height = (data[at + 5] << 8) | data[at + 6];
            width = (data[at + 7] << 8) | data[at + 8];
            return width > 0 && height > 0;
        }
        if (segment < 2)
        {
            return false;
        }
        at += 2 + segment;
    }
    return false;
}

std::string CreationTime(std::chrono::system_clock::time_point when)
{
    const auto micros =
        std::chrono::duration_cast<std::chrono::microseconds>(when.time_since_epoch()).count();
    const std::time_t seconds = static_cast<std::time_t>(micros / 1000000);
    std::tm utc{};
    ::gmtime_r(&seconds, &utc);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%06dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                  static_cast<int>(micros % 1000000));
    return text;
}

std::u16string MuxerErrorText(int result, const std::filesystem::path& file)
{
    char reason[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(result, reason, sizeof reason);
    std::u16string text = LoadString(IDS_CLIP_WRITE_FAILED);
    text.replace(text.find(u"%1"), 2, FromUtf8(file.string()));
    text.replace(text.find(u"%2"), 2, FromUtf8(reason));
    return text;
}
} // namespace

CClipWriter::CClipWriter(IClipStorage& storage) : m_storage(storage) {}

CClipWriter::~CClipWriter()
{
    Abort();
}

bool CClipWriter::Open(const std::filesystem::path& file, const ClipIdentity& identity,
                       Naming naming, bool overwrite)
{
    Abort();
    m_error.clear();
    m_identity = identity;
    m_naming = naming;
    m_overwrite = overwrite;
    m_file = file;
    m_writtenFile = file;
    m_position = m_end = m_safeEnd = m_headerEnd = 0;
    m_outputError = 0;
    m_frames = m_skipped = 0;
    m_lastPts = 0;
    if (naming == Naming::PartThenRename)
    {
        std::error_code ignored;
        if (!overwrite && std::filesystem::exists(file, ignored))
        {
            m_error = ClipErrorText(EEXIST, file);
            return false;
        }
        m_writtenFile += ".part";
    }
    int error = 0;
    m_output = m_storage.Open(m_writtenFile,
                              naming == Naming::PartThenRename ? IClipStorage::Create::Replace
                                                               : IClipStorage::Create::New,
                              error);
    if (!m_output)
    {
        m_error = ClipErrorText(error, m_writtenFile);
        return false;
    }
    m_state = State::Open;
    return true;
}

bool CClipWriter::StartTrack(const HistoryFrameInfo& first, int width, int height)
{
    if (avformat_alloc_output_context2(&m_format, nullptr, "matroska", nullptr) < 0)
    {
        return Fail(MuxerErrorText(AVERROR(ENOMEM), m_writtenFile));
    }
    auto* buffer = static_cast<uint8_t*>(av_malloc(kIoBufferBytes));
    m_io = buffer ? avio_alloc_context(buffer, kIoBufferBytes, 1, this, nullptr, &WritePacket,
                                       &SeekPacket)
                  : nullptr;
    m_packet = av_packet_alloc();
    AVStream* stream = avformat_new_stream(m_format, nullptr);
    if (!m_io || !m_packet || !stream)
    {
        av_free(buffer);
        return Fail(MuxerErrorText(AVERROR(ENOMEM), m_writtenFile));
    }
    m_format->pb = m_io;
    m_format->flush_packets = 1;
    stream->time_base = AVRational{1, 1000};
    stream->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
    stream->codecpar->codec_id = AV_CODEC_ID_MJPEG;
    stream->codecpar->width = width;
    stream->codecpar->height = height;
    // The finest rate millisecond stamps tell apart, as a hint: without it readers take a
    // jittery 25 frames/s for a fixed rate and fold frames that came close onto one time.
    stream->avg_frame_rate = AVRational{999, 1};

    const std::string dvr = ToUtf8(m_identity.dvrName);
    const std::string channel = ToUtf8(ChannelLabel(m_identity.channel));
    av_dict_set(&m_format->metadata, "title", (dvr + ' ' + channel).c_str(), 0);
    av_dict_set(&m_format->metadata, "creation_time", CreationTime(first.arrivedClock).c_str(), 0);
    av_dict_set(&m_format->metadata, "dvr", dvr.c_str(), 0);
    av_dict_set(&m_format->metadata, "channel", channel.c_str(), 0);

    AVDictionary* options = nullptr;
    av_dict_set(&options, "cluster_time_limit", kClusterMilliseconds, 0);
    av_dict_set(&options, "cluster_size_limit", kClusterBytes, 0);
    // A checksum over every cluster would cost more than the rest of the muxing.
    av_dict_set(&options, "write_crc32", "0", 0);
    const int result = avformat_write_header(m_format, &options);
    av_dict_free(&options);
    m_first = first.arrived;
    if (!AfterMuxer(result))
    {
        return false;
    }
    m_headerEnd = m_end;
    return true;
}

bool CClipWriter::Write(const HistoryFrameInfo& info, const uint8_t* jpeg, size_t length)
{
    if (m_state != State::Open)
    {
        return false;
    }
    int width = 0;
    int height = 0;
    if (info.videoLoss || length > INT32_MAX || !ReadJpegSize(jpeg, length, width, height))
    {
        ++m_skipped;
        return true;
    }
    if (!m_format && !StartTrack(info, width, height))
    {
        return false;
    }
    const auto since =
        std::chrono::duration_cast<std::chrono::milliseconds>(info.arrived - m_first).count();
    // Frames of one burst may arrive within a millisecond: each keeps a time of its own.
    m_lastPts = m_frames == 0 ? 0 : std::max<int64_t>(m_lastPts + 1, since);
    const AVStream* stream = m_format->streams[0];
    m_packet->data = const_cast<uint8_t*>(jpeg);
    m_packet->size = static_cast<int>(length);
    m_packet->pts = m_packet->dts = av_rescale_q(m_lastPts, AVRational{1, 1000}, stream->time_base);
    m_packet->duration = 0;
    m_packet->stream_index = 0;
    m_packet->flags = AV_PKT_FLAG_KEY;
    const int result = av_write_frame(m_format, m_packet);
    if (!AfterMuxer(result))
    {
        return false;
    }
    ++m_frames;
    return true;
}

bool CClipWriter::Flush()
{
    if (m_state != State::Open)
    {
        return false;
    }
    return !m_format || AfterMuxer(av_write_frame(m_format, nullptr));
}

bool CClipWriter::AfterMuxer(int result)
{
    if (result >= 0)
    {
        avio_flush(m_io);
        result = m_io->error;
    }
    if (m_outputError != 0)
    {
        return Fail(ClipErrorText(m_outputError, m_writtenFile));
    }
    if (result < 0)
    {
        return Fail(MuxerErrorText(result, m_writtenFile));
    }
    m_safeEnd = m_end;
    return true;
}

bool CClipWriter::Finish()
{
    if (m_state != State::Open)
    {
        return false;
    }
    if (m_frames == 0)
    {
        return Fail(LoadString(IDS_CLIP_NO_PICTURES));
    }
    const int trailer = av_write_trailer(m_format);
    if (trailer >= 0)
    {
        avio_flush(m_io);
    }
    if (m_outputError != 0 || trailer < 0 || m_io->error < 0)
    {
        // The trailer may have been cut anywhere: keep what ended with a whole cluster.
        return Fail(m_outputError != 0
                        ? ClipErrorText(m_outputError, m_writtenFile)
                        : MuxerErrorText(trailer < 0 ? trailer : m_io->error, m_writtenFile));
    }
    m_safeEnd = m_end;
    FreeMuxer();
    const int closed = m_output->Close();
    m_output.reset();
    m_state = State::Closed;
    if (closed != 0)
    {
        m_error = ClipErrorText(closed, m_writtenFile);
        if (m_naming == Naming::PartThenRename)
        {
            RemoveWritten();
        }
        return false;
    }
    if (m_naming == Naming::FinalName)
    {
        return true;
    }
    int renamed = m_overwrite ? std::rename(m_writtenFile.c_str(), m_file.c_str())
                              : ::renameat2(AT_FDCWD, m_writtenFile.c_str(), AT_FDCWD,
                                            m_file.c_str(), RENAME_NOREPLACE);
    // A file system without the no-replace rename: the name was free when checked.
    if (renamed != 0 && errno == EINVAL && !m_overwrite)
    {
        std::error_code ignored;
        renamed = std::filesystem::exists(m_file, ignored)
                      ? (errno = EEXIST, -1)
                      : std::rename(m_writtenFile.c_str(), m_file.c_str());
    }
    if (renamed != 0)
    {
        m_error = ClipErrorText(errno, m_file);
        RemoveWritten();
        return false;
    }
    return true;
}

void CClipWriter::Abort()
{
    if (m_state != State::Open)
    {
        return;
    }
    FreeMuxer();
    m_output.reset();
    m_state = State::Closed;
    RemoveWritten();
}

bool CClipWriter::Fail(std::u16string error)
{
    m_error = std::move(error);
    FreeMuxer();
    if (m_output)
    {
        m_output->Truncate(m_safeEnd);
        m_output->Close();
        m_output.reset();
    }
    m_state = State::Closed;
    // A recording keeps what plays; a clip is whole or not there.
    if (m_naming == Naming::PartThenRename || m_safeEnd <= m_headerEnd)
    {
        RemoveWritten();
    }
    return false;
}

void CClipWriter::FreeMuxer()
{
    if (m_io)
    {
        av_freep(&m_io->buffer);
        avio_context_free(&m_io);
    }
    if (m_format)
    {
        m_format->pb = nullptr;
        avformat_free_context(m_format);
        m_format = nullptr;
    }
    av_packet_free(&m_packet);
}

void CClipWriter::RemoveWritten()
{
    std::error_code ignored;
    std::filesystem::remove(m_writtenFile, ignored);
}

int CClipWriter::WritePacket(void* opaque, uint8_t* data, int size)
{
    auto* self = static_cast<CClipWriter*>(opaque);
    if (self->m_outputError != 0)
    {
        return AVERROR(self->m_outputError);
    }
    const int error = self->m_output->Write(data, static_cast<size_t>(size));
    if (error != 0)
    {
        self->m_outputError = error;
        return AVERROR(error);
    }
    self->m_position += static_cast<uint64_t>(size);
    self->m_end = std::max(self->m_end, self->m_position);
    return size;
}

int64_t CClipWriter::SeekPacket(void* opaque, int64_t offset, int whence)
{
    auto* self = static_cast<CClipWriter*>(opaque);
    if (whence != SEEK_SET || offset < 0)
    {
        return AVERROR(ENOSYS);
    }
    const int error = self->m_output->SeekTo(static_cast<uint64_t>(offset));
    if (error != 0)
    {
        self->m_outputError = error;
        return AVERROR(error);
    }
    self->m_position = static_cast<uint64_t>(offset);
    return offset;
}
