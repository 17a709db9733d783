// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/CLookBackControl.h"

#include "history/CFrameHistory.h"
#include "res/MenuTemplate.h"
#include "res/ResourceIds.h"
#include "res/StringTable.h"
#include "view/CClipActions.h"
#include "view/CPictureConnection.h"
#include "view/CTimeline.h"

#include <QAction>
#include <QEvent>
#include <QPainter>
#include <QWidget>

#include <algorithm>

namespace
{
// Sequences count from 1: a display told 0 paints nothing.
constexpr uint64_t kNoFrame = 0;

QString Text(unsigned stringId)
{
    return QString::fromStdU16String(LoadString(stringId));
}
} // namespace

CLookBackControl::CLookBackControl(QWidget& host, LookBackClock clock)
    : QObject(&host), m_host(host), m_lookBack(std::move(clock)),
      m_pTimeline(new CTimeline(m_lookBack, host)), m_pClips(new CClipActions(*this, host))
{
    m_lookBack.onChanged = [this]
    {
        Apply();
        // Marks only for a timeline on screen, which the refresh may show.
        m_pTimeline->Refresh();
        UpdateMotionMarks();
        UpdatePauseItem();
    };
    m_tick.setInterval(kTick);
    connect(&m_tick, &QTimer::timeout, this, [this] { OnTick(); });
    m_tick.start();
    host.installEventFilter(this);
}

CLookBackControl::~CLookBackControl()
{
    m_host.removeEventFilter(this);
}

void CLookBackControl::SetConnections(std::vector<CPictureConnection*> connections)
{
    m_connections = std::move(connections);
    m_shown.assign(m_connections.size(), std::nullopt);
    m_texts.assign(m_connections.size(), QString());
    std::vector<const CFrameHistory*> histories;
    for (CPictureConnection* connection : m_connections)
    {
        histories.push_back(connection != nullptr ? &connection->GetDisplay().GetHistory()
                                                  : nullptr);
        if (connection != nullptr)
        {
            connection->GetDisplay().ShowLive();
        }
    }
    m_lookBack.SetHistories(std::move(histories));
    m_pClips->SetConnections(m_connections);
}

void CLookBackControl::SetSelected(size_t index)
{
    m_lookBack.SetSelected(index);
    m_pClips->SetSelected(index);
}

void CLookBackControl::SetPauseItem(QAction* item)
{
    m_pPauseItem = item;
    UpdatePauseItem();
}

bool CLookBackControl::OnCommand(unsigned id)
{
    switch (id)
    {
    case ID_LOOKBACK_PAUSE:
        m_lookBack.TogglePause();
        return true;
    case ID_LOOKBACK_BACK:
        m_lookBack.Back();
        return true;
    case ID_LOOKBACK_FORWARD:
        m_lookBack.Forward();
        return true;
    case ID_LOOKBACK_PREVIOUS_FRAME:
        m_lookBack.StepFrame(false);
        return true;
    case ID_LOOKBACK_NEXT_FRAME:
        m_lookBack.StepFrame(true);
        return true;
    case ID_LOOKBACK_LIVE:
        m_lookBack.GoLive();
        return true;
    case ID_LOOKBACK_PREVIOUS_MOTION:
        JumpToMotion(false);
        return true;
    case ID_LOOKBACK_NEXT_MOTION:
        JumpToMotion(true);
        return true;
    default:
        return m_pClips->OnCommand(id);
    }
}

std::optional<HistoryFrameInfo> CLookBackControl::GetShownFrame(size_t index) const
{
    return m_lookBack.FrameOf(index);
}

QString CLookBackControl::PastText(size_t index) const
{
    if (m_lookBack.IsLive() || index >= m_connections.size() || m_connections[index] == nullptr)
    {
        return {};
    }
    const std::optional<HistoryFrameInfo> frame = m_lookBack.FrameOf(index);
    if (!frame)
    {
        return Text(IDS_NO_PICTURE_AT).arg(CTimeline::ClockText(
            m_lookBack.ClockOf(m_lookBack.GetMoment())));
    }
    const auto ago =
        std::chrono::duration_cast<std::chrono::seconds>(m_lookBack.Now() - frame->arrived);
    return Text(IDS_PAST_PICTURE)
        .arg(CTimeline::ClockText(frame->arrivedClock))
        .arg(std::max<long long>(0, ago.count()));
}

QRect CLookBackControl::PaintPastText(QPainter& painter, const QRect& area, const QString& text)
{
    if (text.isEmpty() || area.isEmpty())
    {
        return {};
    }
    painter.save();
    const QFontMetrics metrics = painter.fontMetrics();
    const QRect badge = metrics.boundingRect(area.adjusted(6, 6, -6, -6),
                                             Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
                                             text)
                            .adjusted(-6, -3, 6, 3);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 191, 0, 220));
    painter.drawRoundedRect(badge, 4, 4);
    painter.setPen(Qt::black);
    painter.drawText(badge, Qt::AlignCenter | Qt::TextWordWrap, text);
    painter.restore();
    return badge;
}

// Each display paints the frame of the moment; a change asks for a repaint.
void CLookBackControl::Apply()
{
    const bool live = m_lookBack.IsLive();
    for (size_t i = 0; i < m_connections.size(); ++i)
    {
        CPictureConnection* connection = m_connections[i];
        if (connection == nullptr)
        {
            continue;
        }
        std::optional<uint64_t> shown;
        if (!live)
        {
            const std::optional<HistoryFrameInfo> frame = m_lookBack.FrameOf(i);
            shown = frame ? frame->sequence : kNoFrame;
        }
        const QString text = PastText(i);
        if (shown == m_shown[i] && text == m_texts[i])
        {
            continue;
        }
        if (shown != m_shown[i])
        {
            if (shown)
            {
                connection->GetDisplay().ShowPast(*shown);
            }
            else
            {
                connection->GetDisplay().ShowLive();
            }
            m_shown[i] = shown;
        }
        m_texts[i] = text;
        if (onShownChanged)
        {
            onShownChanged(i);
        }
    }
}

// Motion kept for frames that are gone is no moment to go to.
void CLookBackControl::JumpToMotion(bool forward)
{
    const CLookBack::SteadyTime moment = m_lookBack.GetMoment();
    std::optional<CLookBack::SteadyTime> target;
    for (CPictureConnection* connection : m_connections)
    {
        if (connection == nullptr)
        {
            continue;
        }
        const CPictureDisplay& display = connection->GetDisplay();
        const auto span = display.GetHistory().GetSpan();
        const CMotionIntervals& intervals = display.GetMotion().GetIntervals();
        const auto found = forward ? intervals.NextAfter(moment) : intervals.PreviousBefore(moment);
        if (!span || !found || *found < span->first)
        {
            continue;
        }
        if (!target || (forward ? *found < *target : *found > *target))
        {
            target = found;
        }
    }
    if (target)
    {
        m_lookBack.Seek(*target);
    }
}

// Only what the histories still keep is marked.
void CLookBackControl::UpdateMotionMarks()
{
    if (!m_pTimeline->isVisible())
    {
        return;
    }
    std::vector<CTimeline::Mark> marks;
    const CLookBack::SteadyTime now = m_lookBack.Now();
    for (CPictureConnection* connection : m_connections)
    {
        if (connection == nullptr)
        {
            continue;
        }
        const CPictureDisplay& display = connection->GetDisplay();
        const auto span = display.GetHistory().GetSpan();
        if (!span)
        {
            continue;
        }
        for (const CMotionIntervals::Interval& interval :
             display.GetMotion().GetIntervals().Between(span->first, now))
        {
            marks.push_back({std::max(interval.first, span->first), interval.last, QColor(kMotionRed)});
        }
    }
    m_pTimeline->SetMotionMarks(std::move(marks));
}

// Play moves the moment on and the age over a past picture grows; a timeline on
// screen follows now.
void CLookBackControl::OnTick()
{
    if (!m_host.isVisible())
    {
        return;
    }
    if (m_lookBack.IsLive())
    {
        if (m_pTimeline->isVisible())
        {
            m_pTimeline->Refresh();
            UpdateMotionMarks();
        }
        return;
    }
    m_lookBack.Advance();
    Apply();
    m_pTimeline->Refresh();
    UpdateMotionMarks();
}

void CLookBackControl::UpdatePauseItem()
{
    if (m_pPauseItem != nullptr && m_host.isVisible())
    {
        const bool paused = m_lookBack.GetState() == CLookBack::State::Paused;
        m_pPauseItem->setText(QString::fromStdU16String(paused ? kPlayText : kPauseText));
    }
}

bool CLookBackControl::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &m_host && event->type() == QEvent::Show)
    {
        UpdatePauseItem();
    }
    return QObject::eventFilter(watched, event);
}
