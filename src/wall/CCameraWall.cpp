// SPDX-License-Identifier: GPL-3.0-or-later
#include "wall/CCameraWall.h"

#include "net/CLogoutBatch.h"
#include "view/CClipActions.h"
#include "view/CLookBackControl.h"
#include "view/CTimeline.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

namespace
{
constexpr int kTileGap = 2;
constexpr double kUsualRefreshRate = 60;

// A picture painted between two refreshes of the screen is never seen.
std::chrono::milliseconds RefreshInterval(const QWidget& widget)
{
    const QScreen* screen = widget.screen();
    const double rate =
        screen != nullptr && screen->refreshRate() > 1 ? screen->refreshRate() : kUsualRefreshRate;
    return std::chrono::milliseconds(std::clamp(static_cast<int>(std::lround(1000 / rate)), 8, 40));
}

bool SameCamera(const std::optional<DvrEntry>& a, const std::optional<DvrEntry>& b)
{
    if (!a || !b)
    {
        return !a && !b;
    }
    return a->Name == b->Name && a->Address == b->Address && a->Port == b->Port &&
           a->Channel == b->Channel && a->User == b->User && a->Password == b->Password;
}
} // namespace

CCameraWall::CCameraWall(IMessagePump& messagePump, const WallSettings& settings, QWidget* parent)
    : QWidget(parent), m_messagePump(messagePump), m_settings(settings),
      m_pGrid(new QGridLayout(this)), m_pLookBack(new CLookBackControl(*this))
{
    m_pLookBack->onShownChanged = [this](size_t index)
    {
        if (index < m_tiles.size())
        {
            m_tiles[index]->SetPastText(m_pLookBack->PastText(index));
        }
    };
    m_pLookBack->GetClips().onRecordingChanged = [this](size_t index)
    {
        if (index < m_tiles.size())
        {
            m_tiles[index]->SetRecordingText(m_pLookBack->GetClips().RecordingText(index));
        }
    };
    connect(&m_repaintTick, &QTimer::timeout, this, [this] { RepaintNewPictures(); });
    setObjectName(QStringLiteral("wall"));
    // Every pixel is painted in one pass: the tiles' pictures and the gaps between them.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    m_pGrid->setContentsMargins(0, 0, 0, 0);
    m_pGrid->setSpacing(kTileGap);
}

CCameraWall::~CCameraWall()
{
    m_pLookBack->GetClips().CancelSave();
    m_decoders.Stop();
    DisconnectAll();
}

void CCameraWall::SetTiles(int columns, const std::vector<std::optional<DvrEntry>>& cameras)
{
    // No recorder reads a tile's history while the tiles change; the new set records anew.
    m_pLookBack->GetClips().Suspend();
    m_pLookBack->GetClips().CancelSave();
    const auto count = static_cast<size_t>(columns * columns);
    m_decoders.Stop();
    // The tiles that lose their camera log out together before any is changed.
    {
        CLogoutBatch logouts(&m_messagePump);
        for (size_t i = 0; i < m_tiles.size(); ++i)
        {
            if (i >= count ||
                !SameCamera(m_tiles[i]->GetEntry(), i < cameras.size() ? cameras[i] : std::nullopt))
            {
                m_tiles[i]->Disconnect(logouts);
            }
        }
        logouts.WaitUntil(std::chrono::steady_clock::now() + m_settings.logoutWait);
    }
    while (m_tiles.size() > count)
    {
        m_tiles.pop_back();
    }
    for (size_t i = 0; i < count; ++i)
    {
        const std::optional<DvrEntry> camera = i < cameras.size() ? cameras[i] : std::nullopt;
        if (i < m_tiles.size())
        {
            if (SameCamera(m_tiles[i]->GetEntry(), camera))
            {
                continue;
            }
            m_tiles[i]->Assign(camera);
        }
        else
        {
            auto tile = std::make_unique<CWallTile>(m_messagePump, m_settings, m_decoders, i, this);
            tile->onSelect = [this](CWallTile& t) { Select(IndexOf(t)); };
            tile->onOpen = [this](CWallTile& t)
            {
                Select(IndexOf(t));
                if (onOpen)
                {
                    onOpen(IndexOf(t));
                }
            };
            tile->onMenu = [this](CWallTile& t, const QPoint& at)
            {
                Select(IndexOf(t));
                if (onTileMenu)
                {
                    onTileMenu(IndexOf(t), at);
                }
            };
            tile->Assign(camera);
            m_tiles.push_back(std::move(tile));
        }
    }
    // Every tile the same share of the window, whatever its contents.
    for (int i = 0; i < 4; ++i)
    {
        m_pGrid->setColumnStretch(i, i < columns ? 1 : 0);
        m_pGrid->setRowStretch(i, i < columns ? 1 : 0);
    }
    for (size_t i = 0; i < m_tiles.size(); ++i)
    {
        m_pGrid->addWidget(m_tiles[i].get(), static_cast<int>(i) / columns,
                           static_cast<int>(i) % columns);
        m_tiles[i]->show();
    }
    m_nColumns = columns;
    m_decoders.Start(m_tiles.size(), std::max(1u, std::thread::hardware_concurrency()));
    std::vector<CPictureConnection*> connections;
    for (const auto& tile : m_tiles)
    {
        connections.push_back(tile->GetEntry() ? &tile->GetPictureConnection() : nullptr);
    }
    // A new set of cameras is watched live.
    m_pLookBack->SetConnections(std::move(connections));
    m_pLookBack->GetTimeline().raise();
    Select(std::min(m_nSelected, static_cast<int>(count) - 1));
    SetShown(m_bShown);
    ConnectAll();
}

void CCameraWall::DisconnectAll()
{
    m_pLookBack->GetClips().SetRecording(false);
    CLogoutBatch logouts(&m_messagePump);
    for (const auto& tile : m_tiles)
    {
        tile->Disconnect(logouts);
    }
    logouts.WaitUntil(std::chrono::steady_clock::now() + m_settings.logoutWait);
}

void CCameraWall::ConnectAll()
{
    for (const auto& tile : m_tiles)
    {
        if (tile->GetState() == CWallTile::State::Idle)
        {
            tile->Connect();
        }
    }
}

void CCameraWall::SetShown(bool shown)
{
    m_bShown = shown;
    StartOrStopTick();
}

// Frames only mark their tiles. The tick hands each tile's newest frame, or its
// frame of the moment looked back at, to the workers and repaints, in one pass of
// the window, the tiles whose picture they have placed since or whose age
// changed. A window nobody sees decodes nothing.
void CCameraWall::RepaintNewPictures()
{
    const bool exposed = IsExposed();
    for (size_t i = 0; i < m_tiles.size() && i < m_decoders.GetSlotCount(); ++i)
    {
        CWallTile& tile = *m_tiles[i];
        CPictureConnection& picture = tile.GetPictureConnection();
        CPictureDisplay& display = picture.GetDisplay();
        // A frame that came while nobody saw the wall is still the newest when it shows again.
        DecodeTarget target{tile.width(), tile.height(), tile.devicePixelRatioF(),
                            m_settings.scaledDecoding};
        if (exposed && display.TakeNewestJpeg(m_handOver, &target))
        {
            m_decoders.Submit(i, m_handOver, target);
        }
        // Looking back at a moment the tile has no frame for shows no picture.
        const bool nothing =
            !display.HasFrame() || (display.IsShowingPast() && !display.GetShownPast());
        if (nothing && m_decoders.GetSerial(i) != 0)
        {
            m_decoders.Forget(i);
            tile.update();
        }
        if (m_decoders.GetSerial(i) != tile.GetPaintedSerial() || picture.AgeChanged())
        {
            tile.update();
        }
    }
}

bool CCameraWall::IsExposed() const
{
    const QWidget* frame = window();
    return isVisible() && !frame->isMinimized() &&
           (frame->windowHandle() == nullptr || frame->windowHandle()->isExposed());
}

void CCameraWall::StartOrStopTick()
{
    const bool cameras = std::any_of(m_tiles.begin(), m_tiles.end(),
                                     [](const auto& tile) { return tile->GetEntry().has_value(); });
    if (!m_bShown || !cameras)
    {
        m_repaintTick.stop();
    }
    else if (!m_repaintTick.isActive())
    {
        m_repaintTick.start(RefreshInterval(*this));
    }
}

void CCameraWall::Select(int index)
{
    m_nSelected = std::max(index, 0);
    m_pLookBack->SetSelected(static_cast<size_t>(m_nSelected));
    for (size_t i = 0; i < m_tiles.size(); ++i)
    {
        m_tiles[i]->SetSelected(static_cast<int>(i) == m_nSelected);
    }
}

int CCameraWall::GetPaintedPictures() const
{
    int painted = 0;
    for (const auto& tile : m_tiles)
    {
        painted += tile->GetPaintedPictures();
    }
    return painted;
}

bool CCameraWall::IsAnyTileLive() const
{
    return isVisible() && std::any_of(m_tiles.begin(), m_tiles.end(),
                                      [](const auto& tile) { return tile->IsLive(); });
}

int CCameraWall::IndexOf(const CWallTile& tile) const
{
    const auto it = std::find_if(m_tiles.begin(), m_tiles.end(),
                                 [&](const auto& t) { return t.get() == &tile; });
    return static_cast<int>(it - m_tiles.begin());
}

// Arrows move the selection, Enter opens it.
void CCameraWall::keyPressEvent(QKeyEvent* event)
{
    const int count = GetTileCount();
    if (count == 0)
    {
        QWidget::keyPressEvent(event);
        return;
    }
    switch (event->key())
    {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (onOpen)
        {
            onOpen(m_nSelected);
        }
        return;
    case Qt::Key_Left:
        Select((m_nSelected + count - 1) % count);
        return;
    case Qt::Key_Right:
        Select((m_nSelected + 1) % count);
        return;
    case Qt::Key_Up:
        Select((m_nSelected + count - m_nColumns) % count);
        return;
    case Qt::Key_Down:
        Select((m_nSelected + m_nColumns) % count);
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

// One painter for every tile whose picture or words changed since the last pass; the
// tiles are widgets for the pointer and the keys only.
void CCameraWall::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    QRegion gaps = event->region();
    for (const auto& tile : m_tiles)
    {
        const QRect at = tile->geometry();
        if (!tile->isVisible() || !event->region().intersects(at))
        {
            continue;
        }
        gaps -= at;
        painter.save();
        painter.translate(at.topLeft());
        painter.setClipRect(tile->rect());
        tile->Paint(painter, event->region().translated(-at.topLeft()) & tile->rect());
        painter.restore();
    }
    for (const QRect& gap : gaps)
    {
        painter.fillRect(gap, Qt::black);
    }
}

void CCameraWall::showEvent(QShowEvent* event)
{
    SetShown(true);
    QWidget::showEvent(event);
}

void CCameraWall::hideEvent(QHideEvent* event)
{
    SetShown(false);
    QWidget::hideEvent(event);
}
