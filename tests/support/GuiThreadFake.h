// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/MessagePump.h"
#include "platform/NotifyWindow.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// Stands in for the GUI thread the way Qt does it: posted tasks wait until the
// GUI thread dispatches them; a message is handled at once on the GUI thread.
// The test's own thread is the GUI thread.
class GuiThreadFake : public INotifyWindow, public IMessagePump
{
public:
    struct Message
    {
        unsigned message;
        uintptr_t wParam;
    };

    intptr_t SendMessage(unsigned message, uintptr_t wParam, intptr_t) override
    {
        if (std::this_thread::get_id() != m_guiThread)
        {
            offThreadSends = true;
        }
        Handle({message, wParam});
        return 0;
    }

    void Post(std::function<void()> task) override
    {
        std::lock_guard lock(m_mutex);
        m_posted.push_back(std::move(task));
        m_changed.notify_all();
    }

    void DispatchPending() override
    {
        std::unique_lock lock(m_mutex);
        while (!m_posted.empty())
        {
            auto task = std::move(m_posted.front());
            m_posted.pop_front();
            lock.unlock();
            task();
            lock.lock();
        }
    }

    // Dispatches until the handled messages satisfy the condition, or the bound runs out.
    bool WaitFor(const std::function<bool(const std::vector<Message>&)>& condition,
                 std::chrono::milliseconds bound = std::chrono::seconds(20))
    {
        const auto deadline = std::chrono::steady_clock::now() + bound;
        for (;;)
        {
            DispatchPending();
            {
                std::unique_lock lock(m_mutex);
                if (condition(m_handled))
                {
                    return true;
                }
                const unsigned pokes = m_pokes;
                if (!m_changed.wait_until(lock, deadline,
                                          [&] { return !m_posted.empty() || m_pokes != pokes; }))
                {
                    return condition(m_handled);
                }
            }
        }
    }

    // Something a waiting condition may depend on has changed.
    void Poke()
    {
        std::lock_guard lock(m_mutex);
        ++m_pokes;
        m_changed.notify_all();
    }

    // Waits, without dispatching, until a task is posted (a receiver's notification).
    bool WaitForPendingSend(std::chrono::milliseconds bound = std::chrono::seconds(20))
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, bound, [&] { return !m_posted.empty(); });
    }

    bool WaitForCount(unsigned message, size_t count,
                      std::chrono::milliseconds bound = std::chrono::seconds(20))
    {
        return WaitFor([&](const std::vector<Message>& handled)
                       { return Count(handled, message) >= count; },
                       bound);
    }

    size_t Count(unsigned message)
    {
        std::lock_guard lock(m_mutex);
        return Count(m_handled, message);
    }

    // Forgets the messages handled so far, so a test can count afresh.
    void Clear()
    {
        std::lock_guard lock(m_mutex);
        m_handled.clear();
    }

    std::vector<Message> Handled()
    {
        std::lock_guard lock(m_mutex);
        return m_handled;
    }

    // Runs on the GUI thread for every message, after it is recorded.
    std::function<void(const Message&)> onMessage;
    // A handler was run off the GUI thread.
    std::atomic<bool> offThreadSends{false};

private:
    static size_t Count(const std::vector<Message>& handled, unsigned message)
    {
        size_t n = 0;
        for (const auto& m : handled)
        {
            n += m.message == message ? 1 : 0;
        }
        return n;
    }

    void Handle(const Message& message)
    {
        {
            std::lock_guard lock(m_mutex);
            m_handled.push_back(message);
        }
        if (onMessage)
        {
            onMessage(message);
        }
    }

    const std::thread::id m_guiThread = std::this_thread::get_id();
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::function<void()>> m_posted;
    std::vector<Message> m_handled;
    unsigned m_pokes = 0;
};
