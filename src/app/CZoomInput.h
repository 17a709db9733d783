// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "display/CPictureZoom.h"

#include <QLabel>
#include <QObject>
#include <QPointF>
#include <QTimer>

#include <functional>
#include <optional>

class QGestureEvent;

// Turns the user's zoom gestures on the view into the view's CPictureZoom: the
// wheel at the pointer, a drag, a pinch, and Ctrl+= / Ctrl+- / Ctrl+0. The
// factor shows for a moment over the picture after each change.
class CZoomInput : public QObject
{
public:
    static constexpr int kFactorShownMs = 1200;
    // One wheel notch (120) zooms by the fourth root of 2; a key doubles or halves.
    static constexpr double kNotchesPerDoubling = 4;

    // placement: where the picture is painted now, or nothing while none is.
    CZoomInput(QWidget& view, CPictureZoom& zoom,
               std::function<std::optional<PictureRect>()> placement);

    QLabel& FactorLabel() { return m_factorLabel; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ZoomAt(double factor, QPointF at);
    void ZoomAtCentre(double factor);
    void OnGesture(QGestureEvent& event);
    void Changed();

    QWidget& m_view;
    CPictureZoom& m_zoom;
    std::function<std::optional<PictureRect>()> m_placement;
    QLabel m_factorLabel;
    QTimer m_hideFactor;
    std::optional<QPointF> m_dragFrom;
    double m_pinchStartFactor = 1;
    bool m_bPinching = false;
};
