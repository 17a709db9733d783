// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/MessageBox.h"
#include "platform/MessagePump.h"

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>

// A message box as the program's own behaves: asked for off the GUI thread, it
// is shown when the GUI thread next dispatches, while the asking thread waits.
// onShown runs on the GUI thread as each box opens.
class GuiThreadMessageBox : public IMessageBox
{
public:
    GuiThreadMessageBox(IMessagePump& gui, IMessageBox& shown, std::function<void()> onShown = {})
        : m_gui(gui), m_shown(shown), m_onShown(std::move(onShown))
    {
    }

    MessageBoxAnswer Show(const std::u16string& text, const std::u16string& caption,
                          MessageBoxIcon icon, MessageBoxButtons buttons) override
    {
        if (std::this_thread::get_id() == m_guiThread)
        {
            if (m_onShown)
            {
                m_onShown();
            }
            return m_shown.Show(text, caption, icon, buttons);
        }
        std::mutex mutex;
        std::condition_variable done;
        bool answered = false;
        MessageBoxAnswer answer = MessageBoxAnswer::Ok;
        m_gui.Post(
            [&]
            {
                const MessageBoxAnswer given = Show(text, caption, icon, buttons);
                std::lock_guard lock(mutex);
                answer = given;
                answered = true;
                done.notify_all();
            });
        std::unique_lock lock(mutex);
        done.wait(lock, [&] { return answered; });
        return answer;
    }

private:
    IMessagePump& m_gui;
    IMessageBox& m_shown;
    std::function<void()> m_onShown;
    const std::thread::id m_guiThread = std::this_thread::get_id();
};
