#include "app/CZentrelView.h"

#include "app/CZoomInput.h"

#include "platform/HandOver.h"

#include "directory/CConnectDlg.h"
#include "directory/CDVRInformation.h"
#include "display/PictureScaler.h"
#include "ptz/PTZCommand.h"
#include "res/MenuTemplate.h"
#include "res/ResourceIds.h"

#include <QAction>
#include <QImage>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>

#include <cmath>
#include <utility>

CZentrelView* g_pView = nullptr;

namespace
{
// Scales the decoder's rows straight into the window's 32-bit raster, when the
// painter draws into one untransformed: no converted copy of the picture, and
// not the painter's general path for a flipped 24-bit image, which converts it
// all on every paint.
bool PaintIntoRaster(QPainter& painter, const QRegion& region, const BottomUpBgr& rows,
                     const PictureRect& placement, const PictureSource& source)
{
    QPaintEngine* engine = painter.paintEngine();
    QPaintDevice* device = engine != nullptr ? engine->paintDevice() : nullptr;
    if (device == nullptr || device->devType() != QInternal::Image)
    {
        return false;
    }
    auto& raster = *static_cast<QImage*>(device);
    const QImage::Format format = raster.format();
    const QTransform& transform = painter.deviceTransform();
    // A shared image would be detached by writing; the painter would not see the copy.
    if ((format != QImage::Format_RGB32 && format != QImage::Format_ARGB32 &&
         format != QImage::Format_ARGB32_Premultiplied) ||
        !raster.isDetached() || raster.devicePixelRatio() != 1.0 ||
        transform.type() > QTransform::TxTranslate ||
        transform.dx() != std::floor(transform.dx()) ||
        transform.dy() != std::floor(transform.dy()) || painter.opacity() != 1.0 ||
        painter.hasClipping())
    {
        return false;
    }
    const auto dx = static_cast<int32_t>(transform.dx());
    const auto dy = static_cast<int32_t>(transform.dy());
    const PictureRect target{placement.left + dx, placement.top + dy, placement.right + dx,
                             placement.bottom + dy};
    const XrgbRaster pixels{reinterpret_cast<uint32_t*>(raster.bits()), raster.width(),
                            raster.height(), static_cast<size_t>(raster.bytesPerLine())};
    for (const QRect& rect : region)
    {
        const QRect clip = rect.translated(dx, dy);
        ScalePictureNearest(
            rows, pixels, target,
            PictureRect{clip.left(), clip.top(), clip.right() + 1, clip.bottom() + 1}, source);
    }
    return true;
}
} // namespace

CZentrelView::CZentrelView(const Services& services, QWidget* parent)
    : QWidget(parent), m_messageBox(services.messageBox), m_directoryFile(services.directoryFile),
      m_client(services.notifyWindow, *this, services.messageBox, services.messagePump,
               services.busyCursor, services.timeouts)
{
    setObjectName(QStringLiteral("view"));
    // Before a picture and beside it the window shows its background, dark as a
    // monitor's. paintEvent fills it itself, only where the picture is not.
    QPalette background = palette();
    background.setColor(QPalette::Window, Qt::black);
    setPalette(background);
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_nClientWidth = width();
    m_nClientHeight = height();
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
    m_bExists = true;
    g_pView = this;
}

CZentrelView::~CZentrelView()
{
    OnDestroy();
    m_bExists = false;
}

void CZentrelView::OnDestroy()
{
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
    m_client.Disconnect();
    m_zoom.Reset();
    update();
    m_connectInfo = MakeConnectInfo(entry.Name, entry.Address, entry.Port, entry.Channel,
                                    entry.User, entry.Password);
    m_nChannel = entry.Channel;
    m_client.Start(m_connectInfo);
    EndCommand();
}

void CZentrelView::OnDisconnect()
{
    BeginCommand();
    m_client.Disconnect();
    m_zoom.Reset();
    update();
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
    BeginCommand();
    m_client.SendPTZRequests(requests);
    EndCommand();
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
        m_client.Start(m_connectInfo);
    }
}

void CZentrelView::RepaintNow()
{
    if (!m_bRepaintPending.exchange(true))
    {
        HandOver(this);
        QMetaObject::invokeMethod(
            this,
            [this]
            {
                TakeOver(this);
                m_bRepaintPending = false;
                update();
            },
            Qt::QueuedConnection);
    }
}

void CZentrelView::resizeEvent(QResizeEvent* event)
{
    m_nClientWidth = event->size().width();
    m_nClientHeight = event->size().height();
    QWidget::resizeEvent(event);
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
    const bool painted =
        m_client.IsLoggedIn() &&
        m_client.GetPictureDisplay().PaintCommitted(
            [&](const CJpegDecoder& picture, const PictureRect& placement)
            {
                const QRect target(placement.left, placement.top, placement.right - placement.left,
                                   placement.bottom - placement.top);
                const BottomUpBgr rows{picture.GetBits(), picture.GetWidth(), picture.GetHeight(),
                                       picture.GetStride()};
                const PictureSource source = m_zoom.SourceFor(rows.width, rows.height);
                if (!PaintIntoRaster(painter, event->region(), rows, placement, source))
                {
                    // A view over the decoder's rows, turned upside down by the painter;
                    // the shown part is counted from the bottom row in it.
                    const QImage image(rows.bits, rows.width, rows.height,
                                       static_cast<qsizetype>(rows.stride), QImage::Format_BGR888);
                    painter.save();
                    painter.translate(0, placement.top + placement.bottom);
                    painter.scale(1, -1);
                    painter.drawImage(QRectF(target), image,
                                      QRectF(source.left, rows.height - source.top - source.height,
                                             source.width, source.height));
                    painter.restore();
                }
                uncovered -= target;
            });
    // The view paints every pixel itself: what the picture leaves is the dark background.
    for (const QRect& rect : uncovered)
    {
        painter.fillRect(rect, palette().color(QPalette::Window));
    }
    if (painted)
    {
        ++m_nPaintedPictures;
    }
}
