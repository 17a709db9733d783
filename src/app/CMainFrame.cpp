// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CMainFrame.h"

#include "app/CViewerExtras.h"
#include "app/CZentrelView.h"
#include "view/CClipActions.h"
#include "view/CLookBackControl.h"
#include "platform/MessageBox.h"
#include "platform/WindowMessages.h"
#include "protocol/Protocol.h"
#include "res/ResourceIds.h"
#include "res/StringTable.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QTimerEvent>

namespace
{
QString Text(unsigned stringId)
{
    return QString::fromStdU16String(LoadString(stringId));
}

void ShowOk(IMessageBox& messageBox, unsigned stringId)
{
    messageBox.Show(LoadString(stringId), u"", MessageBoxIcon::Exclamation, MessageBoxButtons::Ok);
}
} // namespace

CMainFrame::CMainFrame(IMessageBox& messageBox, QWidget* parent)
    : QMainWindow(parent), m_messageBox(messageBox)
{
    setObjectName(QStringLiteral("mainframe"));
    setWindowTitle(Text(IDS_APP_TITLE));
    m_pExtras = new CViewerExtras(*this, m_messageBox);
    OnCreate();
}

CMainFrame::~CMainFrame()
{
    KillAutoCloseTimer();
    // The view and its client go first, while the frame that hears the
    // client's notifications is still whole.
    m_pExtras->SetView(nullptr);
    delete m_pView;
    m_pView = nullptr;
}

void CMainFrame::SetView(CZentrelView* view)
{
    m_pView = view;
    setCentralWidget(view);
    m_pExtras->SetView(view);
    if (view != nullptr)
    {
        view->GetLookBack().SetPauseItem(FindAction(ID_LOOKBACK_PAUSE));
        view->GetLookBack().GetClips().SetRecordItem(FindAction(ID_LOOKBACK_RECORD));
        view->GetLookBack().GetClips().SetMessageBox(&m_messageBox);
    }
    UpdateCommandUI();
}

// The two soft keys: "Exit" on the left, the "Menu" pop-up on the right.
void CMainFrame::OnCreate()
{
    QMenuBar* bar = menuBar();
    bar->setNativeMenuBar(false);
    QAction* exit = bar->addAction(Text(IDS_SOFTKEY_EXIT));
    exit->setObjectName(QStringLiteral("id%1").arg(ID_EXIT));
    exit->setStatusTip(Text(ID_EXIT));
    connect(exit, &QAction::triggered, this, [this] { OnExit(); });
    m_actions[ID_EXIT] = exit;

    QMenu* popup = bar->addMenu(Text(IDS_SOFTKEY_MENU));
    popup->setObjectName(QStringLiteral("id%1").arg(ID_SOFTKEY_MENU));
    AddMenuItems(*popup, MainMenuPopup());
}

void CMainFrame::AddMenuItems(QMenu& menu, std::span<const MenuItemTemplate> items)
{
    connect(&menu, &QMenu::aboutToShow, this, [this] { UpdateCommandUI(); });
    for (const MenuItemTemplate& item : items)
    {
        const QString text = QString::fromStdU16String(item.text);
        if (!item.popup.empty())
        {
            AddMenuItems(*menu.addMenu(text), item.popup);
            continue;
        }
        QAction* action = menu.addAction(text);
        action->setObjectName(QStringLiteral("id%1").arg(item.id));
        action->setStatusTip(Text(item.id));
        const unsigned id = item.id;
        connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
        m_actions[id] = action;
        if (item.shortcut != nullptr)
        {
            action->setShortcuts(
                QKeySequence::listFromString(QString::fromStdU16String(item.shortcut)));
            // The frame holds it too, so the key works while the menu bar is hidden.
            addAction(action);
        }
    }
}

QAction* CMainFrame::FindAction(unsigned id) const
{
    const auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}

// Commands go to the view first, as its menu items are the view's; the channel
// items are the frame's own.
void CMainFrame::OnCommand(unsigned id)
{
    if (id >= ID_CHANNEL_FIRST && id <= ID_CHANNEL_LAST)
    {
        OnChannel(static_cast<int>(id - ID_CHANNEL_FIRST));
    }
    else if (IsLookBackCommand(id) && m_pView != nullptr)
    {
        m_pView->OnLookBack(id);
    }
    else if (m_pView != nullptr)
    {
        switch (id)
        {
        case ID_CONNECT:
            m_pView->OnConnect();
            break;
        case ID_DISCONNECT:
            m_pView->OnDisconnect();
            break;
        case ID_DVR_INFORMATION:
            m_pView->OnDVRInformation();
            break;
        case ID_PTZ_CONTROL:
            m_pView->OnPTZControl();
            break;
        default:
            m_pExtras->OnCommand(id);
            break;
        }
    }
    UpdateCommandUI();
}

void CMainFrame::UpdateCommandUI()
{
    if (m_pView == nullptr)
    {
        return;
    }
    m_pView->OnUpdateConnect(*FindAction(ID_CONNECT));
    m_pView->OnUpdateConnected(*FindAction(ID_DISCONNECT));
    m_pView->OnUpdateConnected(*FindAction(ID_DVR_INFORMATION));
    m_pView->OnUpdatePTZControl(*FindAction(ID_PTZ_CONTROL));
    m_pView->UpdateConnectHint();
    for (unsigned id = ID_CHANNEL_FIRST; id <= ID_CHANNEL_LAST; ++id)
    {
        OnUpdateChannel(*FindAction(id), static_cast<int>(id - ID_CHANNEL_FIRST));
    }
    m_pExtras->UpdateCommandUI();
}

void CMainFrame::OnChannel(int channel)
{
    // The mark moves at once; the DVR answers the switch in its own time.
    m_nChannel = channel;
    UpdateCommandUI();
    m_pView->SetChannel(channel);
}

void CMainFrame::OnUpdateChannel(QAction& item, int channel)
{
    item.setCheckable(true);
    item.setChecked(channel == m_nChannel);
    m_pView->UpdateChannelItem(item, channel);
}

void CMainFrame::OnExit()
{
    KillAutoCloseTimer();
    close();
}

intptr_t CMainFrame::SendMessage(unsigned message, uintptr_t wParam, intptr_t)
{
    intptr_t result = 0;
    if (m_pView != nullptr && (message == WM_DVR_CONNECTED || message == WM_DVR_CONNECT_FAILED ||
                               message == WM_DVR_ERROR))
    {
        m_pView->OnConnectionAnswered();
    }
    switch (message)
    {
    case WM_DVR_CONNECTED:
        result = OnDvrConnected();
        break;
    case WM_DVR_CONNECT_FAILED:
        result = OnDvrConnectFailed();
        break;
    case WM_DVR_ERROR:
        result = OnDvrError(wParam);
        break;
    default:
        break;
    }
    UpdateCommandUI();
    return result;
}

intptr_t CMainFrame::OnDvrConnected()
{
    m_nChannel = m_pView->GetChannel();
    KillAutoCloseTimer();
    UpdateCommandUI();
    return 0;
}

// The box waits for the user at most the auto-close delay; then the timer
// closes it and the same DVR is tried again.
intptr_t CMainFrame::OnDvrConnectFailed()
{
    KillAutoCloseTimer();
    m_nTimerID = startTimer(m_autoCloseDelay);
    UpdateCommandUI();
    ShowOk(m_messageBox, IDS_CANT_CONNECT_DVR);
    KillAutoCloseTimer();
    return 0;
}

intptr_t CMainFrame::OnDvrError(uintptr_t code)
{
    KillAutoCloseTimer();
    UpdateCommandUI();
    ShowOk(m_messageBox, ErrorStringId(static_cast<uint8_t>(code)));
    return 0;
}

void CMainFrame::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == m_nTimerID && m_nTimerID != 0)
    {
        KillAutoCloseTimer();
        // A box the user has answered in the meantime means no new attempt.
        const bool unanswered = CloseConnectFailedBox();
        update();
        if (m_pView != nullptr && unanswered)
        {
            m_pView->update();
            m_pView->ReconnectIfIdle();
        }
    }
    QMainWindow::timerEvent(event);
}

void CMainFrame::KillAutoCloseTimer()
{
    if (m_nTimerID != 0)
    {
        killTimer(m_nTimerID);
        m_nTimerID = 0;
    }
}

// "Can't connect the DVR." answers OK, as if the user had; a dialog the user
// opened over it stays. Only one such box is open at a time: the client waits on it.
bool CMainFrame::CloseConnectFailedBox()
{
    const QString text = Text(IDS_CANT_CONNECT_DVR);
    for (QWidget* widget : QApplication::topLevelWidgets())
    {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (box != nullptr && box->isVisible() && box->text() == text)
        {
            box->close();
            return true;
        }
    }
    return false;
}

// Closing ends the program, also from inside a box of a notification: the boxes
// close, the connection ends, and the handler below returns once its box has.
void CMainFrame::closeEvent(QCloseEvent* event)
{
    // A close that comes inside a command's wait: the command ends first.
    if (m_pView != nullptr && m_pView->DeferClose())
    {
        event->ignore();
        return;
    }
    KillAutoCloseTimer();
    while (QWidget* box = QApplication::activeModalWidget())
    {
        if (!box->close())
        {
            break;
        }
    }
    if (m_pView != nullptr)
    {
        m_pView->OnDestroy();
    }
    event->accept();
}
