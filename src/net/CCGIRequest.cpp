// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/CCGIRequest.h"

#include "net/DispatchingWait.h"
#include "net/HttpLayer.h"
#include "platform/TextCodec.h"
#include "protocol/Protocol.h"

#include <curl/curl.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

struct CCGIRequest::Transfer
{
    std::string url;
    std::string body; // UTF-8 form text with its terminating zero byte
    std::atomic<bool> abandoned{false};
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false; // guarded by mutex
};

namespace
{
size_t IgnoreAnswer(char*, size_t, size_t, void*)
{
    return 0; // the answer is never read: stop at its first byte
}

int AbortWhenAbandoned(void* transfer, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return static_cast<CCGIRequest::Transfer*>(transfer)->abandoned ? 1 : 0;
}

std::u16string FormatBody(uint32_t clientId, uint8_t operationCode,
                          const std::u16string& commandText, uint32_t channelValue)
{
    switch (operationCode)
    {
    case OP_SELECT_CHANNEL:
        return FormatSelectChannelBody(clientId, channelValue);
    case OP_LOGOUT:
        return FormatLogoutBody(clientId);
    case OP_PTZ:
        return FormatCameraCommandBody(clientId, channelValue, commandText);
    default:
        return {};
    }
}
} // namespace

CCGIRequest::CCGIRequest(std::chrono::milliseconds wait, IMessagePump* messagePump)
    : m_wait(wait), m_pMessagePump(messagePump)
{
}

CCGIRequest::~CCGIRequest() = default;

namespace
{
uint32_t ChannelValueOf(const DvrCommand& command)
{
    return command.operationCode == OP_PTZ ? ChannelIndexFromMask(command.connection.ChannelMask)
                                           : command.connection.ChannelMask;
}
} // namespace

void CCGIRequest::Execute(const DvrCommand& command)
{
    Send(FieldText(command.connection.Address), command.connection.Port, command.clientId,
         static_cast<uint8_t>(command.operationCode), FieldText(command.commandText),
         ChannelValueOf(command));
}

bool CCGIRequest::Send(const std::u16string& host, uint16_t port, uint32_t clientId,
                       uint8_t operationCode, const std::u16string& commandText,
                       uint32_t channelValue)
{
    Pending pending;
    return Start(host, port, clientId, operationCode, commandText, channelValue, pending) &&
           Finish(pending, std::chrono::steady_clock::now() + m_wait, m_pMessagePump);
}

bool CCGIRequest::Start(const DvrCommand& command, Pending& pending)
{
    return Start(FieldText(command.connection.Address), command.connection.Port, command.clientId,
                 static_cast<uint8_t>(command.operationCode), FieldText(command.commandText),
                 ChannelValueOf(command), pending);
}

bool CCGIRequest::Start(const std::u16string& host, uint16_t port, uint32_t clientId,
                        uint8_t operationCode, const std::u16string& commandText,
                        uint32_t channelValue, Pending& pending)
{
    const std::u16string body = FormatBody(clientId, operationCode, commandText, channelValue);
    if (body.empty() || !InitHttpLayer())
    {
        return false;
    }
    auto transfer = std::make_shared<Transfer>();
    if (!BuildRequestUrl(host, port, kCgiPath, "", transfer->url))
    {
        return false;
    }
    transfer->body = ToUtf8(body);
    transfer->body.push_back('\0');
    try
    {
        pending.worker = std::thread(&CCGIRequest::PostWorker, transfer);
    }
    catch (const std::system_error&)
    {
        return false;
    }
    pending.transfer = std::move(transfer);
    return true;
}

bool CCGIRequest::Finish(Pending& pending, std::chrono::steady_clock::time_point deadline,
                         IMessagePump* messagePump)
{
    if (!pending.transfer)
    {
        return false;
    }
    std::unique_lock lock(pending.transfer->mutex);
    if (WaitDispatching(messagePump, lock, pending.transfer->ended, deadline,
                        [&pending] { return pending.transfer->done; }))
    {
        lock.unlock();
        pending.worker.join();
        return true;
    }
    // The worker keeps its own share of the transfer; it notices and gives up.
    pending.transfer->abandoned = true;
    lock.unlock();
    pending.worker.detach();
    return false;
}

void CCGIRequest::PostWorker(std::shared_ptr<Transfer> transfer)
{
    if (CURL* curl = curl_easy_init())
    {
        curl_slist* headers = nullptr;
        headers = curl_slist_append(headers, kCommandContentType);
        headers = curl_slist_append(headers, "Accept:");
        headers = curl_slist_append(headers, "Expect:");
        curl_easy_setopt(curl, CURLOPT_URL, transfer->url.c_str());
        curl_easy_setopt(curl, CURLOPT_REQUEST_TARGET, kCommandObject);
        curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_0);
        curl_easy_setopt(curl, CURLOPT_HTTP09_ALLOWED,
                         0L); // only the login stream may lack headers
        curl_easy_setopt(curl, CURLOPT_USERAGENT, kCommandAgent);
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, transfer->body.data());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(transfer->body.size()));
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, IgnoreAnswer);
        curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, AbortWhenAbandoned);
        curl_easy_setopt(curl, CURLOPT_XFERINFODATA, transfer.get());
        curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, 1L);
        curl_easy_setopt(curl, CURLOPT_FRESH_CONNECT, 1L);
        curl_easy_perform(curl);
        curl_easy_cleanup(curl);
        curl_slist_free_all(headers);
    }
    std::lock_guard lock(transfer->mutex);
    transfer->done = true;
    transfer->ended.notify_all();
}
