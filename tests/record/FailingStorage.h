// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "record/ClipOutput.h"

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <mutex>

// Real files, as a test device in front of them: every write past `failAfter`
// bytes (counted over all files) stops part-way with `error`, as a disk that fills
// up does; the free space is what the test says; writes can be held at a gate.
class CFailingStorage : public IClipStorage
{
public:
    std::atomic<uint64_t> failAfter{UINT64_MAX};
    std::atomic<int> error{ENOSPC};
    std::atomic<uint64_t> freeBytes{UINT64_MAX};
    uint64_t Written() const { return m_written; }

    // Holds every write until Release, telling WaitUntilHeld that one is waiting.
    void HoldWrites()
    {
        std::lock_guard lock(m_mutex);
        m_hold = true;
    }
    bool WaitUntilHeld()
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(20), [this] { return m_held; });
    }
    void Release()
    {
        std::lock_guard lock(m_mutex);
        m_hold = false;
        m_changed.notify_all();
    }

    std::unique_ptr<IClipOutput> Open(const std::filesystem::path& file, Create how,
                                      int& openError) override
    {
        std::unique_ptr<IClipOutput> real = FileStorage().Open(file, how, openError);
        return real ? std::make_unique<Output>(*this, std::move(real)) : nullptr;
    }
    std::optional<uint64_t> FreeBytes(const std::filesystem::path&) override { return freeBytes; }

private:
    class Output : public IClipOutput
    {
    public:
        Output(CFailingStorage& storage, std::unique_ptr<IClipOutput> real)
            : m_storage(storage), m_real(std::move(real))
        {
        }
        int Write(const uint8_t* data, size_t length) override
        {
            m_storage.Gate();
            const uint64_t written = m_storage.m_written.fetch_add(length);
            const uint64_t limit = m_storage.failAfter;
            if (written + length <= limit)
            {
                return m_real->Write(data, length);
            }
            if (written < limit)
            {
                m_real->Write(data, static_cast<size_t>(limit - written));
            }
            return m_storage.error;
        }
        int SeekTo(uint64_t offset) override { return m_real->SeekTo(offset); }
        int Truncate(uint64_t size) override { return m_real->Truncate(size); }
        int Close() override { return m_real->Close(); }

    private:
        CFailingStorage& m_storage;
        std::unique_ptr<IClipOutput> m_real;
    };

    void Gate()
    {
        std::unique_lock lock(m_mutex);
        if (m_hold)
        {
            m_held = true;
            m_changed.notify_all();
            m_changed.wait(lock, [this] { return !m_hold; });
        }
    }

    std::atomic<uint64_t> m_written{0};
    std::mutex m_mutex; // guards m_hold and m_held, signalled through m_changed
    std::condition_variable m_changed;
    bool m_hold = false;
    bool m_held = false;
};
