// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CCameraKeys.h"

#include "app/CZentrelView.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QKeyEvent>

#include <utility>

void CCameraKeys::SetView(CZentrelView* view)
{
    if (m_pView != nullptr)
    {
        m_pView->removeEventFilter(this);
        m_pView->SetPanelWaitObserver({});
    }
    m_pView = view;
    m_nHeldKey = 0;
    if (m_pView != nullptr)
    {
        m_pView->installEventFilter(this);
        // The picture has the keys unless the user gives them to a control.
        m_pView->setFocusPolicy(Qt::StrongFocus);
        m_pView->setFocus();
        WatchPanelClicks();
    }
}

// A panel's click waits for its camera action as a key's press does, and the
// input it holds back is stamped inside that wait too.
void CCameraKeys::WatchPanelClicks()
{
    const CPTZPanels* panels = m_pView->GetPTZPanels();
    if (panels == nullptr)
    {
        return;
    }
    for (QWidget* panel : std::initializer_list<QWidget*>{
             panels->Left(), panels->Up(), panels->Right(), panels->Down(), panels->Bar()})
    {
        for (QAbstractButton* button :
             panel != nullptr ? panel->findChildren<QAbstractButton*>() : QList<QAbstractButton*>())
        {
            button->installEventFilter(this);
        }
    }
    m_pView->SetPanelWaitObserver(
        [this](std::chrono::milliseconds took)
        {
            if (m_panelInput != 0)
            {
                m_waitStart = m_panelInput;
                m_waitEnd = m_panelInput + static_cast<quint64>(took.count());
            }
        });
}

bool CCameraKeys::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_pView && event->isInputEvent())
    {
        if (const quint64 stamp = static_cast<const QInputEvent*>(event)->timestamp(); stamp != 0)
        {
            m_panelInput = stamp;
        }
        return false;
    }
    if (watched == m_pView)
    {
        if (event->type() == QEvent::ShortcutOverride &&
            ControlKeepsKey(static_cast<const QKeyEvent&>(*event)))
        {
            event->accept();
            return true;
        }
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)
        {
            return OnKey(static_cast<const QKeyEvent&>(*event));
        }
        // Its release goes elsewhere now: the camera stops here.
        if (event->type() == QEvent::FocusOut && m_nHeldKey != 0)
        {
            Release(0);
        }
    }
    return QObject::eventFilter(watched, event);
}

// A focused button or list keeps Space, which presses or opens it, from the
// Pause shortcut, as it keeps the arrows from the camera.
bool CCameraKeys::ControlKeepsKey(const QKeyEvent& key) const
{
    const QWidget* focus = QApplication::focusWidget();
    return key.key() == Qt::Key_Space && key.modifiers() == Qt::NoModifier && focus != m_pView &&
           (qobject_cast<const QAbstractButton*>(focus) != nullptr ||
            qobject_cast<const QComboBox*>(focus) != nullptr ||
            qobject_cast<const QAbstractItemView*>(focus) != nullptr);
}

bool CCameraKeys::OnKey(const QKeyEvent& key)
{
    const auto found = m_messages.find(key.key());
    if (found == m_messages.end())
    {
        return false;
    }
    if (key.type() == QEvent::KeyRelease)
    {
        if (key.isAutoRepeat() || key.key() != m_nHeldKey)
        {
            return false;
        }
        Release(key.timestamp());
        return true;
    }
    const CPTZPanels* panels = m_pView->GetPTZPanels();
    if (panels == nullptr || !panels->IsShown() ||
        (key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
    {
        return false;
    }
    if (!key.isAutoRepeat() && m_nHeldKey == 0 && !m_bSending && !PressedDuringWait(key))
    {
        m_nHeldKey = key.key();
        m_nHeldMessage = found->second;
        Send(m_nHeldMessage, true, key.timestamp());
        if (std::exchange(m_bStopPending, false))
        {
            Send(m_nHeldMessage, false, 0);
        }
    }
    return true;
}

void CCameraKeys::Release(quint64 timestamp)
{
    m_nHeldKey = 0;
    if (m_bSending)
    {
        m_bStopPending = true; // the move is still waiting; the stop follows it
        return;
    }
    Send(m_nHeldMessage, false, timestamp);
}

// Input waits while a camera request does, and comes after it: a press stamped
// inside that wait is one the user made then.
bool CCameraKeys::PressedDuringWait(const QKeyEvent& key) const
{
    return key.timestamp() != 0 && key.timestamp() >= m_waitStart && key.timestamp() <= m_waitEnd;
}

void CCameraKeys::Send(unsigned message, bool pressed, quint64 timestamp)
{
    QElapsedTimer took;
    took.start();
    m_bSending = true;
    m_pView->SendPTZKey(message, pressed);
    m_bSending = false;
    // Events without a time (0) cannot be placed; the previous wait stands.
    if (timestamp != 0)
    {
        m_waitStart = timestamp;
        m_waitEnd = timestamp + static_cast<quint64>(took.elapsed());
    }
}
