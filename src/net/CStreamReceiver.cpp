// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/CStreamReceiver.h"

#include "net/CDVRClient.h"
#include "net/CRetryBackoff.h"
#include "net/DispatchingWait.h"
#include "net/HttpLayer.h"
#include "net/ReceiverSync.h"
#include "platform/MessagePump.h"
#include "platform/TextCodec.h"
#include "platform/WindowMessages.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <utility>

namespace
{
using Clock = std::chrono::steady_clock;

thread_local CStreamReceiver* t_pReceiver = nullptr;

// The receiver hands the deframer what one read of the original gave it at most.
constexpr size_t kReadChunk = 512;
// A whole frame in one read: each read is a poll and a system call, sixteen
// streams of a wall make hundreds of them a second, and curl's default of 16 KiB
// splits even a small 704 x 480 picture.
constexpr long kReceiveBuffer = 256 * 1024;

size_t NoteResponse(char*, size_t size, size_t count, void* gotResponse)
{
    *static_cast<bool*>(gotResponse) = true;
    return size * count;
}
} // namespace

CStreamReceiver::CStreamReceiver(CDVRClient& owner, std::shared_ptr<ReceiverSync> sharedSync)
    : client(owner), sync(std::move(sharedSync)), multi(curl_multi_init())
{
    m_parser.InitBuffers();
}

CStreamReceiver::~CStreamReceiver()
{
    if (multi != nullptr)
    {
        curl_multi_cleanup(multi);
    }
}

void CStreamReceiver::AskToStop()
{
    {
        std::lock_guard lock(sync->mutex);
        stop = true;
    }
    sync->changed.notify_all();
    curl_multi_wakeup(multi);
}

void CStreamReceiver::WaitUntilFinished()
{
    {
        std::unique_lock lock(sync->mutex);
        WaitDispatching(&client.m_messagePump, lock, sync->changed, Clock::time_point::max(),
                        [&] { return finished.load(); });
    }
    if (thread.joinable())
    {
        thread.join();
    }
}

void CStreamReceiver::Notify(unsigned message, uintptr_t wParam)
{
    HandOver({.message = message, .wParam = wParam, .box = {}});
    WaitWhilePaused();
}

MessageBoxAnswer CStreamReceiver::ShowBox(IMessageBox& box, const std::u16string& text,
                                          const std::u16string& caption, MessageBoxIcon icon,
                                          MessageBoxButtons buttons)
{
    // Copies: a stop lets the receiver go on while the box may still be open.
    const bool shown = HandOver({.box = [&box, text, caption, icon, buttons]
                                 { return box.Show(text, caption, icon, buttons); }});
    std::lock_guard lock(sync->mutex);
    if (!shown)
    {
        return buttons == MessageBoxButtons::YesNo ? MessageBoxAnswer::No : MessageBoxAnswer::Ok;
    }
    return boxAnswer;
}

CStreamReceiver* CStreamReceiver::OnThisThread()
{
    return t_pReceiver;
}

bool CStreamReceiver::HandOver(CDVRClient::Notification notification)
{
    {
        std::lock_guard lock(sync->mutex);
        if (stop)
        {
            return false;
        }
        waiting = true;
        delivered = false;
    }
    sync->changed.notify_all(); // a PauseReceiver may wait for this safe point
    client.m_messagePump.Post([weak = weak_from_this(), notification = std::move(notification)]
                              { CDVRClient::Deliver(weak, notification); });
    std::unique_lock lock(sync->mutex);
    sync->changed.wait(lock, [&] { return delivered || stop.load(); });
    waiting = false;
    return delivered;
}

void CStreamReceiver::WaitWhilePaused()
{
    if (client.m_nPauseCount == 0)
    {
        return;
    }
    std::unique_lock lock(sync->mutex);
    if (client.m_nPauseCount == 0 || stop)
    {
        return;
    }
    held = true;
    sync->changed.notify_all();
    sync->changed.wait(lock, [&] { return client.m_nPauseCount == 0 || stop; });
    held = false;
}

void CStreamReceiver::Main()
{
    t_pReceiver = this;
    const DvrClientTimeouts& timeouts = client.m_timeouts;
    m_replyDeadline = Clock::now() + timeouts.loginReply;
    // The first new login goes out at once.
    std::chrono::milliseconds retryWait{0};
    CRetryBackoff backoff(timeouts.loginRetry, timeouts.loginRetryLongest);
    while (!stop && !m_bEnded)
    {
        if (!OpenStream())
        {
            OnConnectionLost();
            break;
        }
        const StreamEnd end = ReadStream();
        CloseHandles();
        if (end == StreamEnd::Stopped || stop || m_bEnded)
        {
            break;
        }
        // A stream that ends before its login reply is answered by a new login,
        // the first at once, the next ones ever later, so that a web server that
        // is no DVR is not flooded; one that ends after it is a lost connection.
        if (end == StreamEnd::Closed && !m_bLoggedIn)
        {
            if (WaitBeforeNewLogin(retryWait))
            {
                retryWait = backoff.Next();
                continue;
            }
            if (stop)
            {
                break;
            }
        }
        OnConnectionLost();
        break;
    }
    CloseHandles();
    m_parser.FreeBuffers();
    client.EndReceiver(*this);
    {
        std::lock_guard lock(sync->mutex);
        finished = true;
    }
    sync->changed.notify_all();
}

// A safe point for a pause: nothing is read while the receiver waits here.
bool CStreamReceiver::WaitBeforeNewLogin(std::chrono::milliseconds wait)
{
    const auto until = std::min(Clock::now() + wait, m_replyDeadline);
    std::unique_lock lock(sync->mutex);
    if (wait.count() > 0)
    {
        held = true;
        sync->changed.notify_all();
        sync->changed.wait_until(lock, until, [&] { return stop.load(); });
        held = false;
    }
    return !stop && Clock::now() < m_replyDeadline;
}

bool CStreamReceiver::OpenStream()
{
    CloseHandles();
    const DvrConnectInfo info = client.GetConnectInfo();
    std::string url;
    // An address that is not a host fails as an unreachable DVR does.
    if (!BuildRequestUrl(FieldText(info.Address), info.Port, kCgiPath, nullptr, url) ||
        multi == nullptr || (m_easy = curl_easy_init()) == nullptr)
    {
        return false;
    }
    const std::string object = ToUtf8(BuildLoginObject(info));
    m_headers = curl_slist_append(nullptr, "Accept:");
    m_bGotResponse = false;
    m_bGotData = false;
    curl_easy_setopt(m_easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(m_easy, CURLOPT_HTTP09_ALLOWED, 1L);
    curl_easy_setopt(m_easy, CURLOPT_REQUEST_TARGET, object.c_str());
    curl_easy_setopt(m_easy, CURLOPT_CUSTOMREQUEST, "Get");
    curl_easy_setopt(m_easy, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_0);
    curl_easy_setopt(m_easy, CURLOPT_USERAGENT, kLoginAgent);
    curl_easy_setopt(m_easy, CURLOPT_HTTPHEADER, m_headers);
    curl_easy_setopt(m_easy, CURLOPT_HEADERFUNCTION, NoteResponse);
    curl_easy_setopt(m_easy, CURLOPT_HEADERDATA, &m_bGotResponse);
    curl_easy_setopt(m_easy, CURLOPT_WRITEFUNCTION, &CStreamReceiver::OnStreamData);
    curl_easy_setopt(m_easy, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(m_easy, CURLOPT_BUFFERSIZE, kReceiveBuffer);
    curl_easy_setopt(m_easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(m_easy, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(m_easy, CURLOPT_FRESH_CONNECT, 1L);
    if (curl_multi_add_handle(multi, m_easy) != CURLM_OK)
    {
        CloseHandles();
        return false;
    }
    return true;
}

CStreamReceiver::StreamEnd CStreamReceiver::ReadStream()
{
    // The watchdog counts only while the receiver waits for the DVR; time held
    // by a pause is added back.
    auto deadline = Clock::now() + client.m_timeouts.watchdog;
    for (;;)
    {
        const auto pausedAt = Clock::now();
        WaitWhilePaused();
        const auto paused = Clock::now() - pausedAt;
        deadline += paused;
        m_replyDeadline += paused;
        if (stop || m_bEnded)
        {
            return StreamEnd::Stopped;
        }
        int running = 0;
        curl_multi_perform(multi, &running);
        if (m_bGotData)
        {
            m_bGotData = false;
            deadline = Clock::now() + client.m_timeouts.watchdog;
        }
        if (stop || m_bEnded)
        {
            return StreamEnd::Stopped;
        }
        if (running == 0)
        {
            return m_bGotResponse ? StreamEnd::Closed : StreamEnd::NoResponse;
        }
        // A login not yet answered also ends when its reply is overdue.
        const auto limit = m_bLoggedIn ? deadline : std::min(deadline, m_replyDeadline);
        const auto remaining = std::chrono::ceil<std::chrono::milliseconds>(limit - Clock::now());
        if (remaining.count() <= 0)
        {
            return StreamEnd::TimedOut;
        }
        curl_multi_poll(multi, nullptr, 0, static_cast<int>(remaining.count()), nullptr);
    }
}

size_t CStreamReceiver::OnStreamData(char* data, size_t size, size_t count, void* receiver)
{
    CStreamReceiver& r = *static_cast<CStreamReceiver*>(receiver);
    const size_t total = size * count;
    for (size_t at = 0; at < total; at += kReadChunk)
    {
        r.WaitWhilePaused();
        if (r.stop || r.m_bEnded)
        {
            return 0; // ends the transfer
        }
        const auto n = static_cast<uint32_t>(std::min(kReadChunk, total - at));
        r.ParseChunk(reinterpret_cast<const uint8_t*>(data) + at, n);
    }
    // A DVR that sends no status line answers with its data alone.
    r.m_bGotResponse = true;
    r.m_bGotData = true;
    return r.stop || r.m_bEnded ? 0 : total;
}

void CStreamReceiver::CloseHandles()
{
    if (m_easy != nullptr)
    {
        curl_multi_remove_handle(multi, m_easy);
        curl_easy_cleanup(m_easy);
        m_easy = nullptr;
    }
    if (m_headers != nullptr)
    {
        curl_slist_free_all(m_headers);
        m_headers = nullptr;
    }
}

void CStreamReceiver::ParseChunk(const uint8_t* bytes, uint32_t count)
{
    const uint8_t* next = bytes;
    uint32_t n = count;
    CPacketParser::Packet packet;
    while (!stop && !m_bEnded && m_parser.Next(packet, next, n) == 1)
    {
        next = nullptr;
        n = 0;
        const uint32_t length = packet.length;
        const uint8_t* payload = packet.payload;
        switch (packet.type)
        {
        case PKT_ERROR:
        {
            m_bEnded = true;
            client.EndLogin(*this);
            // An empty error packet has no code to tell: it reads as code 0.
            Notify(WM_DVR_ERROR, length > 0 ? payload[0] : 0);
            return;
        }
        case PKT_LOGIN_REPLY:
        {
            const DvrInfoBlock* info =
                client.AcceptLoginReply(*this, payload, length, m_parser.GetClientId());
            if (info == nullptr)
            {
                return;
            }
            m_bLoggedIn = true;
            Notify(WM_DVR_CONNECTED, reinterpret_cast<uintptr_t>(info));
            break;
        }
        case PKT_FRAME:
            client.ShowFrame(*this, payload, length);
            break;
        default:
            break;
        }
    }
}

void CStreamReceiver::OnConnectionLost()
{
    CloseHandles();
    m_bEnded = true;
    if (client.EndLogin(*this))
    {
        Notify(WM_DVR_CONNECT_FAILED, 0);
    }
}
