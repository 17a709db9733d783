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
    // converted, drawn where the view places it on the dark background.
    QImage Expected()
    {
        QImage expected(View().size(), QImage::Format_RGB32);
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
        QImage viewed(View().size(), QImage::Format_RGB32);
        viewed.fill(Qt::white);
        View().render(&viewed);
        const QImage expected = Expected();
        EXPECT_TRUE(viewed == expected) << View().width() << "x" << View().height();
        // And on screen, painted through the window's backing store below the menu bar.
        View().repaint();
        const QRect inFrame(View().mapTo(&Frame(), QPoint(0, 0)), View().size());
        const QImage shown = View().screen()->grabWindow(Frame().winId()).toImage();
        EXPECT_TRUE(shown.copy(inFrame).convertToFormat(QImage::Format_RGB32) == expected)
            << "at " << inFrame.x() << "," << inFrame.y();
    }
    View().GetClient().ResumeReceiver();
}
