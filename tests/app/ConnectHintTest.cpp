#include "support/ViewerFixture.h"

#include "app/CConnectHint.h"
#include "display/LogoResource.h"

#include <QAccessible>
#include <QLabel>

namespace
{
class ConnectHintTest : public ViewerFixture
{
protected:
    CConnectHint& Hint() { return View().GetConnectHint(); }
    QString SpokenLine()
    {
        QAccessibleInterface* spoken = QAccessible::queryAccessibleInterface(&Hint().Line());
        return spoken != nullptr ? spoken->text(QAccessible::Name) : QString();
    }
    // The view as painted, in the coordinates of one of its children.
    QImage Painted(const QWidget& child)
    {
        return View().grab(QRect(child.mapTo(&View(), QPoint(0, 0)), child.size())).toImage();
    }
    static int LitPixels(const QImage& image)
    {
        int lit = 0;
        for (int y = 0; y < image.height(); ++y)
        {
            for (int x = 0; x < image.width(); ++x)
            {
                lit += qGray(image.pixel(x, y)) > 64 ? 1 : 0;
            }
        }
        return lit;
    }
    // A click on the line, and the Connect DVR dialog that it opens: `inDialog` acts there.
    bool ClickTheLine(const std::function<void(CConnectDlg&)>& inDialog)
    {
        bool opened = false;
        m_driver.Then(
            [&](QWidget& modal)
            {
                auto* dialog = dynamic_cast<CConnectDlg*>(&modal);
                if (dialog == nullptr)
                {
                    return false;
                }
                opened = true;
                inDialog(*dialog);
                return true;
            });
        QTest::mouseClick(&Hint().Line(), Qt::LeftButton);
        return ProcessEventsUntil([&] { return m_driver.Idle(); }) && opened;
    }
};
} // namespace

TEST_F(ConnectHintTest, AnEmptyViewShowsTheLogoAndWhatToDoUntilAPictureShows)
{
    StartViewer(u"");
    ASSERT_TRUE(Hint().isVisible());
    EXPECT_EQ(Hint().Line().text(),
              "Menu \u203a Connect \u203a Connect, then Add, to enter your DVR");
    EXPECT_EQ(SpokenLine(), Hint().Line().text());

    // The logo is painted as the display has it, at its own size, on the dark view.
    QImage logo;
    ASSERT_TRUE(logo.loadFromData(kLogoJpeg, static_cast<int>(kLogoJpegLength), "JPG"));
    const QImage logoArea = Painted(Hint().Logo());
    const QPoint logoAt((logoArea.width() - logo.width()) / 2,
                        (logoArea.height() - logo.height()) / 2);
    int alike = 0;
    for (int y = 0; y < logo.height(); y += 8)
    {
        for (int x = 0; x < logo.width(); x += 8)
        {
            alike += std::abs(qGray(logoArea.pixel(logoAt + QPoint(x, y))) -
                              qGray(logo.pixel(x, y))) < 24;
        }
    }
    EXPECT_GT(alike, (logo.width() / 8) * (logo.height() / 8) * 9 / 10);
    EXPECT_GT(LitPixels(Painted(Hint().Line())), 50);

    EXPECT_TRUE(ClickTheLine([](CConnectDlg& dialog) { dialog.reject(); }));
    EXPECT_TRUE(Hint().isVisible());

    m_app.reset();
    StartViewer(u"Gate,127.0.0.1," + Port() + u",0,ADMIN,1234\n");
    EXPECT_EQ(Hint().Line().text(), "Menu \u203a Connect to watch a DVR");
    EXPECT_EQ(SpokenLine(), Hint().Line().text());
    ASSERT_TRUE(ClickTheLine(
        [](CConnectDlg& dialog)
        {
            auto* list = FindControl<QTreeWidget>(dialog, IDC_CONNECT_LIST);
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                              list->visualItemRect(list->topLevelItem(0)).center());
            QTest::mouseClick(FindControl<QPushButton>(dialog, IDC_CONNECT_CONNECT),
                              Qt::LeftButton);
        }));
    ASSERT_TRUE(ProcessEventsUntil([&] { return View().GetPaintedPictures() > 0; }));
    EXPECT_FALSE(Hint().isVisible());
    EXPECT_GT(PictureShare(), 0.5);

    Item(ID_DISCONNECT).trigger();
    EXPECT_TRUE(Hint().isVisible());
    ConnectToRow(0);
    EXPECT_FALSE(Hint().isVisible());
    ASSERT_TRUE(ProcessEventsUntil([&] { return View().GetPaintedPictures() > 1; }));
    // A DVR that goes away leaves the view empty again, once the box is answered.
    m_dvr.reset();
    EXPECT_TRUE(ProcessEventsUntil([&] { return Hint().isVisible() && m_driver.Idle(); }, 10000));
    EXPECT_EQ(m_driver.BoxTexts(), QStringList{"Can't connect the DVR."});
}

TEST_F(ConnectHintTest, TheLineFitsWholeOnAPhoneInPortrait)
{
    StartViewer(u"");
    // 720 x 1440 device pixels at a scale of 2.
    Frame().resize(360, 720);
    ASSERT_TRUE(ProcessEventsUntil([&] { return Frame().size() == QSize(360, 720); }));
    QLabel& line = Hint().Line();
    ASSERT_TRUE(ProcessEventsUntil([&] { return line.isVisible() && line.width() > 0; }));
    const QRect needed = line.fontMetrics().boundingRect(
        line.contentsRect(), Qt::AlignCenter | Qt::TextWordWrap, line.text());
    EXPECT_TRUE(line.contentsRect().contains(needed))
        << needed.width() << "x" << needed.height() << " in " << line.width() << "x"
        << line.height();
    EXPECT_TRUE(View().rect().contains(QRect(line.mapTo(&View(), QPoint(0, 0)), line.size())));
    EXPECT_TRUE(View().rect().contains(
        QRect(Hint().Logo().mapTo(&View(), QPoint(0, 0)), Hint().Logo().size())));
}
