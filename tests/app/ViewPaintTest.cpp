// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/ViewerFixture.h"

#include <QImage>
#include <QPainter>
#include <QScreen>

namespace
{
class ViewPaintTest : public ViewerFixture
{
protected:
    // What a painter gives for the committed picture turned upright and
    // converted, drawn where the view places it on the dark background, at the
    // device's resolution: nearest neighbour over the device pixels.
    QImage Expected(qreal ratio = 1)
    {
        QImage expected(View().size() * ratio, QImage::Format_RGB32);
        expected.setDevicePixelRatio(ratio);
        expected.fill(Qt::black);
        View().GetClient().GetPictureDisplay().PaintCommitted(
            [&](const CJpegDecoder& picture, const PictureRect& where)
            {
                const QImage rows(picture.GetBits(), picture.GetWidth(), picture.GetHeight(),
                                  static_cast<qsizetype>(picture.GetStride()),
                                  QImage::Format_BGR888);
                QPainter painter(&expected);
                painter.drawImage(QRect(where.left, where.top, where.right - where.left,
                                        where.bottom - where.top),
                                  rows.mirrored().convertToFormat(QImage::Format_RGB32));
            });
        return expected;
    }
};
} // namespace

TEST_F(ViewPaintTest, ThePictureIsPaintedAsAPainterDrawsItUprightInEveryWindowShape)
{
    StartViewer(u"Gate,127.0.0.1," + Port() + u",0,ADMIN,1234\n");
    ConnectToRow(0);
    ASSERT_TRUE(ProcessEventsUntil([&] { return View().GetPaintedPictures() > 0; }, 10000));
    View().GetClient().PauseReceiver();
    // Enlarged across, shrunk down; then portrait, centred between dark bands.
    for (const QSize frame : {QSize(420, 200), QSize(200, 420)})
    {
        Frame().resize(frame);
        ASSERT_TRUE(
            ProcessEventsUntil([&] { return (View().width() < 300) == (frame.width() < 300); }));
        // Screens of fractional and whole scales: placed in window pixels, sampled in the device's.
        for (const qreal ratio : {1.0, 1.5, 2.0})
        {
            QImage viewed(View().size() * ratio, QImage::Format_RGB32);
            viewed.setDevicePixelRatio(ratio);
            viewed.fill(Qt::white);
            const int rasterPaints = View().GetPictureConnection().GetRasterPaints();
            View().render(&viewed);
            EXPECT_EQ(View().GetPictureConnection().GetRasterPaints(), rasterPaints + 1)
                << "placed straight into the raster at " << ratio;
            EXPECT_TRUE(viewed == Expected(ratio))
                << View().width() << "x" << View().height() << " at " << ratio;
        }
        const QImage expected = Expected();
        // And on screen, painted through the window's backing store below the menu bar.
        View().repaint();
        const QRect inFrame(View().mapTo(&Frame(), QPoint(0, 0)), View().size());
        const QImage shown = View().screen()->grabWindow(Frame().winId()).toImage();
        EXPECT_TRUE(shown.copy(inFrame).convertToFormat(QImage::Format_RGB32) == expected)
            << "at " << inFrame.x() << "," << inFrame.y();
    }
    View().GetClient().ResumeReceiver();
}
