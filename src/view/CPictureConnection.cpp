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

#include <cmath>

namespace
{
constexpr std::chrono::milliseconds kAgeCheckInterval{250};
const auto kRepaintRequest = static_cast<QEvent::Type>(QEvent::registerEventType());
// A frozen picture keeps this much of its light, so it reads as a picture, but not a live one.
constexpr int kFrozenShadeAlpha = 150;

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
        m_bRepaintPending = true;
        return;
    }
    if (!m_bRepaintPending.exchange(true))
    {
        HandOver(this);
        QCoreApplication::postEvent(&m_repaintRequests, new QEvent(kRepaintRequest));
    }
}

bool CPictureConnection::RepaintRequests::event(QEvent* event)
{
    if (event->type() != kRepaintRequest)
    {
        return QObject::event(event);
    }
    TakeOver(&m_connection);
    m_connection.m_bRepaintPending = false;
    m_connection.m_widget.update();
    return true;
}

void CPictureConnection::RepaintOnTick()
{
    m_bRepaintOnTick = true;
    m_ageTimer.stop();
}

bool CPictureConnection::TakeRepaintRequest()
{
    const bool arrived = m_bRepaintPending.exchange(false);
    return arrived || AgeToShow() != m_shownAge;
}

void CPictureConnection::CheckAge()
{
    if (AgeToShow() != m_shownAge)
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
            if (!PaintIntoRaster(painter, region, rows, placement, source))
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
    m_shownAge = covered.isEmpty() ? std::nullopt : AgeToShow();
    if (m_shownAge)
    {
        painter.fillRect(covered, QColor(0, 0, 0, kFrozenShadeAlpha));
        painter.setPen(Qt::white);
        painter.drawText(covered.adjusted(4, 4, -4, -4), Qt::AlignCenter | Qt::TextWordWrap,
                         AgeText(*m_shownAge));
    }
    return covered;
}
