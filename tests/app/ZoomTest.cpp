// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/ViewerFixture.h"

#include "app/CZoomInput.h"

#include <QLabel>
#include <QPainter>
#include <QPointingDevice>
#include <QWheelEvent>

#include <cmath>

namespace
{
class ZoomTest : public ViewerFixture
{
protected:
    void Watch()
    {
        StartViewer(u"Gate,127.0.0.1," + Port() + u",0,ADMIN,1234\n");
        ConnectToRow(0);
        ASSERT_TRUE(ProcessEventsUntil([&] { return View().GetPaintedPictures() > 0; }, 10000));
        Frame().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&Frame()));
        View().GetClient().PauseReceiver();
        View().GetClient().GetPictureDisplay().PaintCommitted(
            [&](const CJpegDecoder& picture, const PictureRect& where)
            {
                const QImage rows(picture.GetBits(), picture.GetWidth(), picture.GetHeight(),
                                  static_cast<qsizetype>(picture.GetStride()),
                                  QImage::Format_BGR888);
                m_picture = rows.mirrored().convertToFormat(QImage::Format_RGB32);
                m_placement = QRect(where.left, where.top, where.right - where.left,
                                    where.bottom - where.top);
            });
    }

    // The view's pixels that are not the picture's pixel under their centre when
    // `source` (picture pixels) fills the placement; samples on a pixel's edge and
    // under the zoom factor's label are skipped.
    int Mismatches(const QImage& viewed, const QRectF& source)
    {
        const QLabel& label = View().GetZoomInput().FactorLabel();
        const QRect covered = label.isVisible() ? label.geometry() : QRect();
        int wrong = 0;
        for (int y = m_placement.top(); y <= m_placement.bottom(); y += 3)
        {
            for (int x = m_placement.left(); x <= m_placement.right(); x += 3)
            {
                const double u = source.left() + (x + 0.5 - m_placement.left()) * source.width() /
                                                     m_placement.width();
                const double v = source.top() + (y + 0.5 - m_placement.top()) * source.height() /
                                                    m_placement.height();
                const auto onEdge = [](double t) { return std::abs(t - std::round(t)) < 0.01; };
                const bool skipped = onEdge(u) || onEdge(v) || covered.contains(x, y);
                wrong += !skipped && viewed.pixel(x, y) != m_picture.pixel(int(u), int(v));
            }
        }
        return wrong;
    }

    // Painted into a raster image and through a pixmap, the view's two paths.
    void ExpectShown(const QRectF& source)
    {
        EXPECT_EQ(Mismatches(Rendered(), source), 0) << "raster path";
        EXPECT_EQ(Mismatches(View().grab().toImage(), source), 0) << "painter path";
    }

    QImage Rendered()
    {
        QImage rendered(View().size(), QImage::Format_RGB32);
        View().render(&rendered);
        return rendered;
    }

    QImage m_picture;
    QRect m_placement;
};
} // namespace

TEST_F(ZoomTest, WheelDragAndKeysShowThePicturesPixelsAtThatPlace)
{
    Watch();
    const QImage whole = Rendered();
    const double w = m_picture.width();
    const double h = m_picture.height();
    const double W = m_placement.width();
    const double H = m_placement.height();

    // Four notches of two each: 4x, the picture's point under the pointer stays put.
    const QPointF at(m_placement.left() + W * 0.7, m_placement.top() + H * 0.4);
    QWheelEvent wheel(at, View().mapToGlobal(at), QPoint(), QPoint(0, 2 * 4 * 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&View(), &wheel);
    EXPECT_DOUBLE_EQ(View().GetZoom().Factor(), 4);
    QRectF source(0.7 * w * 0.75, 0.4 * h * 0.75, w / 4, h / 4);
    ExpectShown(source);
    QLabel& factor = View().GetZoomInput().FactorLabel();
    EXPECT_TRUE(factor.isVisible());
    EXPECT_EQ(factor.text(), QStringLiteral("4.0\u00d7"));

    // Dragging right and down brings in what lay left of and above it.
    QTest::mousePress(&View(), Qt::LeftButton, {}, QPoint(100, 100));
    QMouseEvent move(QEvent::MouseMove, QPointF(140, 124), View().mapToGlobal(QPointF(140, 124)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&View(), &move);
    QTest::mouseRelease(&View(), Qt::LeftButton, {}, QPoint(140, 124));
    source.translate(-40 / W * w / 4, -24 / H * h / 4);
    ExpectShown(source);

    QTest::keyClick(&View(), Qt::Key_0, Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(View().GetZoom().Factor(), 1);
    // At 1x the picture is placed as before the zoom, around the factor's label.
    QImage unzoomed = Rendered();
    const QRect label = View().GetZoomInput().FactorLabel().geometry();
    QPainter(&unzoomed).drawImage(label, whole.copy(label));
    EXPECT_TRUE(unzoomed == whole);
    QTest::keyClick(&View(), Qt::Key_Equal, Qt::ControlModifier);
    QTest::keyClick(&View(), Qt::Key_Equal, Qt::ControlModifier);
    QTest::keyClick(&View(), Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(View().GetZoom().Factor(), 2);
    ExpectShown(QRectF(w / 4, h / 4, w / 2, h / 2));
    EXPECT_TRUE(ProcessEventsUntil([&] { return !factor.isVisible(); }));

    // New frames of the same size keep the zoom; another channel starts from the whole.
    const int painted = View().GetPaintedPictures();
    View().GetClient().ResumeReceiver();
    ASSERT_TRUE(ProcessEventsUntil([&] { return View().GetPaintedPictures() > painted + 2; }));
    EXPECT_DOUBLE_EQ(View().GetZoom().Factor(), 2);
    Channel(3).trigger();
    EXPECT_DOUBLE_EQ(View().GetZoom().Factor(), 1);
}

TEST_F(ZoomTest, PinchZoomsAboutTheFingersAndDisconnectStartsOver)
{
    Watch();
    const QPoint centre = m_placement.center();
    const QPointF before(centre.x() + 0.5, centre.y() + 0.5);
    // Qt keeps the device for the application's life; one for the whole run.
    static QPointingDevice* const screen = QTest::createTouchDevice();
    QTest::touchEvent(&View(), screen)
        .press(0, centre - QPoint(20, 0))
        .press(1, centre + QPoint(20, 0));
    for (int spread = 25; spread <= 60; spread += 5)
    {
        QTest::touchEvent(&View(), screen)
            .move(0, centre - QPoint(spread, 0))
            .move(1, centre + QPoint(spread, 0));
    }
    QTest::touchEvent(&View(), screen)
        .release(0, centre - QPoint(60, 0))
        .release(1, centre + QPoint(60, 0));
    QApplication::processEvents();
    // The recogniser starts from the spread it first sees move: between 2x and 3x.
    EXPECT_GT(View().GetZoom().Factor(), 2);
    EXPECT_LE(View().GetZoom().Factor(), 3);
    const PictureSource source = View().GetZoom().SourceFor(m_picture.width(), m_picture.height());
    // The picture's point between the fingers has stayed between them.
    EXPECT_NEAR(source.left +
                    (before.x() - m_placement.left()) * source.width / m_placement.width(),
                before.x() * m_picture.width() / m_placement.width(), 0.5);

    Item(ID_DISCONNECT).trigger();
    EXPECT_DOUBLE_EQ(View().GetZoom().Factor(), 1);
}
