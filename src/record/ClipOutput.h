// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>

// Where a clip's bytes go. Every call answers with an errno value (0 when it
// worked), so the writer can tell the user what went wrong.
class IClipOutput
{
public:
    virtual ~IClipOutput() = default;
    // Every byte, or an error.
    virtual int Write(const uint8_t* data, size_t length) = 0;
    // Moves to `offset` from the start; the muxer comes back to fill in the length.
    virtual int SeekTo(uint64_t offset) = 0;
    // Cuts the file back to its first `size` bytes and moves there.
    virtual int Truncate(uint64_t size) = 0;
    // Makes the bytes durable and closes: a later rename never shows a file the disk lacks.
    virtual int Close() = 0;
};

// The folder's side: files to write and the space left for them. The real one is
// the file system; tests put one in front that fails.
class IClipStorage
{
public:
    enum class Create
    {
        Replace, // a leftover of an earlier run under the name is written over
        New,     // the name must not exist yet
    };

    virtual ~IClipStorage() = default;
    // Nothing, with `error` set, when the file cannot be made.
    virtual std::unique_ptr<IClipOutput> Open(const std::filesystem::path& file, Create how,
                                              int& error) = 0;
    // Bytes the user may still write in the folder; nothing when it cannot be asked.
    virtual std::optional<uint64_t> FreeBytes(const std::filesystem::path& folder) = 0;
};

// Files opened with open(2), free space from statvfs(3).
class CFileStorage : public IClipStorage
{
public:
    std::unique_ptr<IClipOutput> Open(const std::filesystem::path& file, Create how,
                                      int& error) override;
    std::optional<uint64_t> FreeBytes(const std::filesystem::path& folder) override;
};

// The one real storage; it holds no state, so every thread may use it.
IClipStorage& FileStorage();
