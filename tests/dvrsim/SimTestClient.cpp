// SPDX-License-Identifier: GPL-3.0-or-later
#include "SimTestClient.h"

#include "protocol/ByteOrder.h"

#include <arpa/inet.h>
#include <csetjmp>
#include <cstdio>
#include <curl/curl.h>
#include <jpeglib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace
{
std::string Url(uint16_t port, const std::string& target)
{
    return "http://127.0.0.1:" + std::to_string(port) + target;
}

struct JpegErrors
{
    jpeg_error_mgr base;
    std::jmp_buf escape;
};

void OnJpegError(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->escape, 1);
}

void IgnoreJpegMessage(j_common_ptr) {}

// libcurl's global set-up is not thread-safe; do it once before any test thread runs.
[[maybe_unused]] const bool g_curlReady = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
} // namespace

StreamClient::StreamClient(uint16_t port, const std::string& target, const std::string& method)
    : m_parserOut(CPacketParser::kOutputSize)
{
    m_parser.InitBuffers();
    m_multi = curl_multi_init();
    m_thread = std::thread(&StreamClient::Run, this, Url(port, target), method);
}

StreamClient::~StreamClient()
{
    Abort();
    m_thread.join();
    curl_multi_cleanup(m_multi);
}

void StreamClient::Abort()
{
    m_abort = true;
    curl_multi_wakeup(m_multi);
}

size_t StreamClient::OnWrite(char* data, size_t size, size_t count, void* context)
{
    auto* self = static_cast<StreamClient*>(context);
    const size_t total = size * count;
    std::lock_guard lock(self->m_mutex);
    self->m_body.insert(self->m_body.end(), data, data + total);
    for (size_t at = 0; at < total; at += 512)
    {
        const auto chunk = static_cast<uint32_t>(std::min<size_t>(512, total - at));
        const uint8_t* next = reinterpret_cast<const uint8_t*>(data) + at;
        uint32_t n = chunk;
        while (self->m_parser.Feed(self->m_parserOut.data(), next, n) == 1)
        {
            const uint32_t length = ReadLittleEndian32(&self->m_parserOut[1]);
            const uint8_t* payload = &self->m_parserOut[5];
            self->m_packets.push_back({self->m_parser.GetClientId(), self->m_parserOut[0],
                                       std::vector<uint8_t>(payload, payload + length)});
            next = nullptr;
            n = 0;
        }
    }
    self->m_changed.notify_all();
    return self->m_abort ? 0 : total;
}

void StreamClient::Run(std::string url, std::string method)
{
    CURL* easy = curl_easy_init();
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.c_str());
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_0);
    curl_easy_setopt(easy, CURLOPT_USERAGENT, "Palmeye");
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &StreamClient::OnWrite);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    curl_multi_add_handle(m_multi, easy);
    int running = 1;
    while (running > 0 && !m_abort)
    {
        curl_multi_perform(m_multi, &running);
        if (running > 0)
        {
            curl_multi_poll(m_multi, nullptr, 0, 1000, nullptr);
        }
    }
    long version = 0;
    curl_easy_getinfo(easy, CURLINFO_HTTP_VERSION, &version);
    curl_multi_remove_handle(m_multi, easy);
    curl_easy_cleanup(easy);
    std::lock_guard lock(m_mutex);
    m_httpVersion = version;
    m_ended = true;
    m_changed.notify_all();
}

bool StreamClient::WaitForPackets(size_t count, std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_packets.size() >= count; });
}

bool StreamClient::WaitForBodySize(size_t bytes, std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_body.size() >= bytes; });
}

bool StreamClient::WaitForEnd(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_ended; });
}

std::vector<ReceivedPacket> StreamClient::Packets() const
{
    std::lock_guard lock(m_mutex);
    return m_packets;
}

std::vector<uint8_t> StreamClient::Body() const
{
    std::lock_guard lock(m_mutex);
    return m_body;
}

long StreamClient::HttpVersion() const
{
    std::lock_guard lock(m_mutex);
    return m_httpVersion;
}

long PostCommand(uint16_t port, const std::string& body)
{
    CURL* easy = curl_easy_init();
    curl_slist* headers =
        curl_slist_append(nullptr, "Content-Type: application/x-www-form-urlencoded");
    curl_easy_setopt(easy, CURLOPT_URL, Url(port, "/cgi-bin/webapp.cgi?").c_str());
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_0);
    curl_easy_setopt(easy, CURLOPT_USERAGENT, "DODIZERARAZ");
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(easy, CURLOPT_POSTFIELDS, body.data());
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION,
                     +[](char*, size_t size, size_t count, void*) { return size * count; });
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(
                                                   std::chrono::milliseconds(kWait).count()));
    long status = 0;
    if (curl_easy_perform(easy) == CURLE_OK)
    {
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    }
    curl_slist_free_all(headers);
    curl_easy_cleanup(easy);
    return status;
}

std::string LoginTarget(const std::string& user, const std::string& password, unsigned version,
                        const std::string& hexMask)
{
    return "/cgi-bin/webapp.cgi?MODE=8&ID=" + user + "&PW=" + password +
           "&VER=" + std::to_string(version) + "&CH=" + hexMask;
}

std::string WithNul(const std::string& text)
{
    return text + std::string(1, '\0');
}

std::string RawExchange(uint16_t port, const std::string& request)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    timeval timeout{static_cast<time_t>(std::chrono::seconds(kWait).count()), 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string answer;
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        send(fd, request.data(), request.size(), MSG_NOSIGNAL) ==
            static_cast<ssize_t>(request.size()))
    {
        char buffer[4096];
        ssize_t n;
        while ((n = recv(fd, buffer, sizeof buffer, 0)) > 0)
        {
            answer.append(buffer, static_cast<size_t>(n));
        }
    }
    close(fd);
    return answer;
}

// No C++ object with a destructor lives across the setjmp; libjpeg owns the row buffer.
bool DecodeJpeg(const uint8_t* data, size_t size, unsigned& width, unsigned& height)
{
    jpeg_decompress_struct info;
    JpegErrors errors;
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = OnJpegError;
    errors.base.output_message = IgnoreJpegMessage;
    jpeg_create_decompress(&info);
    if (setjmp(errors.escape))
    {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    jpeg_start_decompress(&info);
    JSAMPARRAY row = (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                               info.output_width * info.output_components, 1);
    while (info.output_scanline < info.output_height)
    {
        jpeg_read_scanlines(&info, row, 1);
    }
    width = info.output_width;
    height = info.output_height;
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}
