#include "net/CDVRClient.h"

#include "net/CCGIRequest.h"
#include "net/DispatchingWait.h"
#include "net/HttpLayer.h"
#include "platform/BusyCursor.h"
#include "platform/MessagePump.h"
#include "platform/NotifyWindow.h"
#include "platform/TextCodec.h"
#include "platform/WindowMessages.h"
#include "protocol/ByteOrder.h"
#include "protocol/CPacketParser.h"
#include "protocol/DvrCommand.h"

#include <curl/curl.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <system_error>
#include <thread>
#include <utility>

namespace
{
using Clock = std::chrono::steady_clock;

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

struct CDVRClient::Sync
{
    std::mutex mutex;
    std::condition_variable changed;
};

struct CDVRClient::Receiver : std::enable_shared_from_this<Receiver>
{
    Receiver(CDVRClient& owner, std::shared_ptr<Sync> sharedSync)
        : client(owner), sync(std::move(sharedSync)), multi(curl_multi_init()),
          packet(CPacketParser::kOutputSize)
    {
        parser.InitBuffers();
    }

    ~Receiver()
    {
        if (multi != nullptr)
        {
            curl_multi_cleanup(multi);
        }
    }

    // Used only while stop is clear: the client stops every receiver before it goes.
    CDVRClient& client;
    const std::shared_ptr<Sync> sync;
    // Started by Start and joined by the GUI thread only.
    std::thread thread;
    // Set once, by AskToStop on the GUI thread, when the receiver stops being current.
    std::atomic<bool> stop{false};
    // Written under sync->mutex; the GUI thread waits for them.
    std::atomic<bool> finished{false};
    bool held = false;
    bool waiting = false;   // inside Notify, posted and not yet delivered
    bool delivered = false; // the GUI thread is done with the posted notification
    // Created before the thread and freed after it is joined, so the GUI thread
    // may always wake the receiver through it.
    CURLM* multi;
    // Everything below belongs to the receiver thread.
    CURL* easy = nullptr;
    curl_slist* headers = nullptr;
    bool gotResponse = false;
    bool gotData = false;
    bool loggedIn = false;
    bool ended = false; // an error packet or a lost connection ends the stream
    CPacketParser parser;
    std::vector<uint8_t> packet;
};

CDVRClient::CDVRClient(INotifyWindow& notifyWindow, IPictureWindow& pictureWindow,
                       IMessageBox& messageBox, IMessagePump& messagePump, IBusyCursor& busyCursor,
                       Timeouts timeouts)
    : m_notifyWindow(notifyWindow), m_messagePump(messagePump), m_busyCursor(busyCursor),
      m_timeouts(timeouts), m_sync(std::make_shared<Sync>()), m_display(pictureWindow, messageBox)
{
    std::memset(&m_connection, 0, sizeof m_connection);
    std::memset(&m_info, 0, sizeof m_info);
    InitHttpLayer();
}

CDVRClient::~CDVRClient()
{
    Disconnect();
    StopReceiver();
    std::vector<std::shared_ptr<Receiver>> retired;
    {
        std::lock_guard lock(m_mutex);
        retired.swap(m_retired);
    }
    for (const auto& receiver : retired)
    {
        AskToStop(*receiver);
        WaitUntilFinished(*receiver);
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
    auto receiver = std::make_shared<Receiver>(*this, m_sync);
    std::shared_ptr<Receiver> previous;
    {
        std::lock_guard lock(m_mutex);
        m_connection = info;
        previous = std::exchange(m_current, receiver);
        // Superseded receivers are told to stop but not waited for: one may be
        // inside a notification whose handler is this very call.
        std::erase_if(m_retired,
                      [](const std::shared_ptr<Receiver>& old)
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
        AskToStop(*previous);
    }
    try
    {
        receiver->thread = std::thread(&CDVRClient::ReceiverMain, this, receiver);
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
    if (!m_bLoggedIn.exchange(false))
    {
        return;
    }
    m_busyCursor.Begin();
    // No longer current before the logout goes out: the DVR ends the stream in
    // answer, and that must not reach the main frame as a lost connection.
    const std::shared_ptr<Receiver> receiver = TakeCurrent();
    SendCommand(OP_LOGOUT, {});
    if (receiver)
    {
        AskToStop(*receiver);
        WaitUntilFinished(*receiver);
    }
    EndConnectCursor();
    m_display.Clear();
    m_busyCursor.End();
}

void CDVRClient::Stop()
{
    if (m_bLoggedIn)
    {
        Disconnect();
        return;
    }
    StopReceiver();
    m_display.Clear();
}

void CDVRClient::SelectChannel(int channel)
{
    ++m_nCommandDepth;
    m_busyCursor.Begin();
    PauseReceiver();
    {
        std::lock_guard lock(m_mutex);
        m_connection.ChannelMask = ChannelMaskFromIndex(channel);
    }
    SendCommand(OP_SELECT_CHANNEL, {});
    ResumeReceiver();
    m_busyCursor.End();
    EndCommand();
}

void CDVRClient::SendPTZRequest(const std::u16string& text)
{
    m_busyCursor.Begin();
    SendCommand(OP_PTZ, text);
    m_busyCursor.End();
}

void CDVRClient::SendPTZRequests(const std::vector<std::u16string>& texts)
{
    ++m_nCommandDepth;
    PauseReceiver();
    for (const std::u16string& text : texts)
    {
        SendPTZRequest(text);
    }
    ResumeReceiver();
    EndCommand();
}

// Posted again rather than delivered here: the command's caller is still on the stack.
void CDVRClient::EndCommand()
{
    if (--m_nCommandDepth > 0)
    {
        return;
    }
    for (HeldNotification& held : std::exchange(m_heldNotifications, {}))
    {
        m_messagePump.Post([held] { Deliver(held.receiver, held.message, held.wParam); });
    }
}

void CDVRClient::SendCommand(uint32_t operationCode, const std::u16string& text)
{
    DvrCommand command;
    std::memset(&command, 0, sizeof command);
    command.connection = GetConnectInfo();
    command.clientId = m_nClientId;
    command.mode = kCommandMode;
    command.operationCode = operationCode;
    std::copy_n(text.begin(), std::min<size_t>(text.size(), 5), command.commandText);
    CCGIRequest(m_timeouts.command, &m_messagePump).Execute(command);
}

void CDVRClient::PauseReceiver()
{
    std::shared_ptr<Receiver> receiver;
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

bool CDVRClient::IsCurrent(const Receiver& receiver) const
{
    std::lock_guard lock(m_mutex);
    return m_current.get() == &receiver;
}

std::shared_ptr<CDVRClient::Receiver> CDVRClient::TakeCurrent()
{
    std::lock_guard lock(m_mutex);
    return std::exchange(m_current, nullptr);
}

// The one way a receiver is told to stop; it also releases a pending notification.
void CDVRClient::AskToStop(Receiver& receiver)
{
    {
        std::lock_guard lock(m_sync->mutex);
        receiver.stop = true;
    }
    m_sync->changed.notify_all();
    curl_multi_wakeup(receiver.multi);
}

void CDVRClient::WaitUntilFinished(Receiver& receiver)
{
    {
        std::unique_lock lock(m_sync->mutex);
        WaitDispatching(&m_messagePump, lock, m_sync->changed, Clock::time_point::max(),
                        [&] { return receiver.finished.load(); });
    }
    if (receiver.thread.joinable())
    {
        receiver.thread.join();
    }
}

void CDVRClient::StopReceiver()
{
    if (const std::shared_ptr<Receiver> receiver = TakeCurrent())
    {
        AskToStop(*receiver);
        WaitUntilFinished(*receiver);
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

void CDVRClient::Notify(Receiver& r, unsigned message, uintptr_t wParam)
{
    {
        std::lock_guard lock(m_sync->mutex);
        if (r.stop)
        {
            return;
        }
        r.waiting = true;
        r.delivered = false;
    }
    m_sync->changed.notify_all(); // a PauseReceiver may wait for this safe point
    m_messagePump.Post([weak = r.weak_from_this(), message, wParam]
                       { Deliver(weak, message, wParam); });
    {
        std::unique_lock lock(m_sync->mutex);
        m_sync->changed.wait(lock, [&] { return r.delivered || r.stop.load(); });
        r.waiting = false;
    }
    WaitWhilePaused(r);
}

// GUI thread. Currency is decided here, where no Start or stop can interleave.
void CDVRClient::Deliver(const std::weak_ptr<Receiver>& weak, unsigned message, uintptr_t wParam)
{
    const std::shared_ptr<Receiver> r = weak.lock();
    if (!r)
    {
        return;
    }
    if (!r->stop && r->client.IsCurrent(*r))
    {
        CDVRClient& client = r->client;
        // A box opened inside a command's wait would hold its next request back.
        if (client.m_nCommandDepth > 0 && message != WM_DVR_CONNECTED)
        {
            client.m_heldNotifications.push_back({weak, message, wParam});
            return;
        }
        client.EndConnectCursor();
        client.m_notifyWindow.SendMessage(message, wParam, 0);
    }
    // The handler may have destroyed the client: only the receiver's share from here.
    {
        std::lock_guard lock(r->sync->mutex);
        r->delivered = true;
    }
    r->sync->changed.notify_all();
}

void CDVRClient::WaitWhilePaused(Receiver& receiver)
{
    if (m_nPauseCount == 0)
    {
        return;
    }
    std::unique_lock lock(m_sync->mutex);
    if (m_nPauseCount == 0 || receiver.stop)
    {
        return;
    }
    receiver.held = true;
    m_sync->changed.notify_all();
    m_sync->changed.wait(lock, [&] { return m_nPauseCount == 0 || receiver.stop; });
    receiver.held = false;
}

void CDVRClient::ReceiverMain(std::shared_ptr<Receiver> receiver)
{
    Receiver& r = *receiver;
    while (!r.stop && !r.ended)
    {
        if (!OpenStream(r))
        {
            OnConnectionLost(r);
            break;
        }
        const StreamEnd end = ReadStream(r);
        CloseHandles(r);
        if (end == StreamEnd::Stopped || r.stop || r.ended)
        {
            break;
        }
        // A stream that ends before its login reply is answered by a new login
        // at once; one that ends after it is a lost connection.
        if (end == StreamEnd::Closed && !r.loggedIn)
        {
            continue;
        }
        OnConnectionLost(r);
        break;
    }
    CloseHandles(r);
    r.parser.FreeBuffers();
    {
        std::lock_guard lock(m_mutex);
        if (m_current.get() == &r)
        {
            m_bLoggedIn = false;
        }
    }
    {
        std::lock_guard lock(m_sync->mutex);
        r.finished = true;
    }
    m_sync->changed.notify_all();
}

bool CDVRClient::OpenStream(Receiver& r)
{
    CloseHandles(r);
    const DvrConnectInfo info = GetConnectInfo();
    std::string url;
    // An address that is not a host fails as an unreachable DVR does.
    if (!BuildRequestUrl(FieldText(info.Address), info.Port, kCgiPath, nullptr, url) ||
        r.multi == nullptr || (r.easy = curl_easy_init()) == nullptr)
    {
        return false;
    }
    const std::string object = ToUtf8(BuildLoginObject(info));
    r.headers = curl_slist_append(nullptr, "Accept:");
    r.gotResponse = false;
    r.gotData = false;
    curl_easy_setopt(r.easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(r.easy, CURLOPT_HTTP09_ALLOWED, 1L);
    curl_easy_setopt(r.easy, CURLOPT_REQUEST_TARGET, object.c_str());
    curl_easy_setopt(r.easy, CURLOPT_CUSTOMREQUEST, "Get");
    curl_easy_setopt(r.easy, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_0);
    curl_easy_setopt(r.easy, CURLOPT_USERAGENT, kLoginAgent);
    curl_easy_setopt(r.easy, CURLOPT_HTTPHEADER, r.headers);
    curl_easy_setopt(r.easy, CURLOPT_HEADERFUNCTION, NoteResponse);
    curl_easy_setopt(r.easy, CURLOPT_HEADERDATA, &r.gotResponse);
    curl_easy_setopt(r.easy, CURLOPT_WRITEFUNCTION, &CDVRClient::OnStreamData);
    curl_easy_setopt(r.easy, CURLOPT_WRITEDATA, &r);
    curl_easy_setopt(r.easy, CURLOPT_BUFFERSIZE, kReceiveBuffer);
    curl_easy_setopt(r.easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(r.easy, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(r.easy, CURLOPT_FRESH_CONNECT, 1L);
    if (curl_multi_add_handle(r.multi, r.easy) != CURLM_OK)
    {
        CloseHandles(r);
        return false;
    }
    return true;
}

CDVRClient::StreamEnd CDVRClient::ReadStream(Receiver& r)
{
    // The watchdog counts only while the receiver waits for the DVR; time held
    // by a pause is added back.
    auto deadline = Clock::now() + m_timeouts.watchdog;
    for (;;)
    {
        const auto pausedAt = Clock::now();
        WaitWhilePaused(r);
        deadline += Clock::now() - pausedAt;
        if (r.stop || r.ended)
        {
            return StreamEnd::Stopped;
        }
        int running = 0;
        curl_multi_perform(r.multi, &running);
        if (r.gotData)
        {
            r.gotData = false;
            deadline = Clock::now() + m_timeouts.watchdog;
        }
        if (r.stop || r.ended)
        {
            return StreamEnd::Stopped;
        }
        if (running == 0)
        {
            return r.gotResponse ? StreamEnd::Closed : StreamEnd::NoResponse;
        }
        const auto remaining =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (remaining.count() <= 0)
        {
            return StreamEnd::TimedOut;
        }
        curl_multi_poll(r.multi, nullptr, 0, static_cast<int>(remaining.count()), nullptr);
    }
}

size_t CDVRClient::OnStreamData(char* data, size_t size, size_t count, void* receiver)
{
    Receiver& r = *static_cast<Receiver*>(receiver);
    const size_t total = size * count;
    for (size_t at = 0; at < total; at += kReadChunk)
    {
        r.client.WaitWhilePaused(r);
        if (r.stop || r.ended)
        {
            return 0; // ends the transfer
        }
        const auto n = static_cast<uint32_t>(std::min(kReadChunk, total - at));
        r.client.ParseChunk(r, reinterpret_cast<const uint8_t*>(data) + at, n);
    }
    // A DVR that sends no status line answers with its data alone.
    r.gotResponse = true;
    r.gotData = true;
    return r.stop || r.ended ? 0 : total;
}

void CDVRClient::CloseHandles(Receiver& r)
{
    if (r.easy != nullptr)
    {
        curl_multi_remove_handle(r.multi, r.easy);
        curl_easy_cleanup(r.easy);
        r.easy = nullptr;
    }
    if (r.headers != nullptr)
    {
        curl_slist_free_all(r.headers);
        r.headers = nullptr;
    }
}

void CDVRClient::ParseChunk(Receiver& r, const uint8_t* bytes, uint32_t count)
{
    const uint8_t* next = bytes;
    uint32_t n = count;
    while (!r.stop && !r.ended && r.parser.Feed(r.packet.data(), next, n) == 1)
    {
        next = nullptr;
        n = 0;
        const uint8_t type = r.packet[0];
        const uint32_t length = ReadLittleEndian32(&r.packet[1]);
        const uint8_t* payload = &r.packet[5];
        switch (type)
        {
        case PKT_ERROR:
        {
            r.ended = true;
            EndLogin(r);
            // An empty error packet has no code to tell: it reads as code 0.
            Notify(r, WM_DVR_ERROR, length > 0 ? payload[0] : 0);
            return;
        }
        case PKT_LOGIN_REPLY:
        {
            {
                std::lock_guard lock(m_mutex);
                if (m_current.get() != &r || r.stop)
                {
                    return;
                }
                std::memset(&m_info, 0, sizeof m_info);
                std::memcpy(m_info.bytes, payload, std::min<size_t>(length, DvrInfoBlock::kSize));
                // The id is in place before anyone hears of the login, so a
                // command sent from the notification already carries it.
                m_nClientId = r.parser.GetClientId();
                m_bLoggedIn = true;
                r.loggedIn = true;
            }
            Notify(r, WM_DVR_CONNECTED, reinterpret_cast<uintptr_t>(&m_info));
            break;
        }
        case PKT_FRAME:
        {
            // A receiver stops being current exactly when it is asked to stop.
            std::lock_guard lock(m_frameMutex);
            m_display.OnFramePacket(payload, length, [&r] { return !r.stop; });
            break;
        }
        default:
            break;
        }
    }
}

void CDVRClient::OnConnectionLost(Receiver& r)
{
    CloseHandles(r);
    r.ended = true;
    if (EndLogin(r))
    {
        Notify(r, WM_DVR_CONNECT_FAILED, 0);
    }
}

// Logged out before the handler hears why, so the menus it refreshes are greyed.
bool CDVRClient::EndLogin(Receiver& r)
{
    std::lock_guard lock(m_mutex);
    if (m_current.get() != &r)
    {
        return false;
    }
    m_bLoggedIn = false;
    return true;
}
