// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/CPictureConnection.h"

#include "display/CPictureZoom.h"
#include "display/PictureScaler.h"
#include "platform/HandOver.h"

#include <QCoreApplication>
#include <QEvent>
#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace
{
constexpr std::chrono::milliseconds kAgeCheckInterval{250};
const auto kRepaintRequest = static_cast<QEvent::Type>(QEvent::registerEventType());
// A frozen picture keeps this much of its light, so it reads as a picture, but not a live one.
constexpr int kFrozenShadeAlpha = 150;

// The window's 32-bit raster the painter draws into unrotated, at any device
// pixel ratio; none for any other painter.
QImage* RasterOf(QPainter& painter)
{
    QPaintEngine* engine = painter.paintEngine();
    QPaintDevice* device = engine != nullptr ? engine->paintDevice() : nullptr;
    if (device == nullptr || device->devType() != QInternal::Image)
    {
        return nullptr;
    }
    auto* raster = static_cast<QImage*>(device);
    const QImage::Format format = raster->format();
    const QTransform& transform = painter.deviceTransform();
    // A shared image would be detached by writing; the painter would not see the copy.
    if ((format != QImage::Format_RGB32 && format != QImage::Format_ARGB32 &&
         format != QImage::Format_ARGB32_Premultiplied) ||
        !raster->isDetached() || transform.type() > QTransform::TxScale ||
        !(transform.m11() > 0) || transform.m22() != transform.m11() ||
        painter.opacity() != 1.0 || painter.hasClipping())
    {
        return nullptr;
    }
    return raster;
}

// A raster painter covers the device pixels whose centres a rectangle covers.
int32_t DeviceEdge(double x)
{
    return static_cast<int32_t>(std::floor(x + 0.5));
}

// Scales the decoder's rows straight into the window's raster: no converted copy
// of the picture, and not the painter's general path for a flipped 24-bit image,
// which converts it all on every paint. Placement is in window pixels, the
// sampling in the device's.
bool PaintIntoRaster(QPainter& painter, const QRegion& region, const BottomUpBgr& rows,
                     const PictureRect& placement, const PictureSource& source)
{
    QImage* raster = RasterOf(painter);
    if (raster == nullptr)
    {
        return false;
    }
    const QTransform& transform = painter.deviceTransform();
    const double scale = transform.m11();
    const ExactRect target{placement.left * scale + transform.dx(),
                           placement.top * scale + transform.dy(),
                           placement.right * scale + transform.dx(),
                           placement.bottom * scale + transform.dy()};
    const XrgbRaster pixels{reinterpret_cast<uint32_t*>(raster->bits()), raster->width(),
                            raster->height(), static_cast<size_t>(raster->bytesPerLine())};
    for (const QRect& rect : region)
    {
        const PictureRect clip{DeviceEdge(rect.left() * scale + transform.dx()),
                               DeviceEdge(rect.top() * scale + transform.dy()),
                               DeviceEdge((rect.right() + 1) * scale + transform.dx()),
                               DeviceEdge((rect.bottom() + 1) * scale + transform.dy())};
        ScalePictureNearestExact(rows, pixels, target, clip, source);
    }
    return true;
}
} // namespace

CPictureConnection::CPictureConnection(QWidget& widget, const Services& services,
                                       AgeWording wording, CPictureAge age)
    : m_widget(widget), m_wording(wording), m_age(std::move(age)),
      m_client(services.notifyWindow, *this, services.messageBox, services.messagePump,
               services.busyCursor, services.timeouts, services.historyBudget)
{
    m_nClientWidth = widget.width();
    m_nClientHeight = widget.height();
    QObject::connect(&m_ageTimer, &QTimer::timeout, &widget, [this] { CheckAge(); });
    m_ageTimer.start(kAgeCheckInterval);
    m_bExists = true;
}

CPictureConnection::~CPictureConnection()
{
    m_client.Disconnect();
    m_bExists = false;
}

void CPictureConnection::Resize(const QSize& size)
{
    m_nClientWidth = size.width();
    m_nClientHeight = size.height();
}

void CPictureConnection::RepaintNow()
{
    if (m_bRepaintOnTick)
    {
        return;
    }
    if (!m_bRepaintPending.exchange(true))
    {
        // The event itself is written here too: it is handed over with the rest.
        auto* request = new QEvent(kRepaintRequest);
        HandOver(this);
        QCoreApplication::postEvent(&m_repaintRequests, request);
    }
}

bool CPictureConnection::RepaintRequests::event(QEvent* event)
{
    TakeOver(&m_connection);
    if (event->type() != kRepaintRequest)
    {
        return QObject::event(event);
    }
    m_connection.m_bRepaintPending = false;
    m_connection.m_widget.update();
    return true;
}

void CPictureConnection::RepaintOnTick()
{
    m_bRepaintOnTick = true;
    m_ageTimer.stop();
}

void CPictureConnection::SetMotionShown(bool shown)
{
    if (std::exchange(m_bMotionShown, shown) != shown)
    {
        m_widget.update();
    }
}

bool CPictureConnection::AgeChanged()
{
    return AgeToShow() != m_shownAge;
}

void CPictureConnection::CheckAge()
{
    if (AgeChanged())
    {
        m_widget.update();
    }
}

// A picture of the past says so itself: it is neither live nor frozen.
std::optional<std::chrono::seconds> CPictureConnection::AgeToShow()
{
    return GetDisplay().IsShowingPast() ? std::nullopt
                                        : m_age.FrozenFor(GetDisplay().GetStatistics());
}

QString CPictureConnection::AgeText(std::chrono::seconds age) const
{
    const QString seconds = QString::number(age.count());
    return m_wording == AgeWording::Long ? QStringLiteral("Last picture %1 s ago").arg(seconds)
                                         : QStringLiteral("%1 s ago").arg(seconds);
}

QRect CPictureConnection::Paint(QPainter& painter, const QRegion& region, CPictureZoom* zoom)
{
    QRect covered;
    GetDisplay().PaintCommitted(
        [&](const CJpegDecoder& picture, const PictureRect& placement)
        {
            covered = QRect(placement.left, placement.top, placement.right - placement.left,
                            placement.bottom - placement.top);
            const BottomUpBgr rows{picture.GetBits(), picture.GetWidth(), picture.GetHeight(),
                                   picture.GetStride()};
            const PictureSource source = zoom != nullptr
                                             ? zoom->SourceFor(rows.width, rows.height)
                                             : PictureSource{0, 0, static_cast<double>(rows.width),
                                                             static_cast<double>(rows.height)};
            if (PaintIntoRaster(painter, region, rows, placement, source))
            {
                ++m_nRasterPaints;
            }
            else
            {
                // A view over the decoder's rows, turned upside down by the painter;
                // the shown part is counted from the bottom row in it.
                const QImage image(rows.bits, rows.width, rows.height,
                                   static_cast<qsizetype>(rows.stride), QImage::Format_BGR888);
                painter.save();
                painter.translate(0, placement.top + placement.bottom);
                painter.scale(1, -1);
                painter.drawImage(QRectF(covered), image,
                                  QRectF(source.left, rows.height - source.top - source.height,
                                         source.width, source.height));
                painter.restore();
            }
        });
    PaintAge(painter, covered);
    return covered;
}

// A picture placed at the widget's device size is copied row by row into the
// raster: the painter would take its scaling path for it at any ratio but 1.
void CPictureConnection::PaintPlaced(QPainter& painter, const QRegion& region, const QImage& placed,
                                     const QRect& covered)
{
    QImage* raster = RasterOf(painter);
    const QTransform& transform = painter.deviceTransform();
    const int32_t left = DeviceEdge(transform.dx());
    const int32_t top = DeviceEdge(transform.dy());
    const int32_t width = DeviceEdge(m_widget.width() * transform.m11() + transform.dx()) - left;
    const int32_t height = DeviceEdge(m_widget.height() * transform.m11() + transform.dy()) - top;
    if (raster != nullptr && !placed.isNull() && placed.width() == width &&
        placed.height() == height && left >= 0 && top >= 0 && left + width <= raster->width() &&
        top + height <= raster->height())
    {
        const double scale = transform.m11();
        for (const QRect& rect : region)
        {
            const int32_t x0 = std::max(DeviceEdge(rect.left() * scale + transform.dx()), left);
            const int32_t y0 = std::max(DeviceEdge(rect.top() * scale + transform.dy()), top);
            const int32_t x1 =
                std::min(DeviceEdge((rect.right() + 1) * scale + transform.dx()), left + width);
            const int32_t y1 =
                std::min(DeviceEdge((rect.bottom() + 1) * scale + transform.dy()), top + height);
            for (int32_t y = y0; y < y1 && x0 < x1; ++y)
            {
                std::memcpy(raster->scanLine(y) + size_t(x0) * 4,
                            placed.constScanLine(y - top) + size_t(x0 - left) * 4,
                            size_t(x1 - x0) * 4);
            }
        }
    }
    else
    {
        painter.drawImage(QRectF(m_widget.rect()), placed);
    }
    PaintAge(painter, covered);
}

void CPictureConnection::PaintAge(QPainter& painter, const QRect& covered)
{
    m_shownAge = covered.isEmpty() ? std::nullopt : AgeToShow();
    if (m_shownAge)
    {
        painter.fillRect(covered, QColor(0, 0, 0, kFrozenShadeAlpha));
        painter.setPen(Qt::white);
        painter.drawText(covered.adjusted(4, 4, -4, -4), Qt::AlignCenter | Qt::TextWordWrap,
                         AgeText(*m_shownAge));
    }
}
