// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/MessageBoxSeam.h"

namespace
{
std::mutex g_installMutex; // guards g_seam while a box is answered
MessageBoxSeam* g_seam = nullptr;
} // namespace

MessageBoxSeam::MessageBoxSeam()
{
    std::lock_guard lock(g_installMutex);
    g_seam = this;
}

MessageBoxSeam::~MessageBoxSeam()
{
    std::lock_guard lock(g_installMutex);
    g_seam = nullptr;
}

void MessageBoxSeam::QueueAnswer(MessageBoxAnswer answer)
{
    std::lock_guard lock(m_mutex);
    m_answers.push_back(answer);
}

std::vector<MessageBoxRequest> MessageBoxSeam::Shown() const
{
    std::lock_guard lock(m_mutex);
    return m_shown;
}

std::vector<std::u16string> MessageBoxSeam::ShownTexts() const
{
    std::lock_guard lock(m_mutex);
    std::vector<std::u16string> texts;
    for (const auto& request : m_shown)
    {
        texts.push_back(request.text);
    }
    return texts;
}

void MessageBoxSeam::Clear()
{
    std::lock_guard lock(m_mutex);
    m_shown.clear();
    m_answers.clear();
}

bool MessageBoxSeam::Answer(const MessageBoxRequest& request, MessageBoxAnswer& answer)
{
    std::lock_guard installed(g_installMutex);
    if (g_seam == nullptr)
    {
        return false;
    }
    std::lock_guard lock(g_seam->m_mutex);
    g_seam->m_shown.push_back(request);
    if (g_seam->m_answers.empty())
    {
        answer = request.buttons == MessageBoxButtons::YesNo ? MessageBoxAnswer::No
                                                             : MessageBoxAnswer::Ok;
    }
    else
    {
        answer = g_seam->m_answers.front();
        g_seam->m_answers.pop_front();
    }
    return true;
}
