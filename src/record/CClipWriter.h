// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/HistoryFrame.h"
#include "record/ClipOutput.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

struct AVFormatContext;
struct AVIOContext;
struct AVPacket;

// Whose pictures a clip holds: written into its title and tags.
struct ClipIdentity
{
    std::u16string dvrName;
    int channel = 0; // 0-based, shown as CH-01
};

// A Matroska file of one MJPEG track: every frame's JPEG as it came, stamped with
// its arrival in milliseconds from the first frame. Clusters close after a second
// and go to the file at once, so a file cut at any moment plays up to its last
// second; a failed write cuts the file back to the end of its last whole cluster.
// Not thread-safe: one thread writes a clip from Open to Finish.
class CClipWriter
{
public:
    enum class Naming
    {
        // Bytes go to "NAME.part", renamed to NAME by Finish; a failure removes it.
        PartThenRename,
        // Bytes go to NAME, which must not exist; a failure keeps what plays.
        FinalName,
    };

    explicit CClipWriter(IClipStorage& storage = FileStorage());
    ~CClipWriter(); // Aborts a clip still open
    CClipWriter(const CClipWriter&) = delete;
    CClipWriter& operator=(const CClipWriter&) = delete;

    // Makes the file; the track starts with the first frame. With PartThenRename and
    // no `overwrite`, an existing NAME is an error before anything is written.
    bool Open(const std::filesystem::path& file, const ClipIdentity& identity, Naming naming,
              bool overwrite = false);
    // A frame whose JPEG has no readable size is left out and the clip goes on.
    bool Write(const HistoryFrameInfo& info, const uint8_t* jpeg, size_t length);
    // Closes the cluster under way, so a camera gone silent has its last pictures on disk.
    bool Flush();
    // Completes the file (length, index), makes it durable and gives it its name.
    bool Finish();
    // Ends the clip without a file: the written one is removed.
    void Abort();

    bool IsOpen() const { return m_state == State::Open; }
    const std::filesystem::path& GetFile() const { return m_file; }
    const std::filesystem::path& GetWrittenFile() const { return m_writtenFile; }
    uint64_t GetBytes() const { return m_end; }
    size_t GetFrames() const { return m_frames; }
    size_t GetSkippedFrames() const { return m_skipped; }
    // Why the last Open, Write, Flush or Finish failed.
    const std::u16string& GetError() const { return m_error; }

private:
    enum class State
    {
        Closed,
        Open,
    };

    static int WritePacket(void* opaque, uint8_t* data, int size);
    static int64_t SeekPacket(void* opaque, int64_t offset, int whence);
    bool StartTrack(const HistoryFrameInfo& first, int width, int height);
    bool AfterMuxer(int result);
    bool Fail(std::u16string error);
    void FreeMuxer();
    void RemoveWritten();

    IClipStorage& m_storage;
    std::unique_ptr<IClipOutput> m_output;
    AVFormatContext* m_format = nullptr;
    AVIOContext* m_io = nullptr;
    AVPacket* m_packet = nullptr;
    State m_state = State::Closed;
    Naming m_naming = Naming::PartThenRename;
    bool m_overwrite = false;
    ClipIdentity m_identity;
    std::filesystem::path m_file;
    std::filesystem::path m_writtenFile;
    std::chrono::steady_clock::time_point m_first;
    int64_t m_lastPts = 0;
    uint64_t m_position = 0;
    uint64_t m_end = 0;
    // Where the last whole cluster ends: what a failed write cuts the file back to.
    uint64_t m_safeEnd = 0;
    uint64_t m_headerEnd = 0; // a file cut back to here holds no picture and is removed
    int m_outputError = 0;
    size_t m_frames = 0;
    size_t m_skipped = 0;
    std::u16string m_error;
};
