// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/CCGIRequest.h"

#include "DvrSimulator.h"
#include "protocol/Protocol.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

using namespace std::chrono_literals;

namespace
{
// A peer that takes connections into its backlog and never answers.
class MuteListener
{
public:
    MuteListener()
    {
        m_socket = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        bind(m_socket, reinterpret_cast<sockaddr*>(&address), length);
        listen(m_socket, 8);
        getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
    }
    ~MuteListener() { close(m_socket); }

    uint16_t Port() const { return m_port; }

private:
    int m_socket = -1;
    uint16_t m_port = 0;
};

DvrCommand Command(uint16_t port, uint32_t operation, uint32_t mask, std::u16string_view text = {})
{
    DvrCommand command{};
    command.connection = MakeConnectInfo(u"x", u"127.0.0.1", u"0", 0, u"ADMIN", u"1234");
    command.connection.Port = port;
    command.connection.ChannelMask = mask;
    command.clientId = 17;
    command.mode = kCommandMode;
    command.operationCode = operation;
    std::copy(text.begin(), text.end(), command.commandText);
    return command;
}
} // namespace

TEST(CGIRequestTest, CommandsArriveAsExactBytes)
{
    DvrSimulator dvr;
    ASSERT_TRUE(dvr.Start());
    CCGIRequest().Execute(Command(dvr.GetPort(), OP_PTZ, 0x4, u"5S2"));
    CCGIRequest().Execute(Command(dvr.GetPort(), OP_SELECT_CHANNEL, 0x400));
    // Only the low byte of the operation code names the command.
    CCGIRequest().Execute(Command(dvr.GetPort(), 0x100 | OP_LOGOUT, 0x1));
    ASSERT_TRUE(dvr.WaitForRequests(3, 10s));
    const auto requests = dvr.GetRequests();
    using namespace std::string_literals;
    const std::string expected[] = {
        "MODE=5&CID=17&OP=7&CH=2&LEN=1&REQ=5S2\0"s,
        "MODE=5&CID=17&OP=3&CH=400\0"s,
        "MODE=5&CID=17&OP=5\0"s,
    };
    for (size_t i = 0; i < 3; ++i)
    {
        EXPECT_EQ(requests[i].method, "POST");
        EXPECT_EQ(requests[i].target, "/cgi-bin/webapp.cgi?");
        EXPECT_EQ(requests[i].version, "HTTP/1.0");
        EXPECT_EQ(requests[i].body, expected[i]);
        size_t contentTypes = 0;
        for (const auto& [name, value] : requests[i].headers)
        {
            if (name == "Content-Type")
            {
                ++contentTypes;
                EXPECT_EQ(value, "application/x-www-form-urlencoded");
            }
            if (name == "User-Agent")
            {
                EXPECT_EQ(value, "DODIZERARAZ");
            }
            if (name == "Content-Length")
            {
                EXPECT_EQ(value, std::to_string(expected[i].size()));
            }
            EXPECT_NE(name, "Accept");
            EXPECT_NE(name, "Expect");
        }
        EXPECT_EQ(contentTypes, 1u);
    }
}

TEST(CGIRequestTest, WaitIsBoundedAndTheAbandonedWorkerOwnsWhatItUses)
{
    MuteListener mute;
    auto request = std::make_unique<CCGIRequest>(200ms);
    const auto before = std::chrono::steady_clock::now();
    EXPECT_FALSE(request->Send(u"127.0.0.1", mute.Port(), 1, OP_LOGOUT, u"", 0));
    EXPECT_LT(std::chrono::steady_clock::now() - before, 10s);
    // The request is gone while its worker still waits on the DVR; under the
    // sanitizers any use of the freed request shows here.
    request.reset();
}

TEST(CGIRequestTest, UnreachableDvrAndUnknownOperationReportNothingButReturn)
{
    MuteListener mute;
    const uint16_t port = mute.Port();
    { MuteListener other; } // a port nobody listens on any more
    CCGIRequest request(5s);
    EXPECT_TRUE(request.Send(u"127.0.0.1", 1, 1, OP_LOGOUT, u"", 0)); // refused at once
    EXPECT_FALSE(request.Send(u"127.0.0.1", port, 1, 9, u"", 0));   // no such command
    EXPECT_TRUE(request.Send(u"no-such-host.invalid", 80, 1, OP_LOGOUT, u"", 0));
}
