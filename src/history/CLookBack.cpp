// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/CLookBack.h"

#include "history/CFrameHistory.h"

#include <algorithm>
#include <utility>

CLookBack::CLookBack(Clock clock) : m_clock(std::move(clock)) {}

void CLookBack::SetHistories(std::vector<const CFrameHistory*> histories)
{
    m_histories = std::move(histories);
    m_nSelected = 0;
    GoLive();
}

void CLookBack::SetSelected(size_t index)
{
    if (index != m_nSelected)
    {
        m_nSelected = index;
        m_stepped.reset();
    }
}

CLookBack::SteadyTime CLookBack::GetMoment() const
{
    switch (m_state)
    {
    case State::Paused:
        return m_moment;
    case State::Playing:
        return m_moment + (Now() - m_playStart);
    case State::Live:
        break;
    }
    return Now();
}

CLookBack::ClockTime CLookBack::ClockOf(SteadyTime when) const
{
    return m_clock.wall() -
           std::chrono::duration_cast<std::chrono::system_clock::duration>(Now() - when);
}

std::optional<CLookBack::Span> CLookBack::GetSpan() const
{
    std::optional<SteadyTime> first;
    for (const CFrameHistory* history : m_histories)
    {
        const auto span = history != nullptr ? history->GetSpan() : std::nullopt;
        if (span && (!first || span->first < *first))
        {
            first = span->first;
        }
    }
    if (!first)
    {
        return std::nullopt;
    }
    return Span{*first, std::max(*first, Now())};
}

void CLookBack::GoLive()
{
    m_stepped.reset();
    m_state = State::Live;
    Changed();
}

// Paused from live, the selected camera holds the frame on screen, also when a
// frame stamped before the pause is stored after it.
void CLookBack::Follow(const CLookBack& other)
{
    if (other.IsLive())
    {
        GoLive();
        return;
    }
    MoveTo(other.GetMoment(), other.GetState());
}

void CLookBack::TogglePause()
{
    const bool fromLive = m_state == State::Live;
    if (fromLive && !GetSpan())
    {
        return;
    }
    const CFrameHistory* history =
        m_nSelected < m_histories.size() ? m_histories[m_nSelected] : nullptr;
    const auto span = fromLive && history != nullptr ? history->GetSpan() : std::nullopt;
    // Named before the change is told: the displays then show this frame, not one the
    // receiver stores in between, and a frame step goes on from the one on screen.
    MoveTo(GetMoment(), m_state == State::Paused ? State::Playing : State::Paused,
           span ? std::optional<uint64_t>(span->lastSequence) : std::nullopt);
}

// Back from live plays on from there, as a look at what just happened wants;
// a paused picture stays paused. Never before the oldest frame kept.
void CLookBack::Back()
{
    const auto span = GetSpan();
    if (!span)
    {
        return;
    }
    MoveTo(std::max(GetMoment() - kJump, span->first),
           m_state == State::Live ? State::Playing : m_state);
}

void CLookBack::Forward()
{
    if (m_state == State::Live)
    {
        return;
    }
    const SteadyTime moment = GetMoment() + kJump;
    if (moment >= Now())
    {
        GoLive();
        return;
    }
    MoveTo(moment, m_state);
}

bool CLookBack::StepFrame(bool forward)
{
    const CFrameHistory* history =
        m_nSelected < m_histories.size() ? m_histories[m_nSelected] : nullptr;
    const auto span = history != nullptr ? history->GetSpan() : std::nullopt;
    if (!span)
    {
        return false;
    }
    std::optional<uint64_t> target;
    const std::optional<HistoryFrameInfo> shown =
        m_state == State::Live ? history->Find(span->lastSequence) : FrameOf(m_nSelected);
    if (shown)
    {
        target = forward ? shown->sequence + 1 : shown->sequence - 1;
    }
    else if (forward)
    {
        // Before the oldest frame kept: the next one is the oldest.
        target = span->firstSequence;
    }
    const std::optional<HistoryFrameInfo> frame =
        target ? history->Find(*target) : std::optional<HistoryFrameInfo>();
    if (!frame)
    {
        return false;
    }
    m_state = State::Paused;
    m_moment = frame->arrived;
    m_stepped = frame->sequence;
    Changed();
    return true;
}

void CLookBack::Seek(SteadyTime when)
{
    if (!GetSpan())
    {
        return;
    }
    if (when >= Now())
    {
        GoLive();
        return;
    }
    MoveTo(when, m_state == State::Live ? State::Paused : m_state);
}

void CLookBack::Advance()
{
    if (m_state == State::Playing && CaughtUp(GetMoment()))
    {
        GoLive();
    }
}

// Every camera shows its newest frame: nothing newer has come since the moment.
bool CLookBack::CaughtUp(SteadyTime moment) const
{
    if (moment >= Now())
    {
        return true;
    }
    bool any = false;
    for (const CFrameHistory* history : m_histories)
    {
        const auto span = history != nullptr ? history->GetSpan() : std::nullopt;
        if (!span)
        {
            continue;
        }
        const auto frame = history->FindAt(moment);
        if (!frame || frame->sequence != span->lastSequence)
        {
            return false;
        }
        any = true;
    }
    return any;
}

std::optional<HistoryFrameInfo> CLookBack::FrameOf(size_t index) const
{
    const CFrameHistory* history = index < m_histories.size() ? m_histories[index] : nullptr;
    if (m_state == State::Live || history == nullptr)
    {
        return std::nullopt;
    }
    if (index == m_nSelected && m_stepped)
    {
        return history->Find(*m_stepped);
    }
    return history->FindAt(GetMoment());
}

void CLookBack::MoveTo(SteadyTime moment, State state, std::optional<uint64_t> stepped)
{
    m_stepped = stepped;
    m_state = state;
    m_moment = moment;
    m_playStart = Now();
    Changed();
}

void CLookBack::Changed()
{
    if (onChanged)
    {
        onChanged();
    }
}
