// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CZentrelView.h"

#include "app/CConnectHint.h"
#include "app/CZoomInput.h"
#include "directory/CConnectDlg.h"
#include "directory/CDVRInformation.h"
#include "directory/DvrDirectory.h"
#include "platform/HandOver.h"
#include "platform/SilentMessageBox.h"
#include "ptz/PTZCommand.h"
#include "res/MenuTemplate.h"
#include "res/ResourceIds.h"
#include "view/CClipActions.h"
#include "view/CLookBackControl.h"
#include "view/IMenuItems.h"

#include <QAction>
#include <QElapsedTimer>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>

CZentrelView* g_pView = nullptr;

CZentrelView::CZentrelView(const Services& services, QWidget* parent)
    : QWidget(parent), m_messageBox(services.messageBox), m_directoryFile(services.directoryFile),
      m_picture(*this,
                CPictureConnection::Services{services.notifyWindow, services.messageBox,
                                             services.messagePump, services.busyCursor,
                                             services.timeouts, services.historyBudget},
                CPictureConnection::AgeWording::Long, services.pictureAge),
      m_client(m_picture.GetClient())
{
    setObjectName(QStringLiteral("view"));
    // Before a picture and beside it the window shows its background, dark as a
    // monitor's. paintEvent fills it itself, only where the picture is not.
    QPalette background = palette();
    background.setColor(QPalette::Window, Qt::black);
    setPalette(background);
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_pPTZPanels = std::make_unique<CPTZPanels>(*this, *this);
    m_pZoomInput = new CZoomInput(*this, m_zoom,
                                  [this]() -> std::optional<PictureRect>
                                  {
                                      std::optional<PictureRect> shown;
                                      if (m_client.IsLoggedIn())
                                      {
                                          m_client.GetPictureDisplay().PaintCommitted(
                                              [&](const CJpegDecoder&, const PictureRect& where)
                                              { shown = where; });
                                      }
                                      return shown;
                                  });
    // As Menu > Connect > Connect, through the frame's item, so the menu follows.
    m_pConnectHint =
        new CConnectHint(*this,
                         [this]
                         {
                             auto* items = dynamic_cast<IMenuItems*>(window());
                             if (QAction* connect = items ? items->FindAction(ID_CONNECT) : nullptr)
                             {
                                 connect->trigger();
                             }
                         });
    m_pConnectHint->lower();
    m_pLookBack = new CLookBackControl(*this);
    m_pLookBack->SetConnections({&m_picture});
    m_pLookBack->onShownChanged = [this](size_t) { update(); };
    m_pLookBack->GetClips().onRecordingChanged = [this](size_t) { update(); };
    UpdateConnectHint();
    g_pView = this;
}

CZentrelView::~CZentrelView()
{
    OnDestroy();
}

void CZentrelView::OnDestroy()
{
    m_pLookBack->GetClips().SetRecording(false);
    m_pLookBack->GetClips().CancelSave();
    m_client.Disconnect();
    if (m_pPTZPanels)
    {
        m_pPTZPanels->DestroyPanels();
        m_pPTZPanels.reset();
    }
}

bool CZentrelView::DeferClose()
{
    if (m_nCommandDepth == 0)
    {
        return false;
    }
    m_bClosePending = true;
    return true;
}

// Posted: the handler that gave the command is still on the stack.
void CZentrelView::EndCommand()
{
    if (--m_nCommandDepth == 0 && std::exchange(m_bClosePending, false))
    {
        QWidget* frame = window();
        QMetaObject::invokeMethod(
            frame, [frame] { frame->close(); }, Qt::QueuedConnection);
    }
}

void CZentrelView::OnConnect()
{
    m_client.PauseReceiver();
    CConnectDlg dialog(m_directoryFile, m_messageBox, window(), {}, m_pPasswords);
    const int result = dialog.DoModal();
    m_client.ResumeReceiver();
    if (result == QDialog::Accepted && dialog.IsConnectRequested())
    {
        ConnectTo(dialog.Result());
    }
}

void CZentrelView::ConnectTo(const DvrEntry& entry)
{
    BeginCommand();
    m_pLookBack->GoLive();
    m_client.Disconnect();
    m_zoom.Reset();
    update();
    m_connectInfo = MakeConnectInfo(entry.Name, entry.Address, entry.Port, entry.Channel,
                                    entry.User, entry.Password);
    m_nChannel = entry.Channel;
    m_bAwaitingAnswer = true;
    m_client.Start(m_connectInfo);
    UpdateConnectHint();
    EndCommand();
}

void CZentrelView::OnDisconnect()
{
    BeginCommand();
    m_pLookBack->GoLive();
    m_pLookBack->GetClips().SetRecording(false);
    m_client.Disconnect();
    // Done with the camera: its history's memory goes back to the others.
    m_client.GetPictureDisplay().GetHistory().Reset();
    m_zoom.Reset();
    update();
    UpdateConnectHint();
    EndCommand();
}

void CZentrelView::OnDVRInformation()
{
    m_client.PauseReceiver();
    m_connectInfo.ChannelMask = ChannelMaskFromIndex(m_nChannel);
    CDVRInformation dialog(window());
    dialog.SetInfo(m_connectInfo);
    dialog.DoModal();
    m_client.ResumeReceiver();
}

void CZentrelView::OnPTZControl()
{
    if (!m_pPTZPanels)
    {
        return;
    }
    if (m_pPTZPanels->IsShown())
    {
        m_pPTZPanels->HidePanels();
        return;
    }
    m_pPTZPanels->ShowPanels(m_client.GetPictureRect(), width(), height());
}

void CZentrelView::SendPTZCommand(int code, bool recall)
{
    if (!m_pPTZPanels)
    {
        return;
    }
    const auto requests =
        PTZActionRequests(code, recall, m_pPTZPanels->GetSpeed(), m_pPTZPanels->GetPreset());
    QElapsedTimer took;
    took.start();
    BeginCommand();
    // The camera moves now: what it shows now is what the user wants to see.
    m_pLookBack->GoLive();
    m_client.SendPTZRequests(requests);
    EndCommand();
    if (m_panelWaitObserver)
    {
        m_panelWaitObserver(std::chrono::milliseconds(took.elapsed()));
    }
}

// The receiver is held only for each request, so the picture stays live while the key is.
void CZentrelView::SendPTZKey(unsigned message, bool pressed)
{
    const auto action = PTZActionOfMessage(message);
    if (!m_pPTZPanels || !action)
    {
        return;
    }
    const auto requests = PTZActionRequests(action->code, action->recall, m_pPTZPanels->GetSpeed(),
                                            m_pPTZPanels->GetPreset());
    if (requests.size() != 2)
    {
        return;
    }
    BeginCommand();
    m_pLookBack->GoLive();
    m_client.SendPTZRequests({pressed ? requests.front() : requests.back()});
    EndCommand();
}

intptr_t CZentrelView::SendMessage(unsigned message, uintptr_t, intptr_t)
{
    if (const auto action = PTZActionOfMessage(message))
    {
        SendPTZCommand(action->code, action->recall);
    }
    return 0;
}

bool CZentrelView::IsPictureLive() const
{
    return isVisible() && m_client.IsLoggedIn() && m_bPictureShown && !m_picture.GetShownAge() &&
           !m_pLookBack->IsLookingBack();
}

// While the wall is on screen its own look-back has the items.
void CZentrelView::OnLookBack(unsigned id)
{
    if (isVisible())
    {
        m_pLookBack->OnCommand(id);
    }
}

void CZentrelView::OnUpdateConnect(QAction&) {}

void CZentrelView::OnUpdateConnected(QAction& item)
{
    item.setEnabled(m_client.IsLoggedIn());
}

void CZentrelView::OnUpdatePTZControl(QAction& item)
{
    item.setEnabled(m_client.IsLoggedIn());
    const bool shown = m_pPTZPanels && m_pPTZPanels->IsShown();
    item.setText(QString::fromStdU16String(shown ? kClosePtzText : kPtzControlText));
}

void CZentrelView::SetChannel(int channel)
{
    BeginCommand();
    m_pLookBack->GoLive();
    m_nChannel = channel;
    m_zoom.Reset();
    m_client.SelectChannel(channel);
    EndCommand();
}

void CZentrelView::UpdateChannelItem(QAction& item, int channel)
{
    item.setEnabled(m_client.IsLoggedIn() && m_client.HasChannel(channel));
}

void CZentrelView::ReconnectIfIdle()
{
    if (!m_client.IsLoggedIn())
    {
        // The channel on view, which the frame ticks, not the one chosen at Connect.
        m_connectInfo.ChannelMask = ChannelMaskFromIndex(m_nChannel);
        m_bAwaitingAnswer = true;
        m_client.Start(m_connectInfo);
        UpdateConnectHint();
    }
}

void CZentrelView::OnConnectionAnswered()
{
    m_bAwaitingAnswer = false;
    UpdateConnectHint();
}

// A connection under way, or one the wall stopped without a word, decides by the client.
void CZentrelView::UpdateConnectHint()
{
    const bool empty = !m_client.IsLoggedIn() && !(m_bAwaitingAnswer && m_client.IsStarted());
    if (empty)
    {
        DvrRowList rows;
        SilentMessageBox quiet;
        LoadDirectory(rows, m_directoryFile, quiet);
        m_pConnectHint->SetDirectoryEmpty(rows.Rows.empty());
    }
    m_pConnectHint->setVisible(empty);
}

void CZentrelView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    UpdateConnectHint();
}

void CZentrelView::resizeEvent(QResizeEvent* event)
{
    m_picture.Resize(event->size());
    QWidget::resizeEvent(event);
    m_pConnectHint->setGeometry(rect());
    if (m_pPTZPanels && m_pPTZPanels->IsShown())
    {
        m_pPTZPanels->LayoutPanels(m_client.GetPictureRect(), event->size().width(),
                                   event->size().height());
    }
}

void CZentrelView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    QRegion uncovered = event->region();
    const QRect picture =
        m_client.IsLoggedIn() ? m_picture.Paint(painter, event->region(), &m_zoom) : QRect();
    uncovered -= picture;
    const bool painted = !picture.isEmpty();
    m_bPictureShown = painted;
    // The view paints every pixel itself: what the picture leaves is the dark background.
    for (const QRect& rect : uncovered)
    {
        painter.fillRect(rect, palette().color(QPalette::Window));
    }
    if (painted)
    {
        ++m_nPaintedPictures;
    }
    if (m_client.IsLoggedIn())
    {
        CLookBackControl::PaintPastText(painter, painted ? picture : rect(),
                                        m_pLookBack->PastText(0));
        CClipActions::PaintRecordingMark(painter, painted ? picture : rect(),
                                         m_pLookBack->GetClips().RecordingText(0));
    }
    if (painted && m_picture.IsMotionShown())
    {
        PaintMotionMark(painter, picture);
    }
}

// A dot in the picture's corner, clear of the badges at its top middle and bottom left.
void CZentrelView::PaintMotionMark(QPainter& painter, const QRect& picture)
{
    constexpr int kDiameter = 12;
    constexpr int kInset = 8;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::white, 1));
    painter.setBrush(QColor(kMotionRed));
    painter.drawEllipse(QRect(picture.right() - kInset - kDiameter, picture.top() + kInset,
                              kDiameter, kDiameter));
    painter.restore();
}
