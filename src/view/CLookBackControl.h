// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/CLookBack.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class CClipActions;
class CPictureConnection;
class CTimeline;
class QAction;
class QPainter;
class QRect;
class QWidget;

// Looking back in what the single view or a whole wall shows: the Look Back
// items' commands, the timeline along the bottom of the host, and each
// connection's display told which frame of its history to paint. GUI thread.
class CLookBackControl final : public QObject
{
public:
    static constexpr std::chrono::milliseconds kTick{200};

    explicit CLookBackControl(QWidget& host, LookBackClock clock = {});
    ~CLookBackControl() override;

    // In tile order; null for a tile without a camera. Back to live.
    void SetConnections(std::vector<CPictureConnection*> connections);
    // The tile whose frames Previous Frame and Next Frame step through.
    void SetSelected(size_t index);
    // The Pause item, which reads "Play" while paused here and the host is on screen.
    void SetPauseItem(QAction* item);
    // One of the Look Back items; false for any other id.
    bool OnCommand(unsigned id);
    void GoLive() { m_lookBack.GoLive(); }

    CLookBack& GetLookBack() { return m_lookBack; }
    const CLookBack& GetLookBack() const { return m_lookBack; }
    CTimeline& GetTimeline() const { return *m_pTimeline; }
    CClipActions& GetClips() const { return *m_pClips; }
    bool IsLookingBack() const { return !m_lookBack.IsLive(); }
    // The frame a connection paints while looking back; nothing while live or
    // when no frame had arrived by the moment.
    std::optional<HistoryFrameInfo> GetShownFrame(size_t index) const;
    // What a connection's picture says over it while looking back; empty while live.
    QString PastText(size_t index) const;
    // The past's own look over a picture: a badge at the top, never the frozen veil.
    // Where it went.
    static QRect PaintPastText(QPainter& painter, const QRect& area, const QString& text);

    // The frame a connection shows, or what it says about it, has changed.
    std::function<void(size_t index)> onShownChanged;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Apply();
    // To the first moment of the nearest motion after (or before) the moment, on any camera.
    void JumpToMotion(bool forward);
    void UpdateMotionMarks();
    void OnTick();
    void UpdatePauseItem();

    QWidget& m_host;
    CLookBack m_lookBack;
    std::vector<CPictureConnection*> m_connections;
    // What each display was last told: a frame's number, 0 for none at the
    // moment, nothing for live; and the text shown over it.
    std::vector<std::optional<uint64_t>> m_shown;
    std::vector<QString> m_texts;
    CTimeline* m_pTimeline; // a child of the host
    CClipActions* m_pClips; // a child QObject
    QAction* m_pPauseItem = nullptr;
    QTimer m_tick;
};
