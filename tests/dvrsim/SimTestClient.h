// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "protocol/CPacketParser.h"

using namespace std::chrono_literals;

// Bound for every wait on the simulator; generous, since it only matters on failure.
constexpr auto kWait = 10s;

struct ReceivedPacket
{
    uint8_t clientId = 0;
    uint8_t type = 0;
    std::vector<uint8_t> payload;
};

// A login stream read with libcurl over real TCP on its own thread, cut into packets
// by the viewer's own deframer in 512-byte chunks, as the viewer reads it.
class StreamClient
{
public:
    StreamClient(uint16_t port, const std::string& target, const std::string& method = "Get");
    ~StreamClient();

    bool WaitForPackets(size_t count, std::chrono::milliseconds timeout = kWait);
    bool WaitForBodySize(size_t bytes, std::chrono::milliseconds timeout = kWait);
    bool WaitForEnd(std::chrono::milliseconds timeout = kWait);
    // Waits for a packet that satisfies the test and returns its index, or -1.
    template <typename Test>
    int WaitForPacket(Test test, std::chrono::milliseconds timeout = kWait)
    {
        std::unique_lock lock(m_mutex);
        int found = -1;
        m_changed.wait_for(lock, timeout, [&] {
            for (size_t i = 0; i < m_packets.size(); ++i)
            {
                if (test(m_packets[i]))
                {
                    found = static_cast<int>(i);
                    return true;
                }
            }
            return false;
        });
        return found;
    }

    std::vector<ReceivedPacket> Packets() const;
    std::vector<uint8_t> Body() const;
    long HttpVersion() const; // CURL_HTTP_VERSION_* of the response, once it has ended
    void Abort();

private:
    static size_t OnWrite(char* data, size_t size, size_t count, void* self);
    void Run(std::string url, std::string method);

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<uint8_t> m_body;               // guarded by m_mutex
    std::vector<ReceivedPacket> m_packets;     // guarded by m_mutex
    bool m_ended = false;                      // guarded by m_mutex
    long m_httpVersion = 0;                    // guarded by m_mutex
    CPacketParser m_parser;                    // used by the transfer thread only
    std::vector<uint8_t> m_parserOut;          // used by the transfer thread only
    std::atomic<bool> m_abort{false};
    void* m_multi = nullptr;
    std::thread m_thread;
};

// A command POST as the viewer sends it: HTTP/1.0, its agent, the form type, the
// body given byte for byte. Returns the HTTP status, 0 if there was no answer.
long PostCommand(uint16_t port, const std::string& body);
std::string LoginTarget(const std::string& user, const std::string& password, unsigned version,
                        const std::string& hexMask);
std::string WithNul(const std::string& text);

// Sends the bytes over a plain socket and returns all the server answers until it closes.
std::string RawExchange(uint16_t port, const std::string& request);

// Decodes with libjpeg; false if libjpeg reports an error.
bool DecodeJpeg(const uint8_t* data, size_t size, unsigned& width, unsigned& height);
