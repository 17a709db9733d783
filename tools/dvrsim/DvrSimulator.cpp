// SPDX-License-Identifier: GPL-3.0-or-later
#include "DvrSimulator.h"

#include "DvrStream.h"
#include "FormFields.h"
#include "SimulatorState.h"

#include "protocol/CFrameHeader.h"
#include "protocol/Protocol.h"

#include <arpa/inet.h>
#include <cerrno>
#include <microhttpd.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <memory>
#include <mutex>

namespace
{
constexpr size_t kMaxBody = 64 * 1024;
constexpr size_t kStreamBlockSize = 64 * 1024;
constexpr unsigned kMaxPictureSide = 4096;
// What a frame packet's payload holds besides the JPEG.
constexpr size_t kFrameDataPrefix = CFrameHeader::kSize + DvrStream::kDataPrefix;

// One request from its first line to its completion; MHD keeps it in *con_cls.
struct PendingRequest
{
    std::string target; // exactly as in the request line
    std::string body;
    bool headersSeen = false;
    bool bodyTooLarge = false;
};

MHD_Result CollectHeader(void* cls, MHD_ValueKind, const char* key, const char* value)
{
    static_cast<DvrRequestRecord*>(cls)->headers.emplace_back(key, value ? value : "");
    return MHD_YES;
}

bool PeerClosed(MHD_Connection* connection)
{
    const MHD_ConnectionInfo* info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
    if (info == nullptr)
    {
        return true;
    }
    char byte;
    const ssize_t n = recv(info->connect_fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
}

ssize_t ReadStream(void* cls, uint64_t, char* buffer, size_t max)
{
    const long result = static_cast<DvrStream*>(cls)->Read(reinterpret_cast<uint8_t*>(buffer), max);
    if (result == DvrStream::kEndOfStream)
    {
        return MHD_CONTENT_READER_END_OF_STREAM;
    }
    if (result == DvrStream::kAbort)
    {
        return MHD_CONTENT_READER_END_WITH_ERROR;
    }
    return result;
}

// libmicrohttpd always writes a status line, so a DVR that sends none is played
// on the bare socket; MHD_NO afterwards makes the server close the connection.
MHD_Result StreamWithoutHeaders(MHD_Connection* connection, DvrStream& stream)
{
    const MHD_ConnectionInfo* info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
    if (info == nullptr)
    {
        return MHD_NO;
    }
    const int fd = info->connect_fd;
    std::vector<uint8_t> block(kStreamBlockSize);
    for (;;)
    {
        const long count = stream.Read(block.data(), block.size());
        if (count < 0)
        {
            return MHD_NO;
        }
        for (size_t sent = 0; sent < static_cast<size_t>(count);)
        {
            const ssize_t n = send(fd, block.data() + sent, count - sent, MSG_NOSIGNAL);
            if (n > 0)
            {
                sent += static_cast<size_t>(n);
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
            {
                pollfd writable{fd, POLLOUT, 0};
                poll(&writable, 1, 100);
                continue;
            }
            return MHD_NO;
        }
    }
}

void FreeStream(void* cls)
{
    delete static_cast<DvrStream*>(cls);
}

// Answers in HTTP/1.0 as the DVR does, so the body simply runs until the close.
MHD_Result Queue(MHD_Connection* connection, unsigned status, MHD_Response* response,
                 const char* contentType)
{
    if (response == nullptr)
    {
        return MHD_NO;
    }
    MHD_set_response_options(response, MHD_RF_HTTP_1_0_SERVER, MHD_RO_END);
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, contentType);
    const MHD_Result result = MHD_queue_response(connection, status, response);
    MHD_destroy_response(response);
    return result;
}

MHD_Result QueueBytes(MHD_Connection* connection, unsigned status, const void* data, size_t size,
                      const char* contentType)
{
    return Queue(
        connection, status,
        MHD_create_response_from_buffer(size, const_cast<void*>(data), MHD_RESPMEM_MUST_COPY),
        contentType);
}

MHD_Result QueueText(MHD_Connection* connection, unsigned status, const std::string& text)
{
    const std::string line = text + "\n";
    return QueueBytes(connection, status, line.data(), line.size(), "text/plain");
}

std::string CheckSettings(const DvrSimSettings& settings)
{
    if (settings.channelCount < 1 || settings.channelCount > DvrSimSettings::kMaxChannels)
    {
        return "the channel count must be 1 to 16";
    }
    for (const PictureSize& size : settings.sizes)
    {
        if (size.width < 8 || size.height < 8 || size.width > kMaxPictureSide ||
            size.height > kMaxPictureSide)
        {
            return "picture sizes must be 8x8 to 4096x4096";
        }
    }
    if (!(settings.framesPerSecond > 0 && settings.framesPerSecond <= 1000))
    {
        return "the frame rate must be above 0 and at most 1000";
    }
    if (settings.accounts.empty())
    {
        return "at least one account is needed";
    }
    if (settings.frameSource.replay)
    {
        for (const std::vector<uint8_t>& jpeg : *settings.frameSource.replay)
        {
            if (jpeg.empty() || jpeg.size() > kMaxPayloadLength - kFrameDataPrefix)
            {
                return "a replayed JPEG must hold 1 to " +
                       std::to_string(kMaxPayloadLength - kFrameDataPrefix) + " bytes";
            }
        }
    }
    return {};
}
} // namespace

class DvrSimulator::Server
{
public:
    explicit Server(DvrSimSettings settings) : m_state(std::move(settings)) {}

    SimulatorState m_state;
    mutable std::mutex m_mutex; // guards the daemon, the port and the last error
    MHD_Daemon* m_daemon = nullptr;
    uint16_t m_port = 0;
    std::string m_lastError;

    static void* OnUri(void*, const char* uri, MHD_Connection*)
    {
        auto* request = new PendingRequest;
        request->target = uri;
        return request;
    }

    static void OnCompleted(void*, MHD_Connection*, void** context, MHD_RequestTerminationCode)
    {
        delete static_cast<PendingRequest*>(*context);
        *context = nullptr;
    }

    static MHD_Result OnRequest(void* cls, MHD_Connection* connection, const char*,
                                const char* method, const char* version, const char* uploadData,
                                size_t* uploadSize, void** context)
    {
        auto* self = static_cast<Server*>(cls);
        auto* request = static_cast<PendingRequest*>(*context);
        if (request == nullptr)
        {
            return MHD_NO;
        }
        if (!request->headersSeen)
        {
            request->headersSeen = true;
            return MHD_YES;
        }
        if (*uploadSize != 0)
        {
            if (request->body.size() + *uploadSize > kMaxBody)
            {
                request->bodyTooLarge = true;
            }
            else
            {
                request->body.append(uploadData, *uploadSize);
            }
            *uploadSize = 0;
            return MHD_YES;
        }
        DvrRequestRecord record;
        record.method = method;
        record.target = request->target;
        record.version = version;
        record.body = request->body;
        record.received = std::chrono::steady_clock::now();
        MHD_get_connection_values(connection, MHD_HEADER_KIND, &CollectHeader, &record);
        return self->Answer(connection, *request, std::move(record));
    }

    MHD_Result Answer(MHD_Connection* connection, const PendingRequest& request,
                      DvrRequestRecord record)
    {
        const std::string_view target = request.target;
        const size_t question = target.find('?');
        const std::string_view path = target.substr(0, question);
        const std::string_view query =
            question == std::string_view::npos ? std::string_view() : target.substr(question + 1);
        if (const unsigned status = m_state.Settings().misbehaviour.answerStatus; status != 0)
        {
            return Refuse(connection, std::move(record), status,
                          "answered with status " + std::to_string(status));
        }
        if (path != kCgiPath)
        {
            return Refuse(connection, std::move(record), MHD_HTTP_NOT_FOUND, "no such page");
        }
        if (record.method == "Get" || record.method == "GET")
        {
            return Login(connection, query, std::move(record));
        }
        if (record.method == "POST")
        {
            if (request.bodyTooLarge)
            {
                return Refuse(connection, std::move(record), MHD_HTTP_CONTENT_TOO_LARGE,
                              "ignored: body too large");
            }
            return Command(connection, std::move(record));
        }
        return Refuse(connection, std::move(record), MHD_HTTP_METHOD_NOT_ALLOWED,
                      "method not allowed");
    }

    MHD_Result Refuse(MHD_Connection* connection, DvrRequestRecord record, unsigned status,
                      const std::string& why)
    {
        record.outcome = why;
        m_state.Log(std::move(record));
        return QueueText(connection, status, why);
    }

    MHD_Result Login(MHD_Connection* connection, std::string_view query, DvrRequestRecord record)
    {
        const auto fields = FormFields::Parse(query);
        if (!fields || fields->GetDecimal("MODE", UINT32_MAX) != static_cast<uint32_t>(kLoginMode))
        {
            return Refuse(connection, std::move(record), MHD_HTTP_BAD_REQUEST, "bad login query");
        }
        const SimulatorState::Admission admission = m_state.Admit(*fields);
        if (admission.clientId == 0)
        {
            record.outcome = "refused with error " + std::to_string(admission.errorCode);
            m_state.Log(std::move(record));
            const auto packet = BuildPacket(0, PKT_ERROR, &admission.errorCode, 1);
            return QueueBytes(connection, MHD_HTTP_OK, packet.data(), packet.size(),
                              "application/octet-stream");
        }
        record.outcome = "login client " + std::to_string(admission.clientId) + " channel " +
                         std::to_string(admission.channel);
        const bool noHeaders = m_state.Settings().misbehaviour.noHeaders;
        m_state.Log(std::move(record));
        if (noHeaders)
        {
            DvrStream stream(m_state, admission.clientId,
                             [connection] { return PeerClosed(connection); });
            return StreamWithoutHeaders(connection, stream);
        }
        auto* stream = new DvrStream(m_state, admission.clientId,
                                     [connection] { return PeerClosed(connection); });
        MHD_Response* response = MHD_create_response_from_callback(
            MHD_SIZE_UNKNOWN, kStreamBlockSize, &ReadStream, stream, &FreeStream);
        if (response == nullptr)
        {
            delete stream; // gives the client id back
            return MHD_NO;
        }
        return Queue(connection, MHD_HTTP_OK, response, "application/octet-stream");
    }

    MHD_Result Command(MHD_Connection* connection, DvrRequestRecord record)
    {
        // The viewer sends the C string's terminating zero with the form.
        std::string_view body = record.body;
        if (!body.empty() && body.back() == '\0')
        {
            body.remove_suffix(1);
        }
        const auto fields =
            body.find('\0') == std::string_view::npos ? FormFields::Parse(body) : std::nullopt;
        if (!fields)
        {
            return Refuse(connection, std::move(record), MHD_HTTP_BAD_REQUEST,
                          "ignored: malformed body");
        }
        record.outcome = m_state.ApplyCommand(*fields);
        const bool ignored = record.outcome.starts_with("ignored");
        const std::string outcome = record.outcome;
        m_state.Log(std::move(record));
        return QueueText(connection, ignored ? MHD_HTTP_BAD_REQUEST : MHD_HTTP_OK, outcome);
    }
};

DvrSimulator::DvrSimulator(DvrSimSettings settings)
    : m_server(std::make_unique<Server>(std::move(settings)))
{
}

DvrSimulator::~DvrSimulator()
{
    Stop();
}

bool DvrSimulator::Start()
{
    std::lock_guard lock(m_server->m_mutex);
    if (m_server->m_daemon != nullptr)
    {
        return true;
    }
    const DvrSimSettings settings = m_server->m_state.Settings();
    m_server->m_lastError = CheckSettings(settings);
    if (!m_server->m_lastError.empty())
    {
        return false;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(settings.port);
    if (inet_pton(AF_INET, settings.bindAddress.c_str(), &address.sin_addr) != 1)
    {
        m_server->m_lastError = "not an IPv4 address: " + settings.bindAddress;
        return false;
    }
    m_server->m_daemon = MHD_start_daemon(
        MHD_USE_THREAD_PER_CONNECTION | MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_POLL,
        settings.port, nullptr, nullptr, &Server::OnRequest, m_server.get(), MHD_OPTION_SOCK_ADDR,
        &address, MHD_OPTION_URI_LOG_CALLBACK, &Server::OnUri, m_server.get(),
        MHD_OPTION_NOTIFY_COMPLETED, &Server::OnCompleted, m_server.get(), MHD_OPTION_END);
    if (m_server->m_daemon == nullptr)
    {
        m_server->m_lastError = "cannot serve on " + settings.bindAddress + ":" +
                                std::to_string(settings.port) + " (port busy or not allowed)";
        return false;
    }
    const MHD_DaemonInfo* info = MHD_get_daemon_info(m_server->m_daemon, MHD_DAEMON_INFO_BIND_PORT);
    m_server->m_port = info != nullptr ? info->port : settings.port;
    return true;
}

void DvrSimulator::Stop()
{
    std::lock_guard lock(m_server->m_mutex);
    if (m_server->m_daemon == nullptr)
    {
        return;
    }
    m_server->m_state.BeginStop();
    MHD_stop_daemon(m_server->m_daemon);
    m_server->m_daemon = nullptr;
    m_server->m_port = 0;
    m_server->m_state.Reset();
}

bool DvrSimulator::IsRunning() const
{
    std::lock_guard lock(m_server->m_mutex);
    return m_server->m_daemon != nullptr;
}

uint16_t DvrSimulator::GetPort() const
{
    std::lock_guard lock(m_server->m_mutex);
    return m_server->m_port;
}

std::string DvrSimulator::GetLastError() const
{
    std::lock_guard lock(m_server->m_mutex);
    return m_server->m_lastError;
}

DvrSimSettings DvrSimulator::GetSettings() const
{
    return m_server->m_state.Settings();
}

void DvrSimulator::SetMisbehaviour(const DvrMisbehaviour& misbehaviour)
{
    m_server->m_state.UpdateSettings([&](DvrSimSettings& s) { s.misbehaviour = misbehaviour; });
}

void DvrSimulator::SetVideoLoss(unsigned channel, bool lost)
{
    if (channel >= DvrSimSettings::kMaxChannels)
    {
        return;
    }
    const auto bit = static_cast<uint16_t>(1u << channel);
    m_server->m_state.UpdateSettings(
        [&](DvrSimSettings& s)
        {
            s.videoLossMask =
                static_cast<uint16_t>(lost ? s.videoLossMask | bit : s.videoLossMask & ~bit);
        });
}

void DvrSimulator::SetFramesPerSecond(double framesPerSecond)
{
    if (!(framesPerSecond > 0 && framesPerSecond <= 1000))
    {
        return;
    }
    m_server->m_state.UpdateSettings([&](DvrSimSettings& s)
                                     { s.framesPerSecond = framesPerSecond; });
}

void DvrSimulator::SetReplayChannels(uint16_t channels)
{
    m_server->m_state.UpdateSettings([&](DvrSimSettings& s)
                                     { s.frameSource.replayChannels = channels; });
}

CameraState DvrSimulator::GetCameraState(unsigned channel) const
{
    return m_server->m_state.Camera(channel);
}

size_t DvrSimulator::GetClientCount() const
{
    return m_server->m_state.ActiveClients();
}

bool DvrSimulator::WaitForClientCount(size_t count, std::chrono::milliseconds timeout) const
{
    return m_server->m_state.WaitForActiveClients(count, timeout);
}

std::vector<DvrRequestRecord> DvrSimulator::GetRequests() const
{
    return m_server->m_state.Requests();
}

bool DvrSimulator::WaitForRequests(size_t count, std::chrono::milliseconds timeout) const
{
    return m_server->m_state.WaitForRequests(count, timeout);
}

std::optional<DvrRequestRecord>
DvrSimulator::WaitForRequest(const std::function<bool(const DvrRequestRecord&)>& match,
                             std::chrono::milliseconds timeout) const
{
    return m_server->m_state.WaitForRequest(match, timeout);
}

void DvrSimulator::SetRequestObserver(std::function<void(const DvrRequestRecord&)> observer)
{
    m_server->m_state.SetObserver(std::move(observer));
}

void DvrSimulator::SetFrameSentObserver(
    std::function<void(uint8_t, uint32_t, std::chrono::steady_clock::time_point)> observer)
{
    m_server->m_state.SetFrameSentObserver(std::move(observer));
}
