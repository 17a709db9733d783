// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/CDVRClient.h"

#include "net/CLogoutBatch.h"
#include "net/CStreamReceiver.h"
#include "net/DispatchingWait.h"
#include "net/HttpLayer.h"
#include "net/ReceiverSync.h"
#include "platform/BusyCursor.h"
#include "platform/MessagePump.h"
#include "platform/NotifyWindow.h"
#include "platform/ThreadName.h"
#include "platform/WindowMessages.h"

#include <algorithm>
#include <cstring>
#include <system_error>
#include <thread>
#include <utility>

namespace
{
using Clock = std::chrono::steady_clock;
} // namespace

CDVRClient::CDVRClient(INotifyWindow& notifyWindow, IPictureWindow& pictureWindow,
                       IMessageBox& messageBox, IMessagePump& messagePump, IBusyCursor& busyCursor,
                       Timeouts timeouts, CHistoryBudget* historyBudget)
    : m_notifyWindow(notifyWindow), m_messagePump(messagePump), m_busyCursor(busyCursor),
      m_timeouts(timeouts), m_commands(messagePump, timeouts.command),
      m_sync(std::make_shared<ReceiverSync>()), m_decoderBoxes(messageBox),
      m_display(pictureWindow, m_decoderBoxes, historyBudget)
{
    std::memset(&m_connection, 0, sizeof m_connection);
    std::memset(&m_info, 0, sizeof m_info);
    InitHttpLayer();
}

CDVRClient::~CDVRClient()
{
    Disconnect();
    StopReceiver();
    std::vector<std::shared_ptr<CStreamReceiver>> retired;
    {
        std::lock_guard lock(m_mutex);
        retired.swap(m_retired);
    }
    for (const auto& receiver : retired)
    {
        receiver->AskToStop();
        receiver->WaitUntilFinished();
    }
    EndConnectCursor();
}

void CDVRClient::Start(const DvrConnectInfo& info)
{
    // A connection still pending keeps its cursor for the one that replaces it.
    if (!m_bConnectCursor)
    {
        m_busyCursor.Begin();
        m_bConnectCursor = true;
    }
    auto receiver = std::make_shared<CStreamReceiver>(*this, m_sync);
    std::shared_ptr<CStreamReceiver> previous;
    {
        std::lock_guard lock(m_mutex);
        m_connection = info;
        previous = std::exchange(m_current, receiver);
        // Superseded receivers are told to stop but not waited for: one may be
        // inside a notification whose handler is this very call.
        std::erase_if(m_retired,
                      [](const std::shared_ptr<CStreamReceiver>& old)
                      {
                          if (!old->finished)
                          {
                              return false;
                          }
                          old->thread.join();
                          return true;
                      });
        if (previous)
        {
            m_retired.push_back(previous);
        }
        m_bLoggedIn = false;
    }
    if (previous)
    {
        previous->AskToStop();
    }
    // After the stop, so a frame of the previous receiver cannot join the new history.
    m_display.StartHistory();
    try
    {
        receiver->thread = std::thread([receiver] { receiver->Main(); });
        NameThread(receiver->thread, "quillon-receive");
    }
    catch (const std::system_error&)
    {
        {
            std::lock_guard lock(m_mutex);
            m_current.reset();
        }
        EndConnectCursor();
        m_notifyWindow.SendMessage(WM_DVR_CONNECT_FAILED, 0, 0);
    }
}

void CDVRClient::Disconnect()
{
    EndConnection(false, nullptr);
}

void CDVRClient::Stop()
{
    EndConnection(true, nullptr);
}

void CDVRClient::Stop(CLogoutBatch& logouts)
{
    EndConnection(true, &logouts);
}

// Whether the login was answered and which receiver ends are one decision, under
// the lock that the login reply and a lost connection take, so neither can come between.
void CDVRClient::EndConnection(bool evenIfConnecting, CLogoutBatch* logouts)
{
    std::shared_ptr<CStreamReceiver> receiver;
    bool loggedIn = false;
    {
        std::lock_guard lock(m_mutex);
        loggedIn = m_bLoggedIn.exchange(false);
        if (!loggedIn && !evenIfConnecting)
        {
            return;
        }
        // No longer current before the logout goes out: the DVR ends the stream in
        // answer, and that must not reach the main frame as a lost connection.
        receiver = std::exchange(m_current, nullptr);
    }
    if (loggedIn)
    {
        m_busyCursor.Begin();
        if (logouts != nullptr)
        {
            logouts->Add(CCommandSender::MakeCommand(GetConnectInfo(), m_nClientId, OP_LOGOUT, {}));
        }
        else
        {
            SendCommand(OP_LOGOUT, {});
        }
    }
    if (receiver)
    {
        receiver->AskToStop();
        receiver->WaitUntilFinished();
    }
    EndConnectCursor();
    m_display.Clear();
    if (loggedIn)
    {
        m_busyCursor.End();
    }
}

void CDVRClient::SelectChannel(int channel)
{
    m_commands.Begin();
    m_busyCursor.Begin();
    PauseReceiver();
    {
        std::lock_guard lock(m_mutex);
        m_connection.ChannelMask = ChannelMaskFromIndex(channel);
    }
    SendCommand(OP_SELECT_CHANNEL, {});
    // The old channel's frames still on their way stay out of the new history.
    m_display.StartHistory(static_cast<uint8_t>(channel));
    ResumeReceiver();
    m_busyCursor.End();
    m_commands.End();
}

void CDVRClient::SendPTZRequest(const std::u16string& text)
{
    m_busyCursor.Begin();
    SendCommand(OP_PTZ, text);
    m_busyCursor.End();
}

void CDVRClient::SendPTZRequests(const std::vector<std::u16string>& texts)
{
    m_commands.Begin();
    PauseReceiver();
    for (const std::u16string& text : texts)
    {
        SendPTZRequest(text);
    }
    ResumeReceiver();
    m_commands.End();
}

void CDVRClient::SendCommand(uint32_t operationCode, const std::u16string& text)
{
    m_commands.Send(GetConnectInfo(), m_nClientId, operationCode, text);
}

void CDVRClient::PauseReceiver()
{
    std::shared_ptr<CStreamReceiver> receiver;
    {
        std::lock_guard lock(m_mutex);
        receiver = m_current;
    }
    std::unique_lock lock(m_sync->mutex);
    ++m_nPauseCount;
    if (!receiver)
    {
        return;
    }
    curl_multi_wakeup(receiver->multi);
    // A receiver waiting on a notification is at a safe point too: it honours
    // the pause as soon as the notification is done with.
    WaitDispatching(&m_messagePump, lock, m_sync->changed, Clock::time_point::max(),
                    [&] { return receiver->held || receiver->waiting || receiver->finished; });
}

void CDVRClient::ResumeReceiver()
{
    {
        std::lock_guard lock(m_sync->mutex);
        if (m_nPauseCount > 0)
        {
            --m_nPauseCount;
        }
    }
    m_sync->changed.notify_all();
}

bool CDVRClient::IsStarted() const
{
    std::lock_guard lock(m_mutex);
    return m_current != nullptr;
}

bool CDVRClient::HasChannel(int channel) const
{
    std::lock_guard lock(m_mutex);
    return channel < static_cast<int>(m_info.ChannelCount());
}

void CDVRClient::RepaintPicture()
{
    m_display.Paint();
}

PictureRect CDVRClient::GetPictureRect()
{
    return m_display.GetPictureRect();
}

DvrConnectInfo CDVRClient::GetConnectInfo() const
{
    std::lock_guard lock(m_mutex);
    return m_connection;
}

bool CDVRClient::IsCurrent(const CStreamReceiver& receiver) const
{
    std::lock_guard lock(m_mutex);
    return m_current.get() == &receiver;
}

std::shared_ptr<CStreamReceiver> CDVRClient::TakeCurrent()
{
    std::lock_guard lock(m_mutex);
    return std::exchange(m_current, nullptr);
}

void CDVRClient::StopReceiver()
{
    if (const std::shared_ptr<CStreamReceiver> receiver = TakeCurrent())
    {
        receiver->AskToStop();
        receiver->WaitUntilFinished();
    }
    EndConnectCursor();
}

void CDVRClient::EndConnectCursor()
{
    if (std::exchange(m_bConnectCursor, false))
    {
        m_busyCursor.End();
    }
}

// GUI thread. Currency is decided here, where no Start or stop can interleave.
void CDVRClient::Deliver(const std::weak_ptr<CStreamReceiver>& weak,
                         const Notification& notification)
{
    const std::shared_ptr<CStreamReceiver> r = weak.lock();
    if (!r)
    {
        return;
    }
    MessageBoxAnswer answer = MessageBoxAnswer::Ok;
    if (!r->stop && r->client.IsCurrent(*r))
    {
        CDVRClient& client = r->client;
        // A box opened inside a command's wait would hold its next request back.
        if (client.m_commands.IsWaiting() && notification.message != WM_DVR_CONNECTED)
        {
            client.m_commands.Hold([weak, notification] { Deliver(weak, notification); });
            return;
        }
        if (notification.box)
        {
            answer = notification.box();
        }
        else
        {
            client.EndConnectCursor();
            client.m_notifyWindow.SendMessage(notification.message, notification.wParam, 0);
        }
    }
    // The handler may have destroyed the client: only the receiver's share from here.
    {
        std::lock_guard lock(r->sync->mutex);
        r->delivered = true;
        r->boxAnswer = answer;
    }
    r->sync->changed.notify_all();
}

const DvrInfoBlock* CDVRClient::AcceptLoginReply(CStreamReceiver& r, const uint8_t* payload,
                                                 uint32_t length, uint32_t clientId)
{
    std::lock_guard lock(m_mutex);
    if (m_current.get() != &r || r.stop)
    {
        return nullptr;
    }
    std::memset(&m_info, 0, sizeof m_info);
    std::memcpy(m_info.bytes, payload, std::min<size_t>(length, DvrInfoBlock::kSize));
    // The id is in place before anyone hears of the login, so a command sent
    // from the notification already carries it.
    m_nClientId = clientId;
    m_bLoggedIn = true;
    return &m_info;
}

void CDVRClient::ShowFrame(CStreamReceiver& r, const uint8_t* payload, uint32_t length)
{
    // A receiver stops being current exactly when it is asked to stop.
    std::lock_guard lock(m_frameMutex);
    m_display.OnFramePacket(payload, length, [&r] { return !r.stop; });
}

// Logged out before the handler hears why, so the menus it refreshes are greyed.
bool CDVRClient::EndLogin(CStreamReceiver& r)
{
    std::lock_guard lock(m_mutex);
    if (m_current.get() != &r)
    {
        return false;
    }
    m_bLoggedIn = false;
    return true;
}

void CDVRClient::EndReceiver(CStreamReceiver& r)
{
    std::lock_guard lock(m_mutex);
    if (m_current.get() == &r)
    {
        m_bLoggedIn = false;
    }
}
