// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/CTimeline.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QDateTime>
#include <QMouseEvent>
#include <QPointingDevice>
#include <QPainter>
#include <QPushButton>

#include <algorithm>

namespace
{
constexpr int kMargin = 8;
constexpr int kTrackTop = 8;
constexpr int kTrackHeight = 6;
constexpr int kLiveWidth = 44;
const QString kLiveStyle =
    QStringLiteral("QPushButton { color: white; border: none; border-radius: 3px; "
                   "background-color: %1; padding: 2px 6px; }");

// A screen reader hears the moment shown as the value of a slider called "Timeline".
class TimelineAccessible final : public QAccessibleWidget
{
public:
    explicit TimelineAccessible(CTimeline* timeline)
        : QAccessibleWidget(timeline, QAccessible::Slider), m_pTimeline(timeline)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
        {
            return m_pTimeline->MomentText();
        }
        return QAccessibleWidget::text(t);
    }

private:
    CTimeline* m_pTimeline;
};

QAccessibleInterface* TimelineAccessibleFactory(const QString&, QObject* object)
{
    auto* timeline = dynamic_cast<CTimeline*>(object);
    return timeline != nullptr ? new TimelineAccessible(timeline) : nullptr;
}
} // namespace

CTimeline::CTimeline(CLookBack& lookBack, QWidget& parent)
    : QWidget(&parent), m_lookBack(lookBack), m_parent(parent),
      m_pLive(new QPushButton(QStringLiteral("Live"), this))
{
    static const bool factoryInstalled = []
    {
        QAccessible::installFactory(TimelineAccessibleFactory);
        return true;
    }();
    (void)factoryInstalled;
    setObjectName(QStringLiteral("timeline"));
    setAccessibleName(QStringLiteral("Timeline"));
    m_pLive->setObjectName(QStringLiteral("timelineLive"));
    m_pLive->setFocusPolicy(Qt::NoFocus);
    connect(m_pLive, &QPushButton::clicked, this, [this] { m_lookBack.GoLive(); });
    m_tapTimer.setSingleShot(true);
    connect(&m_tapTimer, &QTimer::timeout, this, [this] { UpdateShown(); });
    m_parent.setMouseTracking(true);
    m_parent.installEventFilter(this);
    hide();
    Place();
    Refresh();
}

CTimeline::~CTimeline()
{
    m_parent.removeEventFilter(this);
}

void CTimeline::SetMarks(std::vector<Mark> marks)
{
    m_marks = std::move(marks);
    update();
}

void CTimeline::SetMotionMarks(std::vector<Mark> marks)
{
    if (marks.size() == m_motionMarks.size() &&
        std::equal(marks.begin(), marks.end(), m_motionMarks.begin(),
                   [](const Mark& a, const Mark& b) { return a.from == b.from && a.to == b.to; }))
    {
        return;
    }
    m_motionMarks = std::move(marks);
    update();
}

void CTimeline::ReadSpan()
{
    const auto span = m_lookBack.GetSpan();
    m_bHasSpan = span.has_value();
    if (span)
    {
        m_span = *span;
    }
}

void CTimeline::Refresh()
{
    ReadSpan();
    const bool live = m_lookBack.IsLive();
    // A new style sheet restyles the button: only when the colour changes.
    if (m_liveStyled != std::optional<bool>(live))
    {
        m_liveStyled = live;
        m_pLive->setStyleSheet(kLiveStyle.arg(live ? QStringLiteral("#d01c1c")
                                                   : QStringLiteral("#707070")));
        m_pLive->setToolTip(live ? QStringLiteral("Live") : QStringLiteral("Back to live"));
    }
    UpdateShown();
    if (isVisible())
    {
        update();
        if (QAccessible::isActive())
        {
            QAccessibleValueChangeEvent changed(this, MomentText());
            QAccessible::updateAccessibility(&changed);
        }
    }
}

QString CTimeline::MomentText() const
{
    return ClockText(m_lookBack.ClockOf(m_lookBack.GetMoment()));
}

QString CTimeline::ClockText(CLookBack::ClockTime when)
{
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count();
    return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("HH:mm:ss"));
}

QRect CTimeline::Track() const
{
    const int right = m_pLive->geometry().left() - kMargin;
    return QRect(kMargin, kTrackTop, std::max(1, right - kMargin), kTrackHeight);
}

int CTimeline::PositionOf(CLookBack::SteadyTime when) const
{
    const QRect track = Track();
    const auto length = m_span.last - m_span.first;
    if (!m_bHasSpan || length.count() <= 0)
    {
        return track.right();
    }
    const double share =
        std::clamp(static_cast<double>((when - m_span.first).count()) / length.count(), 0.0, 1.0);
    return track.left() + static_cast<int>(share * (track.width() - 1) + 0.5);
}

CLookBack::SteadyTime CTimeline::TimeAt(int x) const
{
    const QRect track = Track();
    const double share =
        std::clamp(static_cast<double>(x - track.left()) / std::max(1, track.width() - 1), 0.0, 1.0);
    const auto length = m_span.last - m_span.first;
    return m_span.first + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                              std::chrono::duration<double, std::nano>(share * length.count()));
}

void CTimeline::PaintMarks(QPainter& painter, const QRect& track,
                           const std::vector<Mark>& marks) const
{
    for (const Mark& mark : marks)
    {
        const int from = PositionOf(mark.from);
        const int to = PositionOf(mark.to);
        painter.fillRect(QRect(from, track.top(), std::max(1, to - from), track.height()),
                         mark.colour);
    }
}

void CTimeline::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0, 0, 0, 170));
    const QRect track = Track();
    painter.fillRect(track, QColor(255, 255, 255, 90));
    if (!m_bHasSpan)
    {
        return;
    }
    PaintMarks(painter, track, m_marks);
    const int handle = PositionOf(m_lookBack.GetMoment());
    painter.fillRect(QRect(track.left(), track.top(), handle - track.left(), track.height()),
                     QColor(255, 255, 255, 160));
    PaintMarks(painter, track, m_motionMarks);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.drawEllipse(QPoint(handle, track.center().y() + 1), 6, 6);
    painter.setPen(Qt::white);
    const QRect labels(track.left(), track.bottom() + 4, track.width(),
                       height() - track.bottom() - 5);
    painter.drawText(labels, Qt::AlignLeft | Qt::AlignVCenter,
                     ClockText(m_lookBack.ClockOf(m_span.first)));
    painter.drawText(labels, Qt::AlignRight | Qt::AlignVCenter,
                     ClockText(m_lookBack.ClockOf(m_span.last)));
}

void CTimeline::mousePressEvent(QMouseEvent* event)
{
    ReadSpan();
    if (event->button() == Qt::LeftButton && m_bHasSpan)
    {
        m_lookBack.Seek(TimeAt(event->position().toPoint().x()));
    }
    event->accept();
}

void CTimeline::mouseMoveEvent(QMouseEvent* event)
{
    if ((event->buttons() & Qt::LeftButton) && m_bHasSpan)
    {
        m_lookBack.Seek(TimeAt(event->position().toPoint().x()));
    }
    event->accept();
}

void CTimeline::resizeEvent(QResizeEvent* event)
{
    m_pLive->setGeometry(width() - kMargin - kLiveWidth, (height() - 22) / 2, kLiveWidth, 22);
    QWidget::resizeEvent(event);
}

void CTimeline::Place()
{
    setGeometry(0, m_parent.height() - kHeight, m_parent.width(), kHeight);
}

void CTimeline::UpdateShown()
{
    const bool shown = !m_lookBack.IsLive() || m_bPointerNear || m_tapTimer.isActive();
    if (shown != isVisible())
    {
        // Hidden, it did not follow now.
        if (shown)
        {
            ReadSpan();
            raise();
        }
        setVisible(shown);
    }
}

// The parent's events place the timeline and say where the pointer is.
bool CTimeline::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &m_parent)
    {
        switch (event->type())
        {
        case QEvent::Resize:
            Place();
            break;
        case QEvent::MouseMove:
            m_bPointerNear = static_cast<QMouseEvent*>(event)->position().y() >=
                             m_parent.height() - kNearBottom;
            UpdateShown();
            break;
        case QEvent::Leave:
            m_bPointerNear = false;
            UpdateShown();
            break;
        case QEvent::MouseButtonPress:
            // A tap, not a click: the mouse has the bottom edge instead.
            if (static_cast<QMouseEvent*>(event)->pointingDevice()->type() ==
                QInputDevice::DeviceType::TouchScreen)
            {
                m_tapTimer.start(kShownAfterTap);
                UpdateShown();
            }
            break;
        case QEvent::TouchBegin:
            m_tapTimer.start(kShownAfterTap);
            UpdateShown();
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}
