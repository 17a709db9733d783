// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/CLookBack.h"

#include <QColor>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <functional>
#include <optional>
#include <vector>

class QPainter;
class QPushButton;

// The bar along the bottom of the picture (the single view's or the whole
// wall's) that spans what the histories keep, up to now: clock times, a handle
// at the moment shown and "Live" at its right end. A click or a drag seeks.
// It shows while looking back, while the pointer is near the bottom edge and
// for a while after a tap; the parent's events tell it.
class CTimeline final : public QWidget
{
public:
    // A stretch of the span drawn in its colour over the track.
    struct Mark
    {
        CLookBack::SteadyTime from;
        CLookBack::SteadyTime to;
        QColor colour;
    };

    static constexpr int kHeight = 40;
    static constexpr int kNearBottom = 60;
    static constexpr std::chrono::milliseconds kShownAfterTap{4000};

    CTimeline(CLookBack& lookBack, QWidget& parent);
    ~CTimeline() override;

    void SetMarks(std::vector<Mark> marks);
    // When the cameras showed motion, drawn over what has been played.
    void SetMotionMarks(std::vector<Mark> marks);
    const std::vector<Mark>& GetMotionMarks() const { return m_motionMarks; }
    // Reads the look-back again: the span, the handle, the colour of "Live".
    void Refresh();

    QPushButton& GetLiveButton() const { return *m_pLive; }
    // The moment shown as the labels write it: "14:03:12".
    QString MomentText() const;
    static QString ClockText(CLookBack::ClockTime when);
    // Where a moment lies on the track, in the timeline's coordinates, and back.
    int PositionOf(CLookBack::SteadyTime when) const;
    CLookBack::SteadyTime TimeAt(int x) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QRect Track() const;
    void PaintMarks(QPainter& painter, const QRect& track, const std::vector<Mark>& marks) const;
    void ReadSpan();
    void Place();
    void UpdateShown();

    CLookBack& m_lookBack;
    QWidget& m_parent;
    QPushButton* m_pLive; // a child
    std::vector<Mark> m_marks;
    std::vector<Mark> m_motionMarks;
    CLookBack::Span m_span{};
    bool m_bHasSpan = false;
    bool m_bPointerNear = false;
    std::optional<bool> m_liveStyled;
    QTimer m_tapTimer;
};
