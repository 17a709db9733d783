// SPDX-License-Identifier: GPL-3.0-or-later
#include "wall/CWallTile.h"

#include "directory/DvrConnectInfo.h"
#include "net/CLogoutBatch.h"
#include "platform/WindowMessages.h"
#include "protocol/Protocol.h"
#include "res/ResourceIds.h"
#include "res/StringTable.h"
#include "view/CClipActions.h"
#include "view/CLookBackControl.h"

#include <QContextMenuEvent>
#include <QImage>
#include <QMouseEvent>
#include <QPixmap>
#include <QPainter>
#include <QRegion>
#include <QResizeEvent>

namespace
{
constexpr uint8_t kUnknownUser = 1;
constexpr uint8_t kWrongPassword = 2;
constexpr uint8_t kNoVideoChannel = 7;
constexpr int kCaptionHeight = 18;
const QColor kSelectedFrame(255, 200, 0);
constexpr int kMotionFrame = 3;

QString Text(unsigned stringId)
{
    return QString::fromStdU16String(LoadString(stringId));
}
} // namespace

CWallTile::CWallTile(IMessagePump& messagePump, const WallSettings& settings,
                     const CDecodePool& pictures, size_t slot, QWidget* parent)
    : QWidget(parent), m_messagePump(messagePump), m_logoutWait(settings.logoutWait),
      m_backoff(settings.firstRetry, settings.longestRetry), m_pictures(pictures), m_nSlot(slot),
      m_picture(*this,
                CPictureConnection::Services{*this, m_silentBox, messagePump, m_cursor,
                                             settings.timeouts, settings.historyBudget},
                CPictureConnection::AgeWording::Short)
{
    setObjectName(QStringLiteral("tile"));
    setFocusPolicy(Qt::NoFocus);
    m_picture.GetDisplay().DecodeElsewhere();
    m_picture.RepaintOnTick();
    m_retryTimer.setSingleShot(true);
    connect(&m_retryTimer, &QTimer::timeout, this,
            [this]
            {
                m_picture.GetDisplay().KeepHistoryThroughNextStart();
                Connect();
            });
    SetState(State::NoChannel, QStringLiteral("No channel"));
}

CWallTile::~CWallTile()
{
    m_retryTimer.stop();
    CLogoutBatch logout(&m_messagePump);
    m_picture.GetClient().Stop(logout);
    logout.WaitUntil(std::chrono::steady_clock::now() + m_logoutWait);
}

void CWallTile::Assign(const std::optional<DvrEntry>& entry)
{
    Disconnect();
    m_entry = entry;
    m_caption.setText(GetCaption());
    m_backoff.Reset();
    m_lastFailure.clear();
    SetState(entry ? State::Idle : State::NoChannel,
             entry ? QString() : QStringLiteral("No channel"));
}

void CWallTile::Connect()
{
    m_retryTimer.stop();
    if (!m_entry)
    {
        return;
    }
    // A DVR that failed keeps its reason on the tile while it is tried again, which
    // may take as long as the login reply may.
    SetState(State::Connecting, m_lastFailure.isEmpty()
                                    ? QStringLiteral("Connecting...")
                                    : m_lastFailure + QStringLiteral("\nTrying again..."));
    const DvrEntry& e = *m_entry;
    m_picture.GetClient().Start(
        MakeConnectInfo(e.Name, e.Address, e.Port, e.Channel, e.User, e.Password));
}

// A logout goes out only for a login; a connection still trying is started
// over by the next Connect, which supersedes it.
void CWallTile::Disconnect()
{
    CLogoutBatch logout(&m_messagePump);
    Disconnect(logout);
    logout.WaitUntil(std::chrono::steady_clock::now() + m_logoutWait);
}

void CWallTile::Disconnect(CLogoutBatch& logouts)
{
    Stop(logouts);
    m_picture.GetDisplay().GetHistory().Reset();
}

void CWallTile::Stop(CLogoutBatch& logouts)
{
    m_retryTimer.stop();
    m_picture.GetClient().Stop(logouts);
    if (m_entry)
    {
        SetState(State::Idle, QString());
    }
}

// Stopped first: a frame the receiver stores while the history moves would be lost.
void CWallTile::HandOverTo(CPictureDisplay& view)
{
    CLogoutBatch logout(&m_messagePump);
    Stop(logout);
    logout.WaitUntil(std::chrono::steady_clock::now() + m_logoutWait);
    view.TakeHistoryFrom(m_picture.GetDisplay());
}

void CWallTile::TakeBackFrom(CPictureDisplay& view)
{
    m_picture.GetDisplay().TakeHistoryFrom(view);
}

void CWallTile::SetRecordingText(const QString& text)
{
    m_recordingText = text;
    update();
}

void CWallTile::SetPastText(const QString& text)
{
    m_pastText = text;
    update();
}

void CWallTile::SetSelected(bool selected)
{
    if (m_bSelected != selected)
    {
        m_bSelected = selected;
        update();
    }
}

QString CWallTile::GetCaption() const
{
    if (!m_entry)
    {
        return {};
    }
    return QString::fromStdU16String(m_entry->Name + u" " + ChannelLabel(m_entry->Channel));
}

intptr_t CWallTile::SendMessage(unsigned message, uintptr_t wParam, intptr_t)
{
    switch (message)
    {
    case WM_DVR_CONNECTED:
        m_backoff.Reset();
        m_lastFailure.clear();
        SetState(State::Live, QString());
        break;
    case WM_DVR_CONNECT_FAILED:
        WaitToRetry(Text(IDS_CANT_CONNECT_DVR));
        break;
    case WM_DVR_ERROR:
    {
        const auto code = static_cast<uint8_t>(wParam);
        const QString why = Text(ErrorStringId(code));
        if (code == kUnknownUser || code == kWrongPassword)
        {
            SetState(State::Refused, why);
        }
        else if (code == kNoVideoChannel)
        {
            SetState(State::NoChannel, QStringLiteral("No channel"));
        }
        else
        {
            WaitToRetry(why);
        }
        break;
    }
    default:
        break;
    }
    return 0;
}

void CWallTile::WaitToRetry(const QString& why)
{
    const auto wait = m_backoff.Next();
    const auto seconds = (wait.count() + 999) / 1000;
    m_lastFailure = why;
    SetState(State::WaitingToRetry, why + QStringLiteral("\nRetry in %1 s").arg(seconds));
    m_retryTimer.start(wait);
}

void CWallTile::SetState(State state, const QString& status)
{
    m_state = state;
    m_status = status;
    update();
}

void CWallTile::resizeEvent(QResizeEvent* event)
{
    m_picture.Resize(event->size());
    QWidget::resizeEvent(event);
}

void CWallTile::Paint(QPainter& painter, const QRegion& region)
{
    // The slot goes with a change of layout, before the tile does.
    const bool placed =
        m_nSlot < m_pictures.GetSlotCount() &&
        m_pictures.UsePlaced(
            m_nSlot,
            [&](const PlacedPicture& picture)
            {
                QImage image(reinterpret_cast<const uchar*>(picture.pixels), picture.width,
                             picture.height, static_cast<qsizetype>(picture.stride),
                             QImage::Format_RGB32);
                image.setDevicePixelRatio(devicePixelRatioF());
                const PictureRect& at = picture.placement;
                m_picture.PaintPlaced(
                    painter, region, image,
                    QRect(at.left, at.top, at.right - at.left, at.bottom - at.top));
                if (picture.serial != m_nPaintedSerial)
                {
                    m_nPaintedSerial = picture.serial;
                    ++m_nPaintedPictures;
                }
            });
    if (!placed)
    {
        // Painted as nothing: the wall need not ask for this paint again each tick.
        m_nPaintedSerial = 0;
        painter.fillRect(region.boundingRect(), Qt::black);
        m_picture.PaintPlaced(painter, region, QImage(), QRect());
    }
    const Overlay& overlay = CurrentOverlay();
    const qreal ratio = overlay.pixmap.devicePixelRatio();
    for (const QRect& part : overlay.parts)
    {
        if (region.intersects(part))
        {
            painter.drawPixmap(QRectF(part), overlay.pixmap,
                               QRectF(part.x() * ratio, part.y() * ratio, part.width() * ratio,
                                      part.height() * ratio));
        }
    }
    if (m_bSelected)
    {
        painter.setPen(QPen(kSelectedFrame, 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(1, 1, -1, -1));
    }
    // Over the selection's frame: motion is what the eye is to find.
    if (m_picture.IsMotionShown())
    {
        const QRect inside = rect();
        const QRegion frame =
            QRegion(inside) - QRegion(inside.adjusted(kMotionFrame, kMotionFrame, -kMotionFrame,
                                                      -kMotionFrame));
        for (const QRect& part : frame)
        {
            painter.fillRect(part, QColor(kMotionRed));
        }
    }
}

// What the tile says over its picture changes a few times a minute, its picture up to
// fifty times a second: the words are laid out and blended into a picture of their own
// when they change, and each paint copies only the parts of it that hold them.
const CWallTile::Overlay& CWallTile::CurrentOverlay()
{
    const qreal ratio = devicePixelRatioF();
    if (m_overlay.size == size() && m_overlay.ratio == ratio && m_overlay.status == m_status &&
        m_overlay.caption == m_caption.text() && m_overlay.past == m_pastText &&
        m_overlay.recording == m_recordingText)
    {
        return m_overlay;
    }
    m_overlay.size = size();
    m_overlay.ratio = ratio;
    m_overlay.status = m_status;
    m_overlay.caption = m_caption.text();
    m_overlay.past = m_pastText;
    m_overlay.recording = m_recordingText;
    m_overlay.parts.clear();
    m_overlay.pixmap = QPixmap(size() * ratio);
    m_overlay.pixmap.setDevicePixelRatio(ratio);
    m_overlay.pixmap.fill(Qt::transparent);
    QPainter painter(&m_overlay.pixmap);
    painter.setFont(font());
    painter.setPen(Qt::white);
    if (!m_status.isEmpty())
    {
        const QRect band(0, height() - 2 * kCaptionHeight - 4, width(), 2 * kCaptionHeight + 4);
        painter.fillRect(band, QColor(0, 0, 0, 170));
        painter.drawText(rect().adjusted(4, kCaptionHeight, -4, -4),
                         Qt::AlignHCenter | Qt::AlignBottom | Qt::TextWordWrap, m_status);
        m_overlay.parts.push_back(band);
    }
    if (m_entry)
    {
        const QRect band(0, 0, width(), kCaptionHeight);
        painter.fillRect(band, QColor(0, 0, 0, 140));
        painter.setClipRect(QRect(4, 0, width() - 8, kCaptionHeight));
        painter.drawStaticText(QPointF(4, (kCaptionHeight - fontMetrics().height()) / 2.0),
                               m_caption);
        painter.setClipping(false);
        m_overlay.parts.push_back(band);
    }
    // Antialiased edges reach a pixel beyond the badges' rectangles.
    const QRect past = CLookBackControl::PaintPastText(
        painter, rect().adjusted(0, kCaptionHeight, 0, 0), m_pastText);
    const QRect recording = CClipActions::PaintRecordingMark(painter, rect(), m_recordingText);
    for (const QRect& badge : {past, recording})
    {
        if (!badge.isEmpty())
        {
            m_overlay.parts.push_back(badge.adjusted(-1, -1, 1, 1) & rect());
        }
    }
    return m_overlay;
}

void CWallTile::contextMenuEvent(QContextMenuEvent* event)
{
    if (onMenu)
    {
        onMenu(*this, event->globalPos());
    }
}

void CWallTile::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && onSelect)
    {
        onSelect(*this);
    }
    QWidget::mousePressEvent(event);
}

void CWallTile::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && onOpen)
    {
        onOpen(*this);
    }
}
