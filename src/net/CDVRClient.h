// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "directory/DvrConnectInfo.h"
#include "display/CPictureDisplay.h"
#include "net/CCommandSender.h"
#include "net/CReceiverMessageBox.h"
#include "protocol/Protocol.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class CHistoryBudget;
class CLogoutBatch;
class IBusyCursor;
class IMessageBox;
class IMessagePump;
class INotifyWindow;
class IPictureWindow;
class CStreamReceiver;
struct ReceiverSync;

// The program always uses these; tests shorten them.
struct DvrClientTimeouts
{
    std::chrono::milliseconds watchdog{60000};
    std::chrono::milliseconds command{60000};
    // A login that ends before its reply is followed by one new login at once,
    // then by others after loginRetry, twice that, ... up to loginRetryLongest;
    // no reply for loginReply is a failed connection.
    std::chrono::milliseconds loginRetry{2000};
    std::chrono::milliseconds loginRetryLongest{60000};
    std::chrono::milliseconds loginReply{60000};
};

// The viewer's one connection to a DVR: a receiver thread logs in, reads the
// packet stream and acts on each packet; commands go out as separate POSTs from
// the GUI thread. Every operation except the receiver's own is for the GUI thread.
// A receiver's notification is posted to the GUI thread while the receiver waits;
// it reaches the notify window only if that receiver is still the current one,
// so any operation, the destructor included, may be called from a handler.
class CDVRClient
{
public:
    using Timeouts = DvrClientTimeouts;

    // historyBudget: the program's memory for looking back; null keeps no history.
    CDVRClient(INotifyWindow& notifyWindow, IPictureWindow& pictureWindow, IMessageBox& messageBox,
               IMessagePump& messagePump, IBusyCursor& busyCursor, Timeouts timeouts = {},
               CHistoryBudget* historyBudget = nullptr);
    virtual ~CDVRClient();

    CDVRClient(const CDVRClient&) = delete;
    CDVRClient& operator=(const CDVRClient&) = delete;

    // A new connection starts a new history, unless one was handed over to it.
    void Start(const DvrConnectInfo& info);
    void Disconnect();
    // Disconnect, or the end of a login not yet answered: nothing stays connecting.
    void Stop();
    // Stop, with the logout sent into `logouts` instead of waited for here: the
    // caller waits for every connection's logout at once.
    void Stop(CLogoutBatch& logouts);
    // The other channel's pictures start a new history.
    void SelectChannel(int channel);
    void SendPTZRequest(const std::u16string& text);
    // One camera action: its requests with the receiver held throughout. A
    // notification that opens a box waits until the last request has gone out.
    void SendPTZRequests(const std::vector<std::u16string>& texts);
    void PauseReceiver();
    void ResumeReceiver();
    bool HasChannel(int channel) const;
    void RepaintPicture();
    PictureRect GetPictureRect();

    bool IsLoggedIn() const { return m_bLoggedIn; }
    // A connection was started and not stopped since, whatever became of it.
    bool IsStarted() const;
    uint32_t GetClientId() const { return m_nClientId; }
    DvrConnectInfo GetConnectInfo() const;
    CPictureDisplay& GetPictureDisplay() { return m_display; }
    const CPictureDisplay& GetPictureDisplay() const { return m_display; }

private:
    friend class CStreamReceiver;

    void EndConnection(bool evenIfConnecting, CLogoutBatch* logouts);
    void StopReceiver();
    bool IsCurrent(const CStreamReceiver& receiver) const;
    std::shared_ptr<CStreamReceiver> TakeCurrent();
    void SendCommand(uint32_t operationCode, const std::u16string& text);
    // A message to the notify window, or a box to show.
    struct Notification
    {
        unsigned message = 0;
        uintptr_t wParam = 0;
        std::function<MessageBoxAnswer()> box;
    };
    // GUI thread: a receiver's notification, handed over if it is still current.
    static void Deliver(const std::weak_ptr<CStreamReceiver>& receiver,
                        const Notification& notification);
    void EndConnectCursor();

    // Receiver thread. The login reply's block, or null when the receiver is no
    // longer current and so may not touch the state.
    const DvrInfoBlock* AcceptLoginReply(CStreamReceiver& receiver, const uint8_t* payload,
                                         uint32_t length, uint32_t clientId);
    void ShowFrame(CStreamReceiver& receiver, const uint8_t* payload, uint32_t length);
    // False when the receiver is no longer current and so may not touch the state.
    bool EndLogin(CStreamReceiver& receiver);
    void EndReceiver(CStreamReceiver& receiver);

    INotifyWindow& m_notifyWindow;
    IMessagePump& m_messagePump;
    IBusyCursor& m_busyCursor;
    const Timeouts m_timeouts;
    // GUI thread only: Start's busy cursor, held until the connection first reports.
    bool m_bConnectCursor = false;
    // GUI thread only: commands in progress, and the notifications kept until they end.
    CCommandSender m_commands;

    // Guards m_connection, m_info, m_current and m_retired, written by the GUI
    // thread (Start, SelectChannel) and by the receiver (login reply).
    mutable std::mutex m_mutex;
    DvrConnectInfo m_connection;
    DvrInfoBlock m_info;
    std::shared_ptr<CStreamReceiver> m_current;
    // Receivers superseded by a later Start, still ending; joined at destruction.
    std::vector<std::shared_ptr<CStreamReceiver>> m_retired;

    std::atomic<bool> m_bLoggedIn{false};
    std::atomic<uint32_t> m_nClientId{0};

    // Shared with the receivers and their queued deliveries.
    const std::shared_ptr<ReceiverSync> m_sync;
    // Changed under the sync mutex; read without it first, since the receiver
    // asks for every chunk of every frame and a pause is rare.
    std::atomic<int> m_nPauseCount{0};

    // Held while a receiver hands a frame to the display, so that a superseded
    // receiver still decoding never overlaps the new one.
    std::mutex m_frameMutex;
    CReceiverMessageBox m_decoderBoxes;
    CPictureDisplay m_display;
};
