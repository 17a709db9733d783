// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes may answer the login: the client reads them from a real socket,
// deframes them and acts on login replies, error packets and frames; it must
// report the outcome to the GUI thread once and stop cleanly, whatever came.
#include "net/CDVRClient.h"
#include "platform/BusyCursor.h"
#include "platform/MessageBox.h"
#include "platform/SilentMessageBox.h"
#include "support/FakePictureWindow.h"
#include "support/GuiThreadFake.h"
#include "support/ScriptedDvr.h"

#include <cstdlib>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace
{
class NoCursor : public IBusyCursor
{
public:
    void Begin() override {}
    void End() override {}
};

// Answers the next login with the fuzzer's bytes; any other connection (a
// second login, a command) is read and closed unanswered.
class ArmedAnswer
{
public:
    void Arm(std::vector<uint8_t> answer)
    {
        std::lock_guard lock(m_mutex);
        m_answer = std::move(answer);
        m_armed = true;
    }

    void Play(int fd)
    {
        std::vector<uint8_t> answer;
        {
            std::lock_guard lock(m_mutex);
            if (!std::exchange(m_armed, false))
            {
                return;
            }
            answer.swap(m_answer);
        }
        ScriptedDvr::SendAll(fd, answer);
    }

private:
    std::mutex m_mutex;
    std::vector<uint8_t> m_answer;
    bool m_armed = false;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static ArmedAnswer next;
    static ScriptedDvr dvr([](int fd, const std::string&) { next.Play(fd); });
    static FakePictureWindow window;
    static SilentMessageBox boxes;
    static NoCursor cursor;
    // The first byte says whether an HTTP status line and headers come first.
    std::vector<uint8_t> answer;
    if (size > 0 && (data[0] & 1) != 0)
    {
        const std::string head =
            "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\n\r\n";
        answer.assign(head.begin(), head.end());
    }
    if (size > 0)
    {
        answer.insert(answer.end(), data + 1, data + size);
    }
    next.Arm(std::move(answer));

    GuiThreadFake gui;

    {
        CDVRClient client(gui, window, boxes, gui, cursor,
                          {std::chrono::seconds(5), std::chrono::seconds(5)});
        client.Start(MakeConnectInfo(u"DVR", u"127.0.0.1", dvr.PortText(), 0, u"ADMIN", u"1234"));
        // Every stream ends: with a login reply and then the close (lost), with an
        // error packet, or with neither and then an unanswered second login.
        if (!gui.WaitFor([](const auto& handled) { return !handled.empty(); },
                         std::chrono::seconds(10)))
        {
            std::abort();
        }
    }
    return 0;
}
