// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "net/CDVRClient.h"
#include "platform/MessageBox.h"
#include "protocol/CPacketParser.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <curl/curl.h>

struct ReceiverSync;

// One login and its packet stream, read on a thread of its own: the login, the
// stream's reads under the watchdog, the pauses, the packets acted on, and the
// connection-lost path. The client owns it, starts it and waits for its end.
class CStreamReceiver : public std::enable_shared_from_this<CStreamReceiver>
{
public:
    CStreamReceiver(CDVRClient& client, std::shared_ptr<ReceiverSync> sync);
    ~CStreamReceiver();

    CStreamReceiver(const CStreamReceiver&) = delete;
    CStreamReceiver& operator=(const CStreamReceiver&) = delete;

    // The thread's body.
    void Main();
    // Any thread: the one way a receiver is told to stop; it also releases a
    // pending notification.
    void AskToStop();
    // GUI thread: waits, dispatching, until the thread has ended, and joins it.
    void WaitUntilFinished();
    // Receiver thread: the box shown on the GUI thread as a notification is
    // delivered; stopped first, the receiver goes on with the box's default answer.
    MessageBoxAnswer ShowBox(IMessageBox& box, const std::u16string& text,
                             const std::u16string& caption, MessageBoxIcon icon,
                             MessageBoxButtons buttons);
    // The receiver whose thread this is, or null.
    static CStreamReceiver* OnThisThread();

    // Used only while stop is clear: the client stops every receiver before it goes.
    CDVRClient& client;
    const std::shared_ptr<ReceiverSync> sync;
    // Started by the client's Start and joined by the GUI thread only.
    std::thread thread;
    // Set once, by AskToStop, when the receiver stops being current.
    std::atomic<bool> stop{false};
    // Written under sync->mutex; the GUI thread waits for them.
    std::atomic<bool> finished{false};
    bool held = false;
    bool waiting = false;   // inside Notify, posted and not yet delivered
    bool delivered = false; // the GUI thread is done with the posted notification
    MessageBoxAnswer boxAnswer = MessageBoxAnswer::Ok; // of the box last delivered
    // Created before the thread and freed after it is joined, so the GUI thread
    // may always wake the receiver through it.
    CURLM* const multi;

private:
    enum class StreamEnd
    {
        Stopped,    // stop asked for, or an error packet
        NoResponse, // the login could not be sent or was never answered
        Closed,     // the stream ended or a read failed
        TimedOut,   // the watchdog ran out
    };

    bool OpenStream();
    // False when no new login may go out: stopped, or no reply for too long.
    bool WaitBeforeNewLogin(std::chrono::milliseconds wait);
    StreamEnd ReadStream();
    void CloseHandles();
    void ParseChunk(const uint8_t* bytes, uint32_t count);
    void OnConnectionLost();
    void WaitWhilePaused();
    // The synchronous notification, over the GUI thread's queue.
    void Notify(unsigned message, uintptr_t wParam);
    // False when the receiver was stopped before the GUI thread was done with it.
    bool HandOver(CDVRClient::Notification notification);
    static size_t OnStreamData(char* data, size_t size, size_t count, void* receiver);

    // Everything below belongs to the receiver thread.
    CURL* m_easy = nullptr;
    curl_slist* m_headers = nullptr;
    bool m_bGotResponse = false;
    bool m_bGotData = false;
    bool m_bLoggedIn = false;
    bool m_bEnded = false; // an error packet or a lost connection ends the stream
    // Until the first login reply: the time by which one must have come.
    std::chrono::steady_clock::time_point m_replyDeadline;
    CPacketParser m_parser;
};
