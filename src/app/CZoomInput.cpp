// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CZoomInput.h"

#include <QGestureEvent>
#include <QMouseEvent>
#include <QPinchGesture>
#include <QShortcut>
#include <QTouchEvent>
#include <QWheelEvent>

#include <cmath>

CZoomInput::CZoomInput(QWidget& view, CPictureZoom& zoom,
                       std::function<std::optional<PictureRect>()> placement)
    : QObject(&view), m_view(view), m_zoom(zoom), m_placement(std::move(placement)),
      m_factorLabel(&view)
{
    m_factorLabel.setObjectName(QStringLiteral("zoomFactor"));
    m_factorLabel.setStyleSheet(QStringLiteral("QLabel { background: rgba(0, 0, 0, 160); "
                                               "color: white; padding: 2px 6px; }"));
    m_factorLabel.setAttribute(Qt::WA_TransparentForMouseEvents);
    m_factorLabel.hide();
    m_hideFactor.setSingleShot(true);
    connect(&m_hideFactor, &QTimer::timeout, &m_factorLabel, &QLabel::hide);

    const auto addKey = [this](const QKeySequence& key, std::function<void()> act)
    {
        auto* shortcut = new QShortcut(key, &m_view);
        connect(shortcut, &QShortcut::activated, this, std::move(act));
    };
    for (const auto& key :
         {QKeySequence(Qt::CTRL | Qt::Key_Equal), QKeySequence(Qt::CTRL | Qt::Key_Plus)})
    {
        addKey(key, [this] { ZoomAtCentre(m_zoom.Factor() * 2); });
    }
    addKey(QKeySequence(Qt::CTRL | Qt::Key_Minus), [this] { ZoomAtCentre(m_zoom.Factor() / 2); });
    addKey(QKeySequence(Qt::CTRL | Qt::Key_0), [this] { ZoomAtCentre(CPictureZoom::kMinFactor); });

    m_view.grabGesture(Qt::PinchGesture);
    m_view.installEventFilter(this);
}

bool CZoomInput::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != &m_view)
    {
        return QObject::eventFilter(watched, event);
    }
    switch (event->type())
    {
    case QEvent::Wheel:
    {
        auto& wheel = static_cast<QWheelEvent&>(*event);
        const double notches = wheel.angleDelta().y() / 120.0;
        ZoomAt(m_zoom.Factor() * std::exp2(notches / kNotchesPerDoubling), wheel.position());
        return true;
    }
    case QEvent::MouseButtonPress:
    {
        auto& mouse = static_cast<QMouseEvent&>(*event);
        if (mouse.button() == Qt::LeftButton)
        {
            m_dragFrom = mouse.position();
        }
        break;
    }
    case QEvent::MouseMove:
    {
        auto& mouse = static_cast<QMouseEvent&>(*event);
        const auto placement = m_placement();
        if (m_dragFrom && (mouse.buttons() & Qt::LeftButton) && placement && m_zoom.IsZoomed() &&
            !m_bPinching)
        {
            const QPointF moved = mouse.position() - *m_dragFrom;
            m_dragFrom = mouse.position();
            m_zoom.PanBy(moved.x(), moved.y(), *placement);
            m_view.update();
            return true;
        }
        break;
    }
    case QEvent::MouseButtonRelease:
        m_dragFrom.reset();
        break;
    // The first finger also moves the mouse Qt makes of it; while two are down the pinch
    // alone moves the picture.
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
        m_bPinching = m_bPinching || static_cast<QTouchEvent&>(*event).points().size() > 1;
        break;
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
        m_bPinching = false;
        break;
    case QEvent::Gesture:
        OnGesture(static_cast<QGestureEvent&>(*event));
        return true;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

// Two fingers zoom about their centre and move the picture with it.
void CZoomInput::OnGesture(QGestureEvent& event)
{
    auto* pinch = static_cast<QPinchGesture*>(event.gesture(Qt::PinchGesture));
    if (pinch == nullptr)
    {
        return;
    }
    event.accept(pinch);
    const auto placement = m_placement();
    if (!placement)
    {
        return;
    }
    if (pinch->state() == Qt::GestureStarted)
    {
        m_pinchStartFactor = m_zoom.Factor();
    }
    else if (pinch->changeFlags() & QPinchGesture::CenterPointChanged)
    {
        const QPointF moved = pinch->centerPoint() - pinch->lastCenterPoint();
        m_zoom.PanBy(moved.x(), moved.y(), *placement);
    }
    const QPointF centre = m_view.mapFromGlobal(pinch->centerPoint());
    ZoomAt(m_pinchStartFactor * pinch->totalScaleFactor(), centre);
}

void CZoomInput::ZoomAt(double factor, QPointF at)
{
    if (const auto placement = m_placement())
    {
        m_zoom.ZoomAt(factor, at.x(), at.y(), *placement);
        Changed();
    }
}

void CZoomInput::ZoomAtCentre(double factor)
{
    if (const auto placement = m_placement())
    {
        ZoomAt(factor, QPointF((placement->left + placement->right) / 2.0,
                               (placement->top + placement->bottom) / 2.0));
    }
}

void CZoomInput::Changed()
{
    m_factorLabel.setText(QStringLiteral("%1\u00d7").arg(m_zoom.Factor(), 0, 'f', 1));
    m_factorLabel.adjustSize();
    m_factorLabel.move((m_view.width() - m_factorLabel.width()) / 2, 8);
    m_factorLabel.show();
    m_factorLabel.raise();
    m_hideFactor.start(kFactorShownMs);
    m_view.update();
}
