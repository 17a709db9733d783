// SPDX-License-Identifier: GPL-3.0-or-later
#include "SimulatorState.h"

#include "FormFields.h"

#include "protocol/Protocol.h"

#include <algorithm>

namespace
{
constexpr auto kClientPollInterval = std::chrono::milliseconds(200);

std::string Describe(const char* what, unsigned clientId)
{
    return std::string(what) + " client " + std::to_string(clientId);
}
} // namespace

SimulatorState::SimulatorState(DvrSimSettings settings) : m_settings(std::move(settings)) {}

DvrSimSettings SimulatorState::Settings() const
{
    std::lock_guard lock(m_mutex);
    return m_settings;
}

void SimulatorState::UpdateSettings(const std::function<void(DvrSimSettings&)>& change)
{
    std::lock_guard lock(m_mutex);
    change(m_settings);
    m_changed.notify_all();
}

CameraState SimulatorState::Camera(unsigned channel) const
{
    std::lock_guard lock(m_mutex);
    return m_cameras.Get(channel);
}

uint8_t SimulatorState::NextFreeId() const
{
    for (unsigned step = 1; step <= 255; ++step)
    {
        const auto id = static_cast<uint8_t>((m_lastId + step - 1) % 255 + 1);
        if (!m_clients.contains(id))
        {
            return id;
        }
    }
    return 0;
}

SimulatorState::Admission SimulatorState::Admit(const FormFields& query)
{
    std::lock_guard lock(m_mutex);
    Admission result;
    if (m_settings.misbehaviour.refuseLoginCode != 0)
    {
        result.errorCode = m_settings.misbehaviour.refuseLoginCode;
        return result;
    }
    auto matches = [](std::optional<std::string_view> sent, const std::string& stored)
    { return sent && *sent == stored; };
    const auto account =
        std::find_if(m_settings.accounts.begin(), m_settings.accounts.end(),
                     [&](const DvrAccount& a) { return matches(query.Get("ID"), a.user); });
    if (account == m_settings.accounts.end())
    {
        result.errorCode = 1;
        return result;
    }
    if (!matches(query.Get("PW"), account->password))
    {
        result.errorCode = 2;
        return result;
    }
    if (query.GetDecimal("VER", UINT32_MAX) != static_cast<uint32_t>(kProtocolVersion))
    {
        result.errorCode = 3;
        return result;
    }
    const auto mask = query.GetHex("CH");
    const unsigned channel = mask ? ChannelIndexFromMask(*mask) : 0;
    if (!mask || (*mask & (1u << channel)) == 0 || channel >= m_settings.channelCount)
    {
        result.errorCode = 7;
        return result;
    }
    const uint8_t id = NextFreeId();
    if (m_clients.size() >= m_settings.clientLimit || id == 0)
    {
        result.errorCode = 4;
        return result;
    }
    m_clients[id] = Client{channel, false};
    m_lastId = id;
    result.clientId = id;
    result.channel = channel;
    return result;
}

void SimulatorState::Release(uint8_t clientId)
{
    std::lock_guard lock(m_mutex);
    m_clients.erase(clientId);
    m_changed.notify_all();
}

size_t SimulatorState::ActiveClients() const
{
    std::lock_guard lock(m_mutex);
    return m_clients.size();
}

bool SimulatorState::WaitForActiveClients(size_t count, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_clients.size() == count; });
}

std::string SimulatorState::ApplyCommand(const FormFields& body)
{
    std::lock_guard lock(m_mutex);
    const auto mode = body.GetDecimal("MODE", UINT32_MAX);
    const auto cid = body.GetDecimal("CID", 255);
    const auto op = body.GetDecimal("OP", UINT32_MAX);
    if (mode != static_cast<uint32_t>(kCommandMode) || !cid || !op)
    {
        return "ignored: MODE, CID or OP missing or wrong";
    }
    const auto client = m_clients.find(static_cast<uint8_t>(*cid));
    if (client == m_clients.end() || client->second.ended)
    {
        return "ignored: unknown CID " + std::to_string(*cid);
    }
    switch (*op)
    {
    case OP_SELECT_CHANNEL:
    {
        const auto mask = body.GetHex("CH");
        const unsigned channel = mask ? ChannelIndexFromMask(*mask) : 0;
        if (!mask || (*mask & (1u << channel)) == 0 || channel >= m_settings.channelCount)
        {
            return "ignored: no such channel";
        }
        client->second.channel = channel;
        m_changed.notify_all();
        return Describe("channel", *cid) + " now " + std::to_string(channel);
    }
    case OP_LOGOUT:
        client->second.ended = true;
        m_changed.notify_all();
        return Describe("logout", *cid);
    case OP_PTZ:
    {
        const auto channel = body.GetDecimal("CH", m_settings.channelCount - 1);
        const auto request = body.Get("REQ");
        if (!channel || body.Get("LEN") != std::string_view("1") || !request ||
            !m_cameras.Apply(*channel, *request))
        {
            return "ignored: bad camera command";
        }
        return "camera " + std::to_string(*channel) + " " + std::string(*request);
    }
    default:
        return "ignored: unknown OP " + std::to_string(*op);
    }
}

SimulatorState::StreamTurn SimulatorState::WaitForTurn(uint8_t clientId,
                                                       std::chrono::steady_clock::time_point due,
                                                       const std::function<bool()>& clientGone)
{
    std::unique_lock lock(m_mutex);
    while (true)
    {
        const auto client = m_clients.find(clientId);
        if (m_stopping || client == m_clients.end() || client->second.ended)
        {
            return {};
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= due && !m_settings.misbehaviour.pauseFrames)
        {
            return {true, client->second.channel};
        }
        m_changed.wait_until(lock, std::min(due, now + kClientPollInterval));
        if (clientGone())
        {
            return {};
        }
    }
}

void SimulatorState::SetObserver(std::function<void(const DvrRequestRecord&)> observer)
{
    std::lock_guard lock(m_mutex);
    m_observer = std::move(observer);
}

void SimulatorState::SetFrameSentObserver(FrameSentObserver observer)
{
    auto shared =
        observer ? std::make_shared<const FrameSentObserver>(std::move(observer)) : nullptr;
    std::lock_guard lock(m_mutex);
    m_frameSentObserver = std::move(shared);
}

void SimulatorState::NoteFrameSent(uint8_t clientId, uint32_t frameNumber)
{
    const auto sentAt = std::chrono::steady_clock::now();
    std::shared_ptr<const FrameSentObserver> observer;
    {
        std::lock_guard lock(m_mutex);
        observer = m_frameSentObserver;
    }
    if (observer)
    {
        (*observer)(clientId, frameNumber, sentAt);
    }
}

void SimulatorState::Log(DvrRequestRecord record)
{
    std::function<void(const DvrRequestRecord&)> observer;
    {
        std::lock_guard lock(m_mutex);
        m_log.push_back(record);
        observer = m_observer;
        m_changed.notify_all();
    }
    if (observer)
    {
        observer(record);
    }
}

std::vector<DvrRequestRecord> SimulatorState::Requests() const
{
    std::lock_guard lock(m_mutex);
    return m_log;
}

bool SimulatorState::WaitForRequests(size_t count, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_log.size() >= count; });
}

std::optional<DvrRequestRecord> SimulatorState::WaitForRequest(
    const std::function<bool(const DvrRequestRecord&)>& match,
    std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(m_mutex);
    std::optional<DvrRequestRecord> found;
    // Only records added since the last look need checking.
    size_t checked = 0;
    m_changed.wait_for(lock, timeout, [&] {
        for (; checked < m_log.size(); ++checked)
        {
            if (match(m_log[checked]))
            {
                found = m_log[checked];
                return true;
            }
        }
        return false;
    });
    return found;
}

void SimulatorState::BeginStop()
{
    std::lock_guard lock(m_mutex);
    m_stopping = true;
    m_changed.notify_all();
}

void SimulatorState::Reset()
{
    std::lock_guard lock(m_mutex);
    m_stopping = false;
    m_clients.clear();
}
