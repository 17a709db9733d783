// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

// A peer on loopback that plays whatever a test scripts, for the faults a real
// DVR web server cannot commit: a reset, a cut-off command, any bytes at all.
// Each connection, on its own thread, hands its request (up to the blank line)
// to the script, which writes the answer itself; the connection is closed when
// the script returns, or cut when the peer is destroyed.
class ScriptedDvr
{
public:
    using Script = std::function<void(int fd, const std::string& request)>;

    explicit ScriptedDvr(Script script, std::function<void()> onConnection = {})
        : m_script(std::move(script)), m_onConnection(std::move(onConnection))
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (m_listener < 0 ||
            ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(m_listener, 64) != 0 ||
            ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        {
            std::abort();
        }
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { Serve(); });
    }

    ~ScriptedDvr()
    {
        m_stop = true;
        ::shutdown(m_listener, SHUT_RDWR);
        m_thread.join();
        {
            std::lock_guard lock(m_mutex);
            for (const int fd : m_open)
            {
                ::shutdown(fd, SHUT_RDWR); // wakes a script waiting on its client
            }
        }
        for (Connection& connection : m_connectionThreads)
        {
            connection.thread.join();
        }
        ::close(m_listener);
    }

    ScriptedDvr(const ScriptedDvr&) = delete;
    ScriptedDvr& operator=(const ScriptedDvr&) = delete;

    uint16_t Port() const { return m_port; }
    std::u16string PortText() const
    {
        const std::string text = std::to_string(m_port);
        return std::u16string(text.begin(), text.end());
    }
    unsigned Connections() const { return m_connections; }

    static bool SendAll(int fd, const std::vector<uint8_t>& bytes)
    {
        for (size_t at = 0; at < bytes.size();)
        {
            const ssize_t n = ::send(fd, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
            if (n <= 0)
            {
                return false;
            }
            at += static_cast<size_t>(n);
        }
        return true;
    }

    // The next close sends a reset instead of an orderly end.
    static void ResetOnClose(int fd)
    {
        const linger reset{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    }

private:
    void Serve()
    {
        while (!m_stop)
        {
            const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
            {
                continue;
            }
            ++m_connections;
            std::lock_guard lock(m_mutex);
            // Ended connections are joined as new ones come, so a long run
            // (a fuzzer's) does not pile up finished threads.
            std::erase_if(m_connectionThreads,
                          [](Connection& c)
                          {
                              if (!*c.done)
                              {
                                  return false;
                              }
                              c.thread.join();
                              return true;
                          });
            m_open.insert(fd);
            auto done = std::make_shared<std::atomic<bool>>(false);
            m_connectionThreads.push_back(
                {std::thread(
                     [this, fd, done]
                     {
                         m_script(fd, ReadRequest(fd));
                         {
                             std::lock_guard lock(m_mutex);
                             m_open.erase(fd);
                         }
                         linger how{};
                         socklen_t size = sizeof how;
                         ::getsockopt(fd, SOL_SOCKET, SO_LINGER, &how, &size);
                         if (!(how.l_onoff != 0 && how.l_linger == 0))
                         {
                             ::shutdown(fd,
                                        SHUT_WR); // an orderly end, unless a reset was asked for
                         }
                         ::close(fd);
                         *done = true;
                     }),
                 done});
            if (m_onConnection)
            {
                m_onConnection();
            }
        }
    }

    static std::string ReadRequest(int fd)
    {
        std::string request;
        char buffer[1024];
        while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536)
        {
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0)
            {
                break;
            }
            request.append(buffer, static_cast<size_t>(n));
        }
        return request;
    }

    Script m_script;
    std::function<void()> m_onConnection;
    int m_listener = -1;
    uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<unsigned> m_connections{0};
    std::mutex m_mutex;
    std::set<int> m_open; // guarded by m_mutex
    struct Connection
    {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    std::vector<Connection> m_connectionThreads; // accepting thread, then the destructor
    std::thread m_thread;
};
