// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/DvrCommand.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

class IMessagePump;

// One command POST to the DVR's CGI program, made on a worker thread while the
// caller waits a bounded time. Nothing of the answer is read or reported. Given
// the GUI's message pump, the caller keeps dispatching while it waits.
class CCGIRequest
{
public:
    static constexpr std::chrono::milliseconds kDefaultWait{60000};

    explicit CCGIRequest(std::chrono::milliseconds wait = kDefaultWait,
                         IMessagePump* messagePump = nullptr);
    ~CCGIRequest();

    CCGIRequest(const CCGIRequest&) = delete;
    CCGIRequest& operator=(const CCGIRequest&) = delete;

    void Execute(const DvrCommand& command);

    // False when nothing could be sent (the host is not a host address, the
    // worker could not be started) or the worker did not end in time.
    bool Send(const std::u16string& host, uint16_t port, uint32_t clientId, uint8_t operationCode,
              const std::u16string& commandText, uint32_t channelValue);

    // What the worker needs, shared with it: after a time-out the worker may
    // outlive this request, and it then owns the only share.
    struct Transfer;

    // A POST under way, for a caller that sends several before it waits for any.
    struct Pending
    {
        std::shared_ptr<Transfer> transfer;
        std::thread worker;
    };
    // False when nothing could be sent; `pending` is then left empty.
    static bool Start(const DvrCommand& command, Pending& pending);
    // Waits for the POST until the deadline, dispatching when given a pump; false
    // when it had not ended by then: it is then abandoned and ends by itself.
    static bool Finish(Pending& pending, std::chrono::steady_clock::time_point deadline,
                       IMessagePump* messagePump);

private:
    static bool Start(const std::u16string& host, uint16_t port, uint32_t clientId,
                      uint8_t operationCode, const std::u16string& commandText,
                      uint32_t channelValue, Pending& pending);
    static void PostWorker(std::shared_ptr<Transfer> transfer);

    std::chrono::milliseconds m_wait;
    IMessagePump* m_pMessagePump;
};
