// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CStatisticsOverlay.h"

#include "display/CPictureDisplay.h"

#include <QWidget>

namespace
{
constexpr size_t kMegabyte = size_t{1} << 20;

// The span really kept, which the budget may make shorter than the longest.
QString LookBackText(const CPictureDisplay& display)
{
    if (!display.KeepsHistory())
    {
        return QStringLiteral("look-back off");
    }
    const std::optional<CFrameHistory::Span> span = display.GetHistory().GetSpan();
    if (!span)
    {
        return QStringLiteral("look-back empty");
    }
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(span->last - span->first).count();
    const QString length = seconds >= 60
                               ? QStringLiteral("%1 min %2 s").arg(seconds / 60).arg(seconds % 60)
                               : QStringLiteral("%1 s").arg(seconds);
    const QString memory =
        span->bytes < kMegabyte
            ? QStringLiteral("%1 kB").arg((span->bytes + 1023) / 1024)
            : QStringLiteral("%1 MB").arg(static_cast<double>(span->bytes) / kMegabyte, 0, 'f', 1);
    return QStringLiteral("look-back %1  %2").arg(length, memory);
}
} // namespace

CStatisticsOverlay::CStatisticsOverlay(CPictureDisplay& display, QWidget& view)
    : QLabel(&view), m_display(display)
{
    setObjectName(QStringLiteral("statistics"));
    setStyleSheet(QStringLiteral("QLabel { background: rgba(0, 0, 0, 160); color: white; "
                                 "padding: 2px 4px; font-family: monospace; }"));
    // Clicks and double clicks go through to the view under it.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    move(4, 4);
    hide();
    connect(&m_timer, &QTimer::timeout, this, [this] { Refresh(); });
}

void CStatisticsOverlay::SetShown(bool shown)
{
    if (shown)
    {
        Refresh();
        show();
        raise();
        m_timer.start(kRefreshMs);
    }
    else
    {
        m_timer.stop();
        hide();
    }
}

void CStatisticsOverlay::Refresh()
{
    m_rates = m_display.GetStatistics().Read();
    QSize size;
    m_display.PaintCommitted([&](const CJpegDecoder& picture, const PictureRect&)
                             { size = QSize(picture.GetWidth(), picture.GetHeight()); });
    const QString picture = size.isValid()
                                ? QStringLiteral("%1 x %2").arg(size.width()).arg(size.height())
                                : QStringLiteral("no picture");
    const QString last =
        m_rates.sinceLastFrame
            ? QStringLiteral("%1 s ago")
                  .arg(std::chrono::duration<double>(*m_rates.sinceLastFrame).count(), 0, 'f', 2)
            : QStringLiteral("no frame yet");
    setText(QStringLiteral("%1 fps  %2 kbit/s\n%3  last %4\n%5")
                .arg(m_rates.framesPerSecond, 0, 'f', 1)
                .arg(m_rates.kilobitsPerSecond, 0, 'f', 0)
                .arg(picture, last, LookBackText(m_display)));
    adjustSize();
}
